#pragma once
// What one upload needs to know of the page's settings, as a value.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "image/PrepareOptions.h"

namespace Vantor {

class Log;

// How a file goes to the server: one multipart/form-data POST, or a resumable upload over
// the tus protocol (TusUpload.h).
enum class UploadProtocol { Multipart, Tus };

// The settings one upload reads: a copy that the control makes of its settings when the
// upload starts (AppConfig::uploadSettings), so that a later "init" cannot change a running upload.
struct UploadSettings {
    std::wstring postUrl;
    std::string cookie;
    std::string fileFieldName = "file";
    std::string fileNameGen = "ori";
    bool utf8 = true;  // EncodeType is "utf-8"
    std::map<std::string, std::string> fields;
    int timeoutSeconds = 60;
    int threadCount = 3;  // files sent at once; the upload queue holds it between 1 and 10
    bool ignoreCertErrors = false;
    PrepareOptions picture;  // JpegQuality, MaxWidth, MaxHeight, SendOriginal
    // Milliseconds before each further try of a file that failed for a transient reason
    // (RetryPolicy.h); empty: one try only.
    std::vector<int> retryDelaysMs = {1000, 3000, 10000};
    bool sendIndex = false;  // every request carries the file's place in the list as "index"
    UploadProtocol protocol = UploadProtocol::Multipart;
    // Bytes of the file per PATCH request of a tus upload.
    static constexpr uint32_t kDefaultChunkSize = 5u << 20;
    static constexpr uint32_t kMinChunkSize = 16u << 10;
    static constexpr uint32_t kMaxChunkSize = 1u << 30;
    uint32_t chunkSize = kDefaultChunkSize;
    // The log of the control that started the upload (none: the process's); the upload's
    // threads write to it.
    std::shared_ptr<Log> log;
    // Bytes per platform write at most; 0: the client's own (HttpRequest::kWriteSize).
    uint32_t writeSize = 0;
    // Each write's bytes are made ready (gathered, checked) on a helper while the write before
    // them is sent; false does it between the writes.
    bool overlapWrites = true;
};

}  // namespace Vantor
