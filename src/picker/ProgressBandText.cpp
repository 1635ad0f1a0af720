#include "picker/ProgressBandText.h"

#include "ui/UiText.h"

#include <cstdint>

namespace Vantor {

std::wstring ProgressBandText(const UploadStatus& status, UI::Language language)
{
    switch (status.phase) {
    case UploadPhase::None:
        return {};
    case UploadPhase::Waiting:
        return UI::Text(language, UI::TextId::Waiting);
    case UploadPhase::Done:
        return UI::Text(language, UI::TextId::Uploaded);
    case UploadPhase::AwaitingReply:
        // Every byte went out; the server has the file but has not answered.
        return UI::Text(language, UI::TextId::AwaitingServer);
    case UploadPhase::Sending:
        // Its size is known once the picture is prepared: until then nothing has gone out.
        if (status.size == 0)
            return UI::Text(language, UI::TextId::Preparing);
        break;
    default:
        break;
    }
    // Whole per cent, rounded down, in integers: 29 of 100 bytes is "29%".
    uint64_t percent = 100;
    if (status.phase == UploadPhase::Sending && status.sent < status.size)
        percent = static_cast<uint64_t>(status.sent) * 100 / status.size;
    else if (status.phase != UploadPhase::Sending && status.phase != UploadPhase::AwaitingReply)
        percent = 0;
    return std::to_wstring(percent) + L"%";
}

}  // namespace Vantor
