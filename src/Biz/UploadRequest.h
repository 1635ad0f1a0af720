#pragma once
// The header text and the whole multipart body of one file's upload, built in memory.
//
// Body: "id", "width", "height", "remark", the extra fields in key order, the file part,
// the end. Headers: Accept, Connection: Close, Content-Type and, when given, Cookie.
#include "Biz/MemFile.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace Vantor {

struct UploadForm {
    std::string id;                             // 32 lower-case hex digits
    int64_t width = 0;                          // of the picture sent, in pixels
    int64_t height = 0;
    std::string remark;                         // already encoded (EncodeText)
    std::map<std::string, std::string> fields;  // the page's extra fields
    std::string fileFieldName = "file";
    std::string fileName;                       // the upload file name (UploadFileName)
    const void* data = nullptr;                 // the bytes of the file part; not owned
    size_t length = 0;
    std::string cookie;                         // sent as the Cookie header when not empty
};

struct UploadRequest {
    std::string boundary;
    std::string headerText;
    MemFile body;
};

// The fixed boundary when no text or byte of the content contains it; otherwise one with a
// random tail that none contains.
std::string ChooseBoundary(const std::vector<std::string_view>& contents);

// False when the body could not be held in memory.
bool BuildUploadRequest(const UploadForm& form, UploadRequest& request);

}  // namespace Vantor
