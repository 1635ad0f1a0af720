#include "picker/ProgressBandText.h"

#include <cstdint>

namespace Vantor {

std::wstring ProgressBandText(const UploadStatus& status)
{
    switch (status.phase) {
    case UploadPhase::None:
        return {};
    case UploadPhase::Waiting:
        return L"\u7B49\u5F85";  // 等待
    case UploadPhase::Done:
        return L"\u4E0A\u4F20\u6210\u529F";  // 上传成功
    case UploadPhase::AwaitingReply:
        // Every byte went out; the server has the file but has not answered.
        return L"\u7B49\u5F85\u670D\u52A1\u5668";  // 等待服务器
    case UploadPhase::Sending:
        // Its size is known once the picture is prepared: until then nothing has gone out.
        if (status.size == 0)
            return L"\u51C6\u5907\u4E2D";  // 准备中
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
