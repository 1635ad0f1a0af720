#include "control/TaskSummaryText.h"

#include "control/UploadProgressText.h"
#include "picker/UploadFailureText.h"
#include "ui/UiText.h"

#include <utility>

namespace Vantor {
namespace {

// The band's words without the "失败：" ("Failed: ") they start with.
std::wstring ReasonText(const UploadFailure& failure, UI::Language language)
{
    std::wstring text = FailureBandText(failure, language);
    for (const std::wstring failed : {std::wstring(L"失败："), std::wstring(L"Failed: ")})
        if (text.compare(0, failed.size(), failed) == 0)
            return text.substr(failed.size());
    return text;
}

}  // namespace

std::wstring FormatTaskSummary(const TaskSummary& summary, UI::Language language)
{
    using UI::TextId;
    std::wstring text =
        summary.uploaded > 0
            ? UI::FormatText(language, TextId::TaskUploaded,
                             {std::to_wstring(summary.uploaded), FormatBytes(summary.uploadedBytes)})
            : std::wstring(UI::Text(language, TextId::TaskNoneUploaded));
    if (!summary.failures.empty()) {
        std::vector<std::pair<std::wstring, int>> reasons;
        for (const UploadFailure& failure : summary.failures) {
            const std::wstring reason = ReasonText(failure, language);
            auto found = reasons.begin();
            while (found != reasons.end() && found->first != reason)
                ++found;
            if (found == reasons.end())
                reasons.emplace_back(reason, 1);
            else
                ++found->second;
        }
        text += UI::FormatText(language, TextId::TaskFailed, {std::to_wstring(summary.failures.size())});
        if (reasons.size() == 1) {
            text += reasons.front().first;
        } else {
            for (size_t i = 0; i < reasons.size(); ++i) {
                if (i)
                    text += UI::Text(language, TextId::TaskReasonSeparator);
                text += UI::FormatText(language, TextId::TaskFailedReason,
                                       {std::to_wstring(reasons[i].second), reasons[i].first});
            }
        }
    }
    if (summary.cancelled > 0)
        text += UI::FormatText(language,
                               summary.failures.empty() ? TextId::TaskCancelled : TextId::TaskCancelledAfterFailures,
                               {std::to_wstring(summary.cancelled)});
    return text;
}

}  // namespace Vantor
