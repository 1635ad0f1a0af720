#pragma once
// The header set of one upload request: name to value, written in byte order of the names.
#include <map>
#include <string>
#include <string_view>

namespace Vantor {

class HttpHeader {
public:
    // Starts with "Accept: */*" and "Content-Type: multipart/form-data; boundary=...".
    explicit HttpHeader(std::string_view boundary);

    // Inserts or replaces; an empty value is ignored. A value cannot carry CR or LF (which
    // would start a header of its own): they are dropped.
    void set(const std::string& name, std::string_view value);

    // "Name: value\r\n" for every entry in byte order of the names, with no blank line.
    std::string text() const;

    const std::string& boundary() const { return boundary_; }
    const std::map<std::string, std::string>& entries() const { return entries_; }

private:
    std::string boundary_;
    std::map<std::string, std::string> entries_;
};

}  // namespace Vantor
