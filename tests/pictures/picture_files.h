#pragma once
// Picture files written for the record tests, in a folder removed afterwards.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "image/CxImage.h"

namespace testpics {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::wstring& path() const { return path_; }
    std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// Encodes the image with EncodeImage in the given format and writes it; false on failure.
bool WritePicture(const std::wstring& path, const Vantor::CxImage& image, const wchar_t* format);
bool WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);

}  // namespace testpics
