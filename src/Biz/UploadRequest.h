#pragma once
// The header text and the multipart body of one file's upload, built in memory.
//
// Body: "id", "width", "height", "remark", "index" when given, the extra fields in key order, the file part,
// the end. Headers: Accept, Connection: Close, Content-Type and, when given, Cookie.
// The file's bytes are not copied: the body is the text before them, the bytes themselves
// and the text after them, sent one after the other as one body.
#include "Biz/HttpClient.h"
#include "Biz/MemFile.h"

#include <cstdint>
#include <functional>
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
    int64_t index = -1;                         // the field "index" after the remark; -1: none
    std::map<std::string, std::string> fields;  // the page's extra fields
    std::string fileFieldName = "file";
    std::string fileName;                       // the upload file name (UploadFileName)
    std::string mimeType;                       // the part's type; empty: by the file name
    const void* data = nullptr;                 // the bytes of the file part; not owned
    size_t length = 0;
    std::string cookie;                         // sent as the Cookie header when not empty
};

struct UploadRequest {
    std::string boundary;
    std::string headerText;
    MemFile head;                // the fields and the file part's header
    const void* data = nullptr;  // the file's bytes (UploadForm::data); not owned
    size_t length = 0;
    MemFile tail;                // the file part's line end and the closing boundary

    // The body's pieces in order, for HttpClient::setBody.
    std::vector<HttpRequest::BodyPart> parts() const;
    uint64_t size() const;
    // The whole body as one string (a copy: for tests and dumps).
    std::string bodyText() const;
};

// The longest boundary the multipart standard allows.
inline constexpr size_t kMaxBoundary = 70;

// A new boundary, as browsers make one for every request: 27 hyphens and 32 hexadecimal
// digits of a random UUID (122 random bits from the system's generator). Drawn once the
// content is fixed and seen by no one before its request, it is as good as never found in
// a file, whatever the file holds: a file of 1 GiB holds a given one with a chance of 2^-92.
std::string NewBoundary();

// The first boundary from candidate that no text or byte of the content contains.
std::string ChooseBoundary(const std::vector<std::string_view>& contents,
                           const std::function<std::string()>& candidate = NewBoundary);

// Whether the boundary is checked against the file's bytes while building. Deferred leaves
// that check to the sender, which checks each chunk just before it goes out (see PostUpload),
// instead of one more pass over the whole file first: the texts are checked either way.
enum class BoundaryCheck { Now, Deferred };

// False when the body could not be held in memory.
bool BuildUploadRequest(const UploadForm& form, UploadRequest& request, BoundaryCheck check = BoundaryCheck::Now);

}  // namespace Vantor
