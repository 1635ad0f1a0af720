#include "picker/FilePathKey.h"

#include <windows.h>

namespace Vantor {
namespace {

// Calls fill(buffer, size) as the Win32 path functions want: it returns the length written,
// or the size needed (terminator included) when the buffer is too small, or 0 on failure.
template <typename Fill>
std::wstring GrowingCall(Fill fill)
{
    std::wstring out(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD n = fill(&out[0], static_cast<DWORD>(out.size()));
        if (n == 0)
            return {};
        if (n < out.size()) {
            out.resize(n);
            return out;
        }
        out.assign(n, L'\0');
    }
    return {};
}

}  // namespace

std::wstring FullFilePath(const std::wstring& path)
{
    if (path.empty())
        return path;
    const std::wstring full = GrowingCall(
        [&](wchar_t* buffer, DWORD size) { return GetFullPathNameW(path.c_str(), size, buffer, nullptr); });
    return full.empty() ? path : full;
}

std::wstring FilePathKey(const std::wstring& path)
{
    if (path.empty())
        return path;
    const std::wstring full = FullFilePath(path);
    // Only a path with a short name in it needs the long one looked up, component by component
    // on the disk (about a millisecond under Wine). The short names the system makes all hold
    // a "~" (PROGRA~1, hashed ones too); a name set by hand without one is not looked up.
    std::wstring key;
    if (full.find(L'~') != std::wstring::npos)
        key = GrowingCall([&](wchar_t* buffer, DWORD size) { return GetLongPathNameW(full.c_str(), buffer, size); });
    if (key.empty())
        key = full;  // no short name, or a file that is gone: its full path is the key
    // The file system's letter case rule is the invariant one, not the user's language's.
    std::wstring upper(key.size(), L'\0');
    const int n = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, key.c_str(), static_cast<int>(key.size()),
                                &upper[0], static_cast<int>(upper.size()), nullptr, nullptr, 0);
    if (n == static_cast<int>(upper.size()))
        return upper;
    CharUpperBuffW(&key[0], static_cast<DWORD>(key.size()));
    return key;
}

}  // namespace Vantor
