#include "platform/DroppedFiles.h"

namespace Vantor {

UINT DroppedFileCount(HDROP drop) { return drop ? DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) : 0; }

std::wstring DroppedFilePath(HDROP drop, UINT index)
{
    if (!drop)
        return {};
    const UINT length = DragQueryFileW(drop, index, nullptr, 0);  // without the terminator
    if (length == 0)
        return {};
    std::wstring path(length + 1, L'\0');
    const UINT copied = DragQueryFileW(drop, index, path.data(), length + 1);
    path.resize(copied <= length ? copied : length);
    return path;
}

std::vector<std::wstring> DroppedFilePaths(HDROP drop)
{
    std::vector<std::wstring> paths;
    const UINT count = DroppedFileCount(drop);
    for (UINT i = 0; i < count; ++i) {
        std::wstring path = DroppedFilePath(drop, i);
        if (!path.empty())
            paths.push_back(std::move(path));
    }
    return paths;
}

}  // namespace Vantor
