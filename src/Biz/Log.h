#pragma once
// The debug log: a process-wide facade over log4cplus, off until the page turns it on.
//
// The page names the log file, but any page may embed the control, so only the file name
// part of what it gives is used, and the file always lives in the control's own per-user
// log folder. Nothing outside that folder is ever opened.
#include <log4cplus/logger.h>

#include <mutex>
#include <string>

namespace Vantor {

class Log {
public:
    static Log& instance();

    // Turns the log on when debug is true and the name is usable: the file (emptied if it
    // exists) receives every level from now on, starting with one line saying it was made.
    // Returns the full path opened, or an empty string when the log stays off.
    std::wstring open(bool debug, const std::wstring& requestedPath);

    log4cplus::Logger& logger() { return logger_; }

    // %LOCALAPPDATA%\Fotoloft\Logs
    static std::wstring folder();
    // The file name part of a page's path, made safe to open inside folder(); empty when
    // nothing usable is left (".", "..", a device name is prefixed instead).
    static std::wstring safeFileName(const std::wstring& requestedPath);

    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

private:
    Log();
    ~Log() = default;

    const std::wstring name_ = L"Parcelo6(x86)";
    log4cplus::Logger logger_;
    std::mutex openLock_;
};

}  // namespace Vantor
