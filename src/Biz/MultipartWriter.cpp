#include "Biz/MultipartWriter.h"

namespace Vantor {

std::string MultipartWriter::EscapeName(std::string_view name)
{
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        if (c == '"')
            out += "%22";
        else if (c == '\r')
            out += "%0D";
        else if (c == '\n')
            out += "%0A";
        else
            out += c;
    }
    return out;
}

bool MultipartWriter::put(const void* data, size_t length)
{
    return length == 0 || file_.write(data, 1, length) == length;
}

bool MultipartWriter::put(std::string_view text) { return put(text.data(), text.size()); }

bool MultipartWriter::writeField(std::string_view name, std::string_view value)
{
    return put("--") && put(boundary_) && put("\r\n") &&
           put("Content-Disposition: form-data; name=\"") && put(EscapeName(name)) && put("\"\r\n\r\n") &&
           put(value) && put("\r\n");
}

bool MultipartWriter::writeNumberField(std::string_view name, int64_t value)
{
    return writeField(name, std::to_string(value));
}

bool MultipartWriter::writeFileHeader(std::string_view fileName, std::string_view fieldName, std::string_view mimeType)
{
    return put("--") && put(boundary_) && put("\r\n") &&
           put("Content-Disposition: form-data; name=\"") && put(EscapeName(fieldName)) &&
           put("\"; filename=\"") && put(EscapeName(fileName)) && put("\"\r\n") &&
           put("Content-Type: ") && put(mimeType) && put("\r\n") &&
           put("Content-Transfer-Encoding: binary\r\n\r\n");
}

bool MultipartWriter::writeFileField(std::string_view fileName, const void* data, size_t length,
                                     std::string_view fieldName, std::string_view mimeType)
{
    return writeFileHeader(fileName, fieldName, mimeType) && put(data, length) && writeFileEnd();
}

bool MultipartWriter::writeEnd() { return put("--") && put(boundary_) && put("--\r\n"); }

}  // namespace Vantor
