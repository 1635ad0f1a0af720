#pragma once
// The debug log over log4cplus, off until a page turns it on.
//
// Each control has a log of its own, which its page's "init" opens: two controls in one
// process (two frames, two tabs) write to the files their pages named, and one page's "init"
// never empties or takes over another's. Code that runs for a control logs to Log::current():
// the control sets its log as the current one of its window thread while its code runs, and
// an upload's threads take the log of the control that started it (Scope). Code that runs for
// no control logs to the process's own log (instance()), off unless opened itself.
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
    // The process's own log.
    static Log& instance();
    // The log of the control whose code runs on this thread now, else the process's.
    static log4cplus::Logger& current();

    // Makes a log the current one of this thread for the scope's length (none: unchanged).
    class Scope {
    public:
        explicit Scope(Log* log);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        Log* const previous_;
        const bool set_;
    };

    // A control's own log: off, and writing nowhere, until opened.
    Log();

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

    // Lets go of the file; lines still logged go nowhere.
    ~Log();

private:
    struct Process {};
    explicit Log(Process);

    const std::wstring name_ = L"Parcelo6(x86)";
    log4cplus::Logger logger_;
    std::mutex openLock_;
};

}  // namespace Vantor
