#include "control/UploadProgressText.h"

#include "Biz/ByteSizeText.h"
#include "ui/UiText.h"

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

std::wstring FormatTotalProgress(const TotalProgress& progress, UI::Language language)
{
    const uint64_t total = std::max(progress.bytesTotal, progress.bytesSent);
    if (progress.awaitingServer)
        return UI::FormatText(language, UI::TextId::UploadingAwaiting,
                              {std::to_wstring(progress.filesEnded), std::to_wstring(progress.files),
                               FormatBytes(progress.bytesSent), FormatBytes(total)});
    std::wstring text = UI::FormatText(language, UI::TextId::Uploading,
                                       {std::to_wstring(progress.filesEnded), std::to_wstring(progress.files),
                                        FormatBytes(progress.bytesSent), FormatBytes(total),
                                        FormatBytes(progress.bytesPerSecond)});
    const int64_t left = SecondsLeft(total - progress.bytesSent, progress.bytesPerSecond);
    if (left >= 0)
        text += UI::FormatText(language, UI::TextId::TimeLeft, {FormatDuration(static_cast<uint64_t>(left))});
    return text;
}

}  // namespace Vantor
