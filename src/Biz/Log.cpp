#include "Biz/Log.h"

#include <log4cplus/fileappender.h>
#include <log4cplus/initializer.h>
#include <log4cplus/layout.h>
#include <log4cplus/loggingmacros.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <codecvt>
#include <cwctype>
#include <locale>

namespace Vantor {
namespace {

bool IsDeviceName(const std::wstring& name)
{
    std::wstring stem = name.substr(0, name.find(L'.'));
    while (!stem.empty() && stem.back() == L' ')
        stem.pop_back();
    std::transform(stem.begin(), stem.end(), stem.begin(), [](wchar_t c) { return static_cast<wchar_t>(std::towupper(c)); });
    if (stem == L"CON" || stem == L"PRN" || stem == L"AUX" || stem == L"NUL" || stem == L"CONIN$" || stem == L"CONOUT$")
        return true;
    return stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0) &&
           stem[3] >= L'0' && stem[3] <= L'9';
}

}  // namespace

Log& Log::instance()
{
    static Log log;
    return log;
}

Log::Log()
{
    static log4cplus::Initializer initializer;
    logger_ = log4cplus::Logger::getInstance(name_);
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
    if (IsDeviceName(name))
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
        log4cplus::SharedAppenderPtr appender(new log4cplus::FileAppender(path, std::ios_base::trunc, true, false));
        // The locale owns the facet. UTF-8 with surrogate pairs, so any text can be written.
        appender->setLayout(std::make_unique<log4cplus::PatternLayout>(L"%d{%m/%d/%y %H:%M:%S}    - %m [%l]%n"));
        static_cast<log4cplus::FileAppender*>(appender.get())
            ->imbue(std::locale(std::locale(), new std::codecvt_utf8_utf16<wchar_t>));
        // A second "init" replaces the file rather than writing every line twice.
        logger_.removeAllAppenders();
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
