#include "control/UploadPathRule.h"

#include "platform/DeviceNames.h"

#include <windows.h>

namespace Vantor {
namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

bool IsPathThePageMayName(const std::wstring& path)
{
    if (path.empty() || path.find(L'\0') != std::wstring::npos)
        return false;
    // \\host\share, //host/share, \\?\..., \\.\..., and any mix of the two slashes.
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]))
        return false;
    // \??\ hands the rest to the object manager as it stands (\??\UNC\host\share).
    if (path.size() >= 4 && IsSeparator(path[0]) && path[1] == L'?' && path[2] == L'?' && IsSeparator(path[3]))
        return false;
    const size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    if (name.size() >= 2 && name[1] == L':')  // "C:COM1.jpg"
        name.erase(0, 2);
    return !IsReservedDeviceName(name);
}

bool IsUploadableImagePath(const std::wstring& path, const PictureKinds& kinds)
{
    if (!kinds.Accepts(path) || !IsPathThePageMayName(path))
        return false;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace Vantor
