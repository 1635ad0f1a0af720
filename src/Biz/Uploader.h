#pragma once
// One file's upload, on its worker thread: the picture prepared from the file's record,
// the request built and posted (PostUpload), the reply stored in the record and judged.
// While the body goes out it reports each write's file bytes and keeps the record's upload
// state (sending with its share, then waiting for the server).
//
// It makes no final report: it answers why the try failed (reason None: the server accepted
// the file), and the upload queue turns that answer into a retry or the file's one final
// report.
//
// The tries of one file share a KeptUpload: the picture is prepared by the first try only, and
// over tus the upload on the server goes on from one try to the next.
#include "Biz/HttpClient.h"
#include "Biz/KeptPicture.h"
#include "Biz/TusUpload.h"
#include "Biz/UploadFailure.h"
#include "Biz/UploadSettings.h"

#include <memory>

namespace Vantor {

class ImageData;
class SpeedMeter;
class UploadObserver;

// What the tries of one file share.
struct KeptUpload {
    KeptPicture picture;
    TusUpload tus;
};

class Uploader {
public:
    Uploader(std::shared_ptr<ImageData> file, const UploadSettings& settings, StopFlag stop, SpeedMeter& meter,
             UploadObserver& observer, KeptUpload& kept);

    // One try. A picture that cannot be prepared (moved, deleted, undecodable) is not sent
    // at all. With sendIndex the request carries the record's upload index. Never throws.
    UploadFailure Run();

private:
    void onWrite(uint32_t fileBytes, uint32_t written);
    void onResumed(uint64_t offset);

    const std::shared_ptr<ImageData> file_;
    const UploadSettings& settings_;
    const StopFlag stop_;
    SpeedMeter& meter_;
    UploadObserver& observer_;
    KeptUpload& kept_;
};

}  // namespace Vantor
