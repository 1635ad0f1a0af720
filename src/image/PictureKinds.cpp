#include "image/PictureKinds.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>

namespace Vantor {
namespace {

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}

}  // namespace

const std::vector<std::wstring>& PictureKinds::Decodable()
{
    static const std::vector<std::wstring> kinds = {
        L".jpg", L".jpeg", L".jpe", L".jfif", L".png", L".gif", L".bmp", L".tif", L".tiff", L".webp", L".heic", L".heif", L".avif",
    };
    return kinds;
}

PictureKinds::PictureKinds() : extensions_(Decodable()) {}

PictureKinds PictureKinds::FromList(const std::vector<std::wstring>& given)
{
    PictureKinds kinds;
    std::vector<std::wstring> chosen;
    for (const std::wstring& entry : given) {
        if (entry.empty())
            continue;
        const std::wstring extension = Lower(entry[0] == L'.' ? entry : L"." + entry);
        const auto& decodable = Decodable();
        if (std::find(decodable.begin(), decodable.end(), extension) != decodable.end() &&
            std::find(chosen.begin(), chosen.end(), extension) == chosen.end())
            chosen.push_back(extension);
    }
    if (!chosen.empty())
        kinds.extensions_ = std::move(chosen);
    return kinds;
}

bool PictureKinds::Accepts(const std::wstring& path) const
{
    if (path.find(L'\0') != std::wstring::npos)
        return false;
    const wchar_t* extension = PathFindExtensionW(path.c_str());
    if (!extension || !*extension)
        return false;
    const std::wstring lower = Lower(extension);
    return std::find(extensions_.begin(), extensions_.end(), lower) != extensions_.end();
}

}  // namespace Vantor
