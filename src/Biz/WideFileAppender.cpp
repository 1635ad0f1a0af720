#include "Biz/WideFileAppender.h"

#include "platform/TextConv.h"

#include <windows.h>

namespace Vantor {

WideFileAppender::WideFileAppender(const std::wstring& path)
    : file_(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr))
{
}

WideFileAppender::~WideFileAppender()
{
    destructorImpl();
}

void WideFileAppender::close()
{
    file_.reset();
    closed = true;
}

void WideFileAppender::append(const log4cplus::spi::InternalLoggingEvent& event)
{
    // Called under the appender's own lock.
    if (!file_)
        return;
    const std::string line = Utf16ToUtf8(formatEvent(event));
    DWORD written = 0;
    WriteFile(file_.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace Vantor
