#pragma once
// Writes the parts of a multipart/form-data body into a MemFile.
//
// Values and file data are written unchanged; the caller picks a boundary that none of them
// contains (UploadRequest does). Inside the quoted field and file names a double quote, CR
// and LF are written as %22, %0D and %0A, as browsers do, so a name cannot end its quotes or
// its header line.
#include "Biz/MemFile.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace Vantor {

class MultipartWriter {
public:
    MultipartWriter(MemFile& file, std::string boundary) : file_(file), boundary_(std::move(boundary)) {}

    // Each returns false when the body could not grow (memory exhausted).
    bool writeField(std::string_view name, std::string_view value);
    // The value in signed decimal.
    bool writeNumberField(std::string_view name, int64_t value);
    bool writeFileField(std::string_view fileName, const void* data, size_t length, std::string_view fieldName,
                        std::string_view mimeType);
    // The file part in pieces: its header lines, then (written elsewhere) the data, then its
    // line end.
    bool writeFileHeader(std::string_view fileName, std::string_view fieldName, std::string_view mimeType);
    bool writeFileEnd() { return put("\r\n"); }
    // The closing boundary; nothing follows it.
    bool writeEnd();

    // A name with ", CR and LF percent-escaped.
    static std::string EscapeName(std::string_view name);

private:
    bool put(std::string_view text);
    bool put(const void* data, size_t length);

    MemFile& file_;
    std::string boundary_;
};

}  // namespace Vantor
