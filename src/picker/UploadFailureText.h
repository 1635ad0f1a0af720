#pragma once
// What the upload list says about a file that failed, in words a person understands: a short
// form for the item's progress band and a whole sentence for when the item is hovered, in the
// control's language.
#include "Biz/UploadFailure.h"
#include "ui/Language.h"

#include <string>

namespace Vantor {

// "失败：服务器拒绝 503", "失败：无法连接服务器"...
std::wstring FailureBandText(const UploadFailure& failure, UI::Language language = UI::Language::ZhCN);
// "上传失败：服务器拒绝了这个文件（HTTP 503）", followed by what the server said when its reply
// carries a message.
std::wstring FailureHoverText(const UploadFailure& failure, UI::Language language = UI::Language::ZhCN);
// The band of a file waiting for its next try.
std::wstring RetryingBandText(UI::Language language = UI::Language::ZhCN);

}  // namespace Vantor
