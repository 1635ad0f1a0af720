#pragma once
// Encoding a GDI+ picture into the bytes of a PNG, GIF, BMP, TIFF or JPEG file, in memory.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Vantor {

struct EncodedImage {
    std::shared_ptr<const std::vector<uint8_t>> bytes;  // null when encoding failed
    uint32_t size() const { return bytes ? static_cast<uint32_t>(bytes->size()) : 0; }
    const uint8_t* data() const { return bytes ? bytes->data() : nullptr; }
    bool empty() const { return size() == 0; }
};

// The formats pictures are encoded in.
enum class ImageFormat { Jpeg, Png, Gif, Bmp, Tiff };
// Which format a format name selects: "png", "gif", "bmp", "tif" and "tiff" (any letter
// case) their own; anything else JPEG.
ImageFormat FormatOfName(const std::wstring& format);

// Which platform encoder a format name selects (FormatOfName); for JPEG with the one
// parameter EncoderQuality = 100 (type long).
struct EncoderChoice {
    CLSID encoder;
    const wchar_t* mimeType;
    bool withQuality;     // JPEG only
    ULONG quality;        // the EncoderQuality value passed
    bool needsPalette;    // GIF: the encoder is given an 8-bit indexed copy
};
EncoderChoice ChooseEncoder(const std::wstring& format);
// The identifier of the EncoderQuality parameter.
const GUID& EncoderQualityId();

// Encodes the picture. JPEG goes through libjpeg-turbo at the quality given (the platform's
// encoder under Wine ignores the quality asked); the other formats through the platform's
// encoders. A GIF is saved from an 8-bit indexed copy (its exact colours when it has at most
// 256 of them, otherwise a median-cut palette) and only returned when it decodes again to the
// same size. On any failure the result is empty.
EncodedImage EncodeImage(Gdiplus::Image& image, const std::wstring& format, int jpegQuality = 100);

}  // namespace Vantor
