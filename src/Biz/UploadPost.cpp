#include "Biz/UploadPost.h"

#include "Biz/ServerReply.h"
#include "Biz/StreamSearch.h"
#include "Biz/UploadName.h"
#include "Biz/UploadRequest.h"

#include <algorithm>
#include <memory>

namespace Vantor {

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
        form.mimeType = picture.mimeType;
        form.data = picture.data;
        form.length = picture.data ? picture.length : 0;
        form.cookie = settings.cookie;
        outcome.fileName = form.fileName;

        // The request gets a boundary of its own, drawn now. The file's bytes are checked
        // against it as they go out, chunk by chunk, instead of in one more pass over the whole
        // file before the first byte: with a fresh random boundary the check never finds it in
        // practice, and if it ever did, the request would fail rather than send a body that
        // the server splits in the wrong place.
        const auto built = std::make_shared<UploadRequest>();
        UploadRequest& request = *built;
        if (!BuildUploadRequest(form, request, BoundaryCheck::Deferred)) {
            outcome.failure = HttpFailure::Send;
            outcome.platformError = ERROR_NOT_ENOUGH_MEMORY;
            return outcome;
        }

        HttpClient client;
        client.setHeaderText(request.headerText);
        client.setBody(request.parts(), static_cast<int32_t>(form.length));
        if (picture.owner || !picture.data) {
            // The whole body stays alive with whatever still reads it.
            client.setBodyOwner(std::make_shared<std::pair<std::shared_ptr<UploadRequest>, std::shared_ptr<const void>>>(
                built, picture.owner));
        }
        if (request.length > 0) {
            // The chunk's share of the file, fed in order: the body's text around the file
            // holds the boundary by design.
            const auto search = std::make_shared<StreamSearch>(request.boundary);
            const uint64_t fileStart = static_cast<uint64_t>(std::max(request.head.size(), 0));
            const uint64_t fileEnd = fileStart + request.length;
            client.setChunkCheck([search, fileStart, fileEnd](uint32_t position, const uint8_t* data, uint32_t length) {
                const uint64_t from = std::max<uint64_t>(position, fileStart);
                const uint64_t to = std::min<uint64_t>(uint64_t(position) + length, fileEnd);
                return from >= to || !search->feed(data + (from - position), static_cast<size_t>(to - from));
            });
        }
        client.setTimeout(settings.timeoutSeconds);
        client.setWriteSize(settings.writeSize);
        client.setOverlapWrites(settings.overlapWrites);
        client.setIgnoreCertErrors(settings.ignoreCertErrors);
        client.setStopFlag(stop);
        if (callbacks.progress)
            client.ProgressSignal.connect(callbacks.progress);
        if (callbacks.error)
            client.ErrorCodeSignal.connect(callbacks.error);
        client.run(settings.postUrl, L"", kUploadAgent);

        outcome.status = client.status();
        outcome.reply = client.reply();
        outcome.failure = client.failure();
        outcome.platformError = client.platformError();
        outcome.retryAfter = client.retryAfter();
        // Only a whole reply, and not a redirect, is the server's answer about this file.
        const bool answered = client.replyWhole() && client.failure() != HttpFailure::Redirected;
        outcome.success = answered && JudgeReply(outcome.reply, outcome.svr);
    } catch (...) {
        outcome.success = false;
    }
    return outcome;
}

}  // namespace Vantor
