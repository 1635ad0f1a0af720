#pragma once
// The paths carried by a shell file drop (CF_HDROP), each read whole: the length is asked
// first, so paths of any length come through uncut.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace Vantor {

// The number of paths in the drop (0 for a null or unreadable handle).
UINT DroppedFileCount(HDROP drop);
// The path at `index`; empty when there is none.
std::wstring DroppedFilePath(HDROP drop, UINT index);
// Every path of the drop in order (empty entries left out).
std::vector<std::wstring> DroppedFilePaths(HDROP drop);

}  // namespace Vantor
