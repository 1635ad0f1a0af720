#include "Biz/Uploader.h"

#include "Biz/ImageData.h"
#include "Biz/Log.h"
#include "Biz/RetryPolicy.h"
#include "Biz/SpeedMeter.h"
#include "Biz/UploadObserver.h"
#include "Biz/UploadPost.h"

#include <log4cplus/loggingmacros.h>

#include <algorithm>

namespace Vantor {

Uploader::Uploader(std::shared_ptr<ImageData> file, const UploadSettings& settings, StopFlag stop, SpeedMeter& meter,
                   UploadObserver& observer, KeptUpload& kept)
    : file_(std::move(file)), settings_(settings), stop_(std::move(stop)), meter_(meter), observer_(observer),
      kept_(kept)
{
}

UploadFailure Uploader::Run()
{
    UploadFailure failure;
    failure.reason = FailureReason::Stopped;
    try {
        if (!file_ || (stop_ && stop_->load()))
            return failure;
        file_->setUploadPhase(UploadPhase::Sending);
        // Prepared once, by the file's first try: a later try sends the same bytes.
        if (kept_.picture.empty())
            kept_.picture.keep(file_->PrepareUpload(settings_.picture, stop_.get()));
        const std::shared_ptr<const ImageData::UploadPicture> kept = kept_.picture.take();
        if (!kept || kept->encoded.empty()) {
            // Nothing is sent for a picture that is gone or does not decode: an empty part
            // would pass for a 0 x 0 picture at a server that accepts it.
            LOG4CPLUS_WARN(Log::current(),
                           L"not sent, the picture cannot be prepared: " << file_->path());
            failure.reason = FailureReason::Unreadable;
            return failure;
        }
        const ImageData::UploadPicture& prepared = *kept;
        file_->UploadSize = prepared.encoded.size();
        // A resumable upload's band stays where the server stands until it says otherwise.
        if (settings_.protocol != UploadProtocol::Tus || kept_.tus.location.empty())
            file_->SentBytes = 0;
        UploadPicture picture;
        picture.id = file_->id();
        picture.name = file_->uploadName(prepared.original);
        picture.extension = file_->uploadExtension(prepared.original);
        picture.mimeType = file_->uploadMimeType(prepared.original);
        picture.remark = file_->remark();
        picture.data = prepared.encoded.data();
        picture.length = prepared.encoded.size();
        picture.owner = kept;  // a request given up mid-write does not wait for the platform
        picture.width = prepared.width;
        picture.height = prepared.height;
        if (settings_.sendIndex)
            picture.index = file_->uploadIndex();

        UploadCallbacks callbacks;
        callbacks.progress = [this](uint32_t, uint32_t written, uint32_t fileBytes) { onWrite(fileBytes, written); };
        if (settings_.protocol == UploadProtocol::Tus) {
            callbacks.resumed = [this](uint64_t offset) { onResumed(offset); };
            const TusTry result = SendTus(picture, settings_, stop_, kept_.tus, callbacks);
            if (result.outcome.success)
                file_->setReply(result.outcome.svr);
            return result.failure;
        }
        // The client's own failure reports are not passed on: the outcome below is the one
        // final word on the file.
        const UploadOutcome outcome = PostUpload(picture, settings_, stop_, callbacks);
        file_->setReply(outcome.svr);
        failure = ClassifyOutcome(outcome);
        if (!outcome.success) {
            LOG4CPLUS_INFO(Log::current(),
                           L"upload failed: " << file_->path() << L" (" << HttpFailureName(outcome.failure) << L", "
                                              << outcome.platformError << L", status " << outcome.status << L", "
                                              << FailureCode(failure.reason) << L")");
        }
        return failure;
    } catch (...) {
        failure.reason = FailureReason::Unreadable;
        return failure;
    }
}

void Uploader::onWrite(uint32_t fileBytes, uint32_t written)
{
    meter_.add(written);
    observer_.FileProgress(file_, fileBytes);
    const uint32_t sent = file_->SentBytes += fileBytes;
    if (sent >= file_->UploadSize.load())
        file_->setUploadPhase(UploadPhase::AwaitingReply);
}

void Uploader::onResumed(uint64_t offset)
{
    // The server's share, whatever the earlier tries reported.
    const uint32_t size = file_->UploadSize.load();
    file_->SentBytes = static_cast<uint32_t>(std::min<uint64_t>(offset, size));
    file_->setUploadPhase(offset >= size ? UploadPhase::AwaitingReply : UploadPhase::Sending);
    observer_.FileProgress(file_, 0);
}

}  // namespace Vantor
