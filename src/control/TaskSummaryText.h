#pragma once
// What the hint line says when an upload task has ended, until the user does something else:
//   "18 张照片已上传（46.2 MB）"
//   "15 张照片已上传（38.0 MB），3 张上传失败：2 张无法连接服务器，1 张文件无法读取"
//   "没有照片上传成功，2 张上传失败：服务器拒绝 503；5 张已取消"
// Failures are grouped by their reason, in the order the reasons first occur.
#include "Biz/UploadFailure.h"
#include "ui/Language.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Vantor {

struct TaskSummary {
    uint64_t uploaded = 0;       // files the server accepted
    uint64_t uploadedBytes = 0;  // their bytes as sent
    std::vector<UploadFailure> failures;  // one a file that failed
    uint64_t cancelled = 0;      // files the cancel took back or never started
};

std::wstring FormatTaskSummary(const TaskSummary& summary, UI::Language language = UI::Language::ZhCN);

}  // namespace Vantor
