#include "picker/FolderPath.h"

#include <windows.h>
#include <shlwapi.h>

namespace Vantor {

namespace {

bool EqualIgnoringCase(const wchar_t* a, int aLength, const wchar_t* b, int bLength)
{
    return CompareStringOrdinal(a, aLength, b, bLength, TRUE) == CSTR_EQUAL;
}

}  // namespace

std::wstring TrimFolderPath(const std::wstring& path)
{
    std::wstring trimmed = path;
    while (trimmed.size() > 1 && (trimmed.back() == L'\\' || trimmed.back() == L'/')) {
        if (trimmed.size() == 3 && trimmed[1] == L':')
            break;
        trimmed.pop_back();
    }
    return trimmed;
}

bool IsSameFolder(const std::wstring& a, const std::wstring& b)
{
    const std::wstring left = TrimFolderPath(a), right = TrimFolderPath(b);
    if (left.empty() || right.empty())
        return false;
    return EqualIgnoringCase(left.c_str(), static_cast<int>(left.size()), right.c_str(), static_cast<int>(right.size()));
}

bool IsFolderWithin(const std::wstring& folder, const std::wstring& ancestor)
{
    const std::wstring inner = TrimFolderPath(folder), outer = TrimFolderPath(ancestor);
    if (inner.empty() || outer.empty() || inner.size() < outer.size())
        return false;
    if (!EqualIgnoringCase(inner.c_str(), static_cast<int>(outer.size()), outer.c_str(), static_cast<int>(outer.size())))
        return false;
    if (inner.size() == outer.size())
        return true;
    // The next character must start a new component (a root already ends with its separator).
    const wchar_t last = outer.back();
    const wchar_t next = inner[outer.size()];
    return last == L'\\' || last == L'/' || next == L'\\' || next == L'/';
}

std::wstring FolderRoot(const std::wstring& path)
{
    if (path.empty() || path.size() >= MAX_PATH)
        return {};
    wchar_t root[MAX_PATH] = {};
    path.copy(root, path.size());
    if (!PathStripToRootW(root))
        return {};
    return root;
}

}  // namespace Vantor
