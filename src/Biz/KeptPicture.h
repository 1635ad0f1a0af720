#pragma once
// The bytes prepared for one file's upload, made once and kept for all of its tries, so that a
// later try (a resume above all) sends exactly the bytes of the first.
//
//   KeptPicture kept;
//   if (kept.empty()) kept.keep(record->PrepareUpload(options));
//   auto picture = kept.take();   // in memory for the try (null: cannot be read back)
//   kept.park();                  // the file waits for its next try
//
// While the file is being sent its bytes are in memory; while it waits for its next try they
// are parked in a temporary file that the system deletes when it is closed, so that many files
// waiting at once hold no memory of the process. Bytes that cannot be parked (no temporary
// folder, a full disk) stay in memory. Not thread-safe: one try of the file at a time uses it.
#include "Biz/ImageData.h"
#include "platform/Handles.h"

#include <memory>

namespace Vantor {

class KeptPicture {
public:
    bool empty() const { return !memory_ && !file_; }
    void keep(ImageData::UploadPicture picture);
    std::shared_ptr<const ImageData::UploadPicture> take();
    void park();
    bool parked() const { return !memory_ && file_; }

private:
    std::shared_ptr<const ImageData::UploadPicture> memory_;
    UniqueFileHandle file_;
    uint32_t size_ = 0;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
};

}  // namespace Vantor
