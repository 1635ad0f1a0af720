#include "Biz/Log.h"

#include "Biz/WideFileAppender.h"
#include "platform/DeviceNames.h"

#include <log4cplus/initializer.h>
#include <log4cplus/layout.h>
#include <log4cplus/loggingmacros.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cwctype>

namespace Vantor {

namespace {

thread_local Log* t_current = nullptr;

log4cplus::Initializer& Initialise()
{
    static log4cplus::Initializer initializer;
    return initializer;
}

}  // namespace

Log& Log::instance()
{
    static Log log{Process{}};
    return log;
}

log4cplus::Logger& Log::current() { return (t_current ? *t_current : instance()).logger(); }

Log::Scope::Scope(Log* log) : previous_(t_current), set_(log != nullptr)
{
    if (set_)
        t_current = log;
}

Log::Scope::~Scope()
{
    if (set_)
        t_current = previous_;
}

Log::Log(Process)
{
    Initialise();
    logger_ = log4cplus::Logger::getInstance(name_);
    logger_.setLogLevel(log4cplus::OFF_LOG_LEVEL);
}

Log::~Log()
{
    try {
        logger_.removeAllAppenders();
        logger_.setLogLevel(log4cplus::OFF_LOG_LEVEL);
    } catch (...) {
    }
}

Log::Log()
{
    Initialise();
    // A logger of its own under the process's, whose lines go to its own file only.
    static std::atomic<unsigned> made{0};
    logger_ = log4cplus::Logger::getInstance(name_ + L".control" + std::to_wstring(++made));
    logger_.setAdditivity(false);
    logger_.setLogLevel(log4cplus::OFF_LOG_LEVEL);
}

std::wstring Log::folder()
{
    wchar_t base[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, base)))
        return {};
    return std::wstring(base) + L"\\Fotoloft\\Logs";
}

std::wstring Log::safeFileName(const std::wstring& requestedPath)
{
    const size_t slash = requestedPath.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? requestedPath : requestedPath.substr(slash + 1);
    for (wchar_t& c : name) {
        if (c < 0x20 || wcschr(L"<>:\"|?*", c))
            c = L'_';
    }
    // Windows drops trailing dots and blanks, which would turn "..." into the folder itself.
    while (!name.empty() && (name.back() == L'.' || name.back() == L' '))
        name.pop_back();
    if (name.empty())
        return {};
    if (IsReservedDeviceName(name))
        name.insert(0, L"_");
    return name;
}

std::wstring Log::open(bool debug, const std::wstring& requestedPath)
{
    if (!debug || requestedPath.empty())
        return {};
    const std::wstring name = safeFileName(requestedPath);
    const std::wstring dir = folder();
    if (name.empty() || dir.empty())
        return {};
    const std::wstring path = dir + L"\\" + name;

    std::lock_guard<std::mutex> lock(openLock_);
    try {
        SHCreateDirectoryExW(nullptr, dir.c_str(), nullptr);
        // Opened through its wide path, so any name in any profile folder works, or the log
        // stays off and says so: the file is emptied and written line by line in UTF-8.
        // A second "init" replaces the file rather than writing every line twice; the old
        // file is let go first, since it may be the same one.
        logger_.removeAllAppenders();
        auto* file = new WideFileAppender(path);
        log4cplus::SharedAppenderPtr appender(file);
        if (!file->valid()) {
            logger_.setLogLevel(log4cplus::OFF_LOG_LEVEL);
            return {};
        }
        appender->setLayout(std::make_unique<log4cplus::PatternLayout>(L"%d{%m/%d/%y %H:%M:%S}    - %m [%l]%n"));
        logger_.addAppender(appender);
        logger_.setLogLevel(log4cplus::TRACE_LOG_LEVEL);
        if (logger_.isEnabledFor(log4cplus::WARN_LOG_LEVEL))
            LOG4CPLUS_WARN(logger_, L"日志创建成功");
    } catch (...) {
        logger_.setLogLevel(log4cplus::OFF_LOG_LEVEL);
        return {};
    }
    return path;
}

}  // namespace Vantor
