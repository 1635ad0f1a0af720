#pragma once
// One file's upload, on its worker thread: the picture prepared from the file's record,
// the request built and posted (PostUpload), the reply stored in the record and judged.
// While the body goes out it reports each write's file bytes and keeps the record's upload
// state (sending with its share, then waiting for the server).
//
// It makes no final report: it answers why the try failed (reason None: the server accepted
// the file), and the upload queue turns that answer into a retry or the file's one final
// report.
#include "Biz/HttpClient.h"
#include "Biz/UploadFailure.h"
#include "Biz/UploadSettings.h"

#include <memory>

namespace Vantor {

class ImageData;
class SpeedMeter;
class UploadObserver;

class Uploader {
public:
    Uploader(std::shared_ptr<ImageData> file, const UploadSettings& settings, StopFlag stop, SpeedMeter& meter,
             UploadObserver& observer);

    // One try. A picture that cannot be prepared (moved, deleted, undecodable) is not sent
    // at all. With sendIndex the request carries the record's upload index. Never throws.
    UploadFailure Run();

private:
    void onWrite(uint32_t fileBytes, uint32_t written);

    const std::shared_ptr<ImageData> file_;
    const UploadSettings& settings_;
    const StopFlag stop_;
    SpeedMeter& meter_;
    UploadObserver& observer_;
};

}  // namespace Vantor
