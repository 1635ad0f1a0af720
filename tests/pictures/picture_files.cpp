#include "picture_files.h"

#include <shellapi.h>

#include <cstdio>

#include "image/EncodeImage.h"
#include "image/GdiplusBridge.h"

namespace testpics {

TempFolder::TempFolder()
{
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"fotoloft-pictures-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount());
    CreateDirectoryW(path_.c_str(), nullptr);
}

TempFolder::~TempFolder()
{
    std::wstring from = path_;
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationW(&op);
}

bool WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes)
{
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (!file)
        return false;
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

std::vector<uint8_t> ReadBytes(const std::wstring& path)
{
    std::vector<uint8_t> bytes;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file)
        return bytes;
    uint8_t buffer[65536];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(file);
    return bytes;
}

bool WritePicture(const std::wstring& path, const Vantor::CxImage& image, const wchar_t* format)
{
    auto bitmap = Vantor::BitmapFromCxImage(image);
    if (!bitmap)
        return false;
    const Vantor::EncodedImage encoded = Vantor::EncodeImage(*bitmap, format);
    return !encoded.empty() && WriteBytes(path, *encoded.bytes);
}

bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace testpics
