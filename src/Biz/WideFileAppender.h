#pragma once
// A log4cplus appender writing UTF-8 lines to a file the caller opened through its wide
// path. log4cplus's own file appender narrows its path through the ANSI code page, so a
// name or profile folder with characters beyond it would silently get no file at all.
// Every line is written through at once (no buffering), so nothing is lost on a crash.
#include "platform/Handles.h"

#include <log4cplus/appender.h>

#include <string>

namespace Vantor {

class WideFileAppender : public log4cplus::Appender {
public:
    // Creates or empties the file; an appender whose file could not be opened is invalid().
    explicit WideFileAppender(const std::wstring& path);
    ~WideFileAppender() override;

    bool valid() const { return static_cast<bool>(file_); }
    void close() override;

protected:
    void append(const log4cplus::spi::InternalLoggingEvent& event) override;

private:
    UniqueFileHandle file_;
};

}  // namespace Vantor
