// Writes pictures encoded by EncodeImage into a folder, with the source pixels beside them,
// for a peer decoder (ImageMagick) to read back: encode_writer FOLDER
// Or makes a record of each file a peer encoder wrote and prints what it holds, one line per
// file: encode_writer --inspect FILE...  ->  "NAME decoded W H THUMB_W THUMB_H UPLOAD_BYTES"
// (after the thumbnail, the top-left pixel of the thumbnail as R G B).
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdio>
#include <string>

#include "Biz/ImageData.h"
#include "image/EncodeImage.h"
#include "image/GdiplusBridge.h"
#include "test_pictures.h"

using namespace Vantor;

namespace {

bool WriteFile(const std::wstring& path, const uint8_t* data, size_t size)
{
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

// The picture's pixels as RGB, top-down, as ImageMagick's rgb: format reads them.
bool WriteRgb(const std::wstring& path, const CxImage& image)
{
    std::string rgb;
    for (uint32_t y = 0; y < image.GetHeight(); ++y)
        for (uint32_t x = 0; x < image.GetWidth(); ++x) {
            const RGBQUAD c = testpics::TopDown(image, x, y);
            rgb += static_cast<char>(c.rgbRed);
            rgb += static_cast<char>(c.rgbGreen);
            rgb += static_cast<char>(c.rgbBlue);
        }
    return WriteFile(path, reinterpret_cast<const uint8_t*>(rgb.data()), rgb.size());
}

int Run(const std::wstring& folder)
{
    const CxImage photo = testpics::Make24(61, 43, [](uint32_t x, uint32_t y) {
        return RGBQUAD{static_cast<uint8_t>(x * 4), static_cast<uint8_t>(y * 5), static_cast<uint8_t>(128 + x - y), 255};
    });
    const CxImage few = testpics::Make24(61, 43, [](uint32_t x, uint32_t y) {
        return RGBQUAD{static_cast<uint8_t>((x / 8) * 30), static_cast<uint8_t>((y / 8) * 40), 90, 255};
    });
    auto photoBitmap = BitmapFromCxImage(photo);
    auto fewBitmap = BitmapFromCxImage(few);
    if (!photoBitmap || !fewBitmap)
        return 2;
    if (!WriteRgb(folder + L"\\photo.rgb", photo) || !WriteRgb(folder + L"\\few.rgb", few))
        return 3;
    const struct {
        Gdiplus::Bitmap* bitmap;
        const wchar_t* format;
        const wchar_t* file;
    } outputs[] = {{photoBitmap.get(), L"png", L"photo.png"},  {photoBitmap.get(), L"bmp", L"photo.bmp"},
                   {photoBitmap.get(), L"tiff", L"photo.tiff"}, {photoBitmap.get(), L"jpg", L"photo.jpg"},
                   {photoBitmap.get(), L"gif", L"photo.gif"},   {fewBitmap.get(), L"gif", L"few.gif"}};
    for (const auto& output : outputs) {
        const EncodedImage encoded = EncodeImage(*output.bitmap, output.format);
        if (encoded.empty() || !WriteFile(folder + L"\\" + output.file, encoded.data(), encoded.size())) {
            std::fwprintf(stderr, L"could not encode %ls\n", output.file);
            return 4;
        }
    }
    return 0;
}

int Inspect(int count, wchar_t** paths)
{
    for (int i = 0; i < count; ++i) {
        auto record = ImageData::Create(paths[i]);
        if (!record)
            return 5;
        auto thumbnail = record->thumbnail();
        UINT tw = 0, th = 0;
        Gdiplus::Color corner;
        if (thumbnail) {
            tw = thumbnail->GetWidth();
            th = thumbnail->GetHeight();
            if (thumbnail->GetType() == Gdiplus::ImageTypeBitmap)
                static_cast<Gdiplus::Bitmap*>(thumbnail.get())->GetPixel(0, 0, &corner);
        }
        const ImageData::UploadPicture upload = record->PrepareUpload();
        std::wprintf(L"%ls %d %u %u %u %u %u %u %u %u\n", record->name().c_str(), record->hasPicture() ? 1 : 0,
                     record->width(), record->height(), tw, th, upload.encoded.size(), corner.GetR(),
                     corner.GetG(), corner.GetB());
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc >= 2 && std::wstring(argv[1]) == L"--inspect") {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok)
            return 1;
        const int rc = Inspect(argc - 2, argv + 2);
        Gdiplus::GdiplusShutdown(token);
        return rc;
    }
    if (argc != 2)
        return 1;
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok)
        return 1;
    const int rc = Run(argv[1]);
    Gdiplus::GdiplusShutdown(token);
    return rc;
}
