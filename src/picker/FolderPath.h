#pragma once
// Comparisons of folder paths as the file system sees them: letter case ignored, whole path
// components only, a trailing backslash insignificant ("d:\photos\" is "D:\Photos", and
// "D:\Photos2" is not inside "D:\Photos").
#include <string>

namespace Vantor {

// The path without trailing backslashes, except the one of a drive root ("D:\").
std::wstring TrimFolderPath(const std::wstring& path);
// Both name the same folder. Empty paths name none.
bool IsSameFolder(const std::wstring& a, const std::wstring& b);
// `folder` is `ancestor` or lies below it.
bool IsFolderWithin(const std::wstring& folder, const std::wstring& ancestor);
// The root of the path ("D:\" for "D:\photos\2019", "\\server\share" for a share); empty for
// a path longer than the platform's path limit.
std::wstring FolderRoot(const std::wstring& path);

}  // namespace Vantor
