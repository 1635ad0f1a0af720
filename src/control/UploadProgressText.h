#pragma once
// The total progress line the hint strip shows while a task runs: files done of all, bytes
// sent of all, the speed and the time left, e.g.
//   "正在上传 3/10 张，2.1 MB/5.0 MB，1.2 MB/s，剩余 0:04"
// (in English "Uploading 3/10 photos, ..."). The time left is left out while the speed is
// still unknown (0). Once every file left has sent its last byte the line says that the
// server has not answered yet instead:
//   "正在上传 9/10 张，5.0 MB/5.0 MB，已全部发出，等待服务器回应"
#include "ui/Language.h"

#include <cstdint>
#include <string>

namespace Vantor {

struct TotalProgress {
    uint64_t filesEnded = 0;
    uint64_t files = 0;
    uint64_t bytesSent = 0;
    uint64_t bytesTotal = 0;
    uint64_t bytesPerSecond = 0;
    bool awaitingServer = false;
};

// "512 B", "12.0 KB", "3.4 MB", "1.25 GB" (binary units).
std::wstring FormatBytes(uint64_t bytes);
// Seconds as "m:ss", or "h:mm:ss" from an hour on.
std::wstring FormatDuration(uint64_t seconds);
// Seconds left at the given speed, rounded up; 0 when nothing is left; -1 when unknown.
int64_t SecondsLeft(uint64_t bytesLeft, uint64_t bytesPerSecond);
std::wstring FormatTotalProgress(const TotalProgress& progress, UI::Language language = UI::Language::ZhCN);

}  // namespace Vantor
