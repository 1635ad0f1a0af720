#include "Biz/UploadPost.h"

#include "Biz/ServerReply.h"
#include "Biz/UploadName.h"
#include "Biz/UploadRequest.h"

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
        form.remark = EncodeText(picture.remark, settings.utf8);
        form.fields = settings.fields;
        form.fileFieldName = settings.fileFieldName;
        form.fileName = UploadFileName(picture.name, picture.extension, settings.fileNameGen, settings.utf8,
                                       picture.data, picture.data ? picture.length : 0);
        form.data = picture.data;
        form.length = picture.data ? picture.length : 0;
        form.cookie = settings.cookie;
        outcome.fileName = form.fileName;

        const auto built = std::make_shared<UploadRequest>();
        UploadRequest& request = *built;
        if (!BuildUploadRequest(form, request)) {
            outcome.failure = HttpFailure::Send;
            outcome.platformError = ERROR_NOT_ENOUGH_MEMORY;
            return outcome;
        }

        HttpClient client;
        client.setStopFlag(stop);
        client.setHeaderText(request.headerText);
        client.setBody(request.parts(), static_cast<int32_t>(form.length));
        if (picture.owner || !picture.data) {
            // The whole body stays alive with whatever still reads it.
            client.setBodyOwner(std::make_shared<std::pair<std::shared_ptr<UploadRequest>, std::shared_ptr<const void>>>(
                built, picture.owner));
        }
        client.setTimeout(settings.timeoutSeconds);
        client.setIgnoreCertErrors(settings.ignoreCertErrors);
        if (callbacks.progress)
            client.ProgressSignal.connect(callbacks.progress);
        if (callbacks.error)
            client.ErrorCodeSignal.connect(callbacks.error);
        client.run(settings.postUrl, L"", kUploadAgent);

        outcome.status = client.status();
        outcome.reply = client.reply();
        outcome.failure = client.failure();
        outcome.platformError = client.platformError();
        // Only a whole reply, and not a redirect, is the server's answer about this file.
        const bool answered = client.replyWhole() && client.failure() != HttpFailure::Redirected;
        outcome.success = answered && JudgeReply(outcome.reply, outcome.svr);
    } catch (...) {
        outcome.success = false;
    }
    return outcome;
}

}  // namespace Vantor
