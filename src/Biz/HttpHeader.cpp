#include "Biz/HttpHeader.h"

namespace Vantor {

HttpHeader::HttpHeader(std::string_view boundary) : boundary_(boundary)
{
    set("Content-Type", "multipart/form-data; boundary=" + boundary_);
    set("Accept", "*/*");
}

void HttpHeader::set(const std::string& name, std::string_view value)
{
    if (value.empty())
        return;
    std::string clean;
    clean.reserve(value.size());
    for (const char c : value) {
        if (c != '\r' && c != '\n')
            clean += c;
    }
    entries_[name] = std::move(clean);
}

std::string HttpHeader::text() const
{
    std::string out;
    for (const auto& [name, value] : entries_)
        out.append(name).append(": ").append(value).append("\r\n");
    return out;
}

}  // namespace Vantor
