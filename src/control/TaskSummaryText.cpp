#include "control/TaskSummaryText.h"

#include "control/UploadProgressText.h"
#include "picker/UploadFailureText.h"

#include <utility>

namespace Vantor {
namespace {

// The band's words without their "失败：" in front.
std::wstring ReasonText(const UploadFailure& failure)
{
    std::wstring text = FailureBandText(failure);
    const std::wstring failed = L"失败：";
    if (text.compare(0, failed.size(), failed) == 0)
        text.erase(0, failed.size());
    return text;
}

}  // namespace

std::wstring FormatTaskSummary(const TaskSummary& summary)
{
    std::wstring text = summary.uploaded > 0 ? std::to_wstring(summary.uploaded) + L" 张照片已上传（" +
                                                   FormatBytes(summary.uploadedBytes) + L"）"
                                             : std::wstring(L"没有照片上传成功");
    if (!summary.failures.empty()) {
        std::vector<std::pair<std::wstring, int>> reasons;
        for (const UploadFailure& failure : summary.failures) {
            const std::wstring reason = ReasonText(failure);
            auto found = reasons.begin();
            while (found != reasons.end() && found->first != reason)
                ++found;
            if (found == reasons.end())
                reasons.emplace_back(reason, 1);
            else
                ++found->second;
        }
        text += L"，" + std::to_wstring(summary.failures.size()) + L" 张上传失败：";
        if (reasons.size() == 1) {
            text += reasons.front().first;
        } else {
            for (size_t i = 0; i < reasons.size(); ++i)
                text += (i ? L"，" : L"") + std::to_wstring(reasons[i].second) + L" 张" + reasons[i].first;
        }
    }
    if (summary.cancelled > 0)
        text += (summary.failures.empty() ? L"，" : L"；") + std::to_wstring(summary.cancelled) + L" 张已取消";
    return text;
}

}  // namespace Vantor
