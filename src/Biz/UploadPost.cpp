#include "Biz/UploadPost.h"

#include "Biz/ServerReply.h"
#include "Biz/StreamSearch.h"
#include "Biz/UploadName.h"
#include "Biz/UploadRequest.h"

#include <algorithm>
#include <memory>

namespace Vantor {
namespace {

// Passes on the file bytes of a second request only beyond those the first one reported, so
// a file's progress never counts a byte twice. Written bytes (the traffic) pass as they are.
class ProgressOnce {
public:
    explicit ProgressOnce(const UploadCallbacks& callbacks) : callbacks_(callbacks) {}
    void startRequest() { requestFile_ = 0; }
    void operator()(uint32_t position, uint32_t written, uint32_t fileBytes)
    {
        requestFile_ += fileBytes;
        const uint32_t fresh = requestFile_ > reported_ ? requestFile_ - reported_ : 0;
        reported_ += fresh;
        callbacks_.progress(position, written, fresh);
    }

private:
    const UploadCallbacks& callbacks_;
    uint32_t reported_ = 0;     // file bytes passed on, over every request
    uint32_t requestFile_ = 0;  // file bytes the current request has written
};

}  // namespace

UploadOutcome PostUpload(const UploadPicture& picture, const UploadSettings& settings, const StopFlag& stop,
                         const UploadCallbacks& callbacks)
{
    UploadOutcome outcome;
    try {
        UploadForm form;
        form.id = picture.id;
        form.width = picture.width;
        form.height = picture.height;
        form.index = picture.index;
        form.remark = EncodeText(picture.remark, settings.utf8);
        form.fields = settings.fields;
        form.fileFieldName = settings.fileFieldName;
        form.fileName = UploadFileName(picture.name, picture.extension, settings.fileNameGen, settings.utf8,
                                       picture.data, picture.data ? picture.length : 0);
        form.data = picture.data;
        form.length = picture.data ? picture.length : 0;
        form.cookie = settings.cookie;
        outcome.fileName = form.fileName;

        ProgressOnce progress(callbacks);
        // The first request checks the file's bytes against the boundary as they go out,
        // instead of reading the whole file once more before the first byte is sent. A file
        // that holds the boundary (a saved web request, say) is refused before its end, so the
        // server never takes it whole, and goes again with a boundary checked beforehand.
        std::unique_ptr<HttpClient> client;
        for (const BoundaryCheck check : {BoundaryCheck::Deferred, BoundaryCheck::Now}) {
            const auto built = std::make_shared<UploadRequest>();
            UploadRequest& request = *built;
            if (!BuildUploadRequest(form, request, check)) {
                outcome.failure = HttpFailure::Send;
                outcome.platformError = ERROR_NOT_ENOUGH_MEMORY;
                return outcome;
            }

            client = std::make_unique<HttpClient>();
            client->setHeaderText(request.headerText);
            client->setBody(request.parts(), static_cast<int32_t>(form.length));
            if (picture.owner || !picture.data) {
                // The whole body stays alive with whatever still reads it.
                client->setBodyOwner(
                    std::make_shared<std::pair<std::shared_ptr<UploadRequest>, std::shared_ptr<const void>>>(
                        built, picture.owner));
            }
            if (check == BoundaryCheck::Deferred && request.length > 0) {
                // The chunk's share of the file, fed in order: the body's text around the
                // file holds the boundary by design.
                const auto search = std::make_shared<StreamSearch>(request.boundary);
                const uint64_t fileStart = static_cast<uint64_t>(std::max(request.head.size(), 0));
                const uint64_t fileEnd = fileStart + request.length;
                client->setChunkCheck([search, fileStart, fileEnd](uint32_t position, const uint8_t* data,
                                                                  uint32_t length) {
                    const uint64_t from = std::max<uint64_t>(position, fileStart);
                    const uint64_t to = std::min<uint64_t>(uint64_t(position) + length, fileEnd);
                    return from >= to || !search->feed(data + (from - position), static_cast<size_t>(to - from));
                });
            }
            client->setTimeout(settings.timeoutSeconds);
            client->setIgnoreCertErrors(settings.ignoreCertErrors);
            client->setStopFlag(stop);
            progress.startRequest();
            if (callbacks.progress) {
                client->ProgressSignal.connect(
                    [&progress](uint32_t position, uint32_t written, uint32_t fileBytes) {
                        progress(position, written, fileBytes);
                    });
            }
            if (callbacks.error)
                client->ErrorCodeSignal.connect(callbacks.error);
            client->run(settings.postUrl, L"", kUploadAgent);
            if (client->failure() != HttpFailure::Refused)
                break;
        }

        outcome.status = client->status();
        outcome.reply = client->reply();
        outcome.failure = client->failure();
        outcome.platformError = client->platformError();
        outcome.retryAfter = client->retryAfter();
        // Only a whole reply, and not a redirect, is the server's answer about this file.
        const bool answered = client->replyWhole() && client->failure() != HttpFailure::Redirected;
        outcome.success = answered && JudgeReply(outcome.reply, outcome.svr);
    } catch (...) {
        outcome.success = false;
    }
    return outcome;
}

}  // namespace Vantor
