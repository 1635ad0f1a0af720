#include "control/UploadPathRule.h"

#include <windows.h>

namespace Vantor {

bool HasUploadableExtension(const std::wstring& path)
{
    static const wchar_t* const kExtensions[] = {L".gif", L".png", L".jpg", L".bmp"};
    if (path.size() < 4)
        return false;
    const wchar_t* tail = path.c_str() + path.size() - 4;
    for (const wchar_t* ext : kExtensions) {
        if (CompareStringOrdinal(tail, 4, ext, 4, TRUE) == CSTR_EQUAL)
            return true;
    }
    return false;
}

bool IsUploadableImagePath(const std::wstring& path)
{
    if (!HasUploadableExtension(path) || path.find(L'\0') != std::wstring::npos)
        return false;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace Vantor
