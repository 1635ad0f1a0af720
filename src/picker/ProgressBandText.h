#pragma once
// What an item's progress band says while its file is in a task and has neither failed nor
// is waiting for a retry: nothing or "等待" before its turn, "准备中" while the picture is
// prepared, then the share sent, and "上传成功" once the server accepted it.
#include "Biz/UploadStatus.h"
#include "ui/Language.h"

#include <string>

namespace Vantor {

std::wstring ProgressBandText(const UploadStatus& status, UI::Language language = UI::Language::ZhCN);

}  // namespace Vantor
