#pragma once
// When two spellings of a path name one file, as the upload list sees it.
//
// Windows resolves a path's text before it opens the file: "/" becomes "\", "." and ".."
// components and doubled separators go, a path without a drive takes the current drive's, a
// relative one the current folder's, and trailing dots and blanks of a name go
// (GetFullPathNameW). An 8.3 short name is one more spelling of its long name
// (GetLongPathNameW), and the file system ignores letter case. The key is the resolved, long,
// upper-cased form, so "c:/photos/./a.JPG", "C:\PHOTOS\A.JPG" and "\photos\a.jpg" on drive C:
// all give one key. Two hard links of one file are two paths with two keys, as two copies
// would be.
//
// Cost: GetFullPathNameW works on the text alone; GetLongPathNameW looks each component up,
// so it runs only for a path that can hold a short name (one with a "~": every short name the
// system makes has one), and a list item keeps its key instead of making it on every comparison.
#include <string>

namespace Vantor {

// The path made absolute as Windows resolves it; the path itself when it cannot be.
std::wstring FullFilePath(const std::wstring& path);
// The comparison key of a file's path (above). Empty for an empty path.
std::wstring FilePathKey(const std::wstring& path);

}  // namespace Vantor
