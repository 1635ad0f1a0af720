#include "control/UploadProgressText.h"

#include "Biz/ByteSizeText.h"

#include <algorithm>
#include <cwchar>

namespace Vantor {

std::wstring FormatBytes(uint64_t bytes) { return ByteSizeText(bytes); }

std::wstring FormatDuration(uint64_t seconds)
{
    wchar_t text[32];
    const auto hours = static_cast<unsigned long long>(seconds / 3600);
    const auto minutes = static_cast<unsigned>((seconds / 60) % 60);
    const auto secs = static_cast<unsigned>(seconds % 60);
    if (hours > 0)
        std::swprintf(text, 32, L"%llu:%02u:%02u", hours, minutes, secs);
    else
        std::swprintf(text, 32, L"%u:%02u", minutes, secs);
    return text;
}

int64_t SecondsLeft(uint64_t bytesLeft, uint64_t bytesPerSecond)
{
    if (bytesLeft == 0)
        return 0;
    if (bytesPerSecond == 0)
        return -1;
    return static_cast<int64_t>((bytesLeft + bytesPerSecond - 1) / bytesPerSecond);
}

std::wstring FormatTotalProgress(const TotalProgress& progress)
{
    const uint64_t total = std::max(progress.bytesTotal, progress.bytesSent);
    std::wstring text = L"正在上传 " + std::to_wstring(progress.filesEnded) + L"/" + std::to_wstring(progress.files) +
                        L" 张，" + FormatBytes(progress.bytesSent) + L"/" + FormatBytes(total) + L"，";
    if (progress.awaitingServer)
        return text + kAwaitingServerText;
    text += FormatBytes(progress.bytesPerSecond) + L"/s";
    const int64_t left = SecondsLeft(total - progress.bytesSent, progress.bytesPerSecond);
    if (left >= 0)
        text += L"，剩余 " + FormatDuration(static_cast<uint64_t>(left));
    return text;
}

}  // namespace Vantor
