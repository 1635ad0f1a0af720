#include "Screenshot.h"

#include "platform/Handles.h"

#include <gdiplus.h>

#include <vector>

namespace PageHost {
namespace {

bool PngEncoder(CLSID& encoder)
{
    UINT count = 0, bytes = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0)
        return false;
    std::vector<BYTE> buffer(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok)
        return false;
    for (UINT i = 0; i < count; ++i) {
        if (codecs[i].MimeType && wcscmp(codecs[i].MimeType, L"image/png") == 0) {
            encoder = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

}  // namespace

bool SaveWindowPng(HWND window, const std::wstring& path)
{
    RECT client{};
    if (!window || !GetClientRect(window, &client))
        return false;
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width <= 0 || height <= 0)
        return false;
    CLSID encoder{};
    if (!PngEncoder(encoder))
        return false;

    const HDC windowDc = GetDC(window);
    if (!windowDc)
        return false;
    const Vantor::UniqueMemoryDC memory(CreateCompatibleDC(windowDc));
    const Vantor::GdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(windowDc, width, height));
    bool copied = false;
    if (memory && bitmap) {
        const Vantor::SelectObjectScope selected(memory.get(), bitmap.get());
        copied = BitBlt(memory.get(), 0, 0, width, height, windowDc, 0, 0, SRCCOPY) != FALSE;
    }
    ReleaseDC(window, windowDc);
    if (!copied)
        return false;
    Gdiplus::Bitmap image(bitmap.get(), nullptr);
    return image.Save(path.c_str(), &encoder, nullptr) == Gdiplus::Ok;
}

}  // namespace PageHost
