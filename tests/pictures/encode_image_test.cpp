// Encoding GDI+ pictures in memory: encoder choice, the bytes produced, the GIF mend.
#include <gtest/gtest.h>

#include <cstring>

#include "image/EncodeImage.h"
#include "image/GdiplusBridge.h"
#include "platform/Handles.h"
#include "test_pictures.h"

using namespace Vantor;

namespace {

std::unique_ptr<Gdiplus::Bitmap> Decode(const EncodedImage& encoded)
{
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)))
        return nullptr;
    ULONG written = 0;
    stream->Write(encoded.data(), encoded.size(), &written);
    const LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    auto bitmap = std::make_unique<Gdiplus::Bitmap>(stream.Get());
    if (bitmap->GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    // Detach from the stream: a copy that owns its pixels.
    auto copy = std::make_unique<Gdiplus::Bitmap>(bitmap->GetWidth(), bitmap->GetHeight(), PixelFormat32bppARGB);
    {
        Gdiplus::Graphics g(copy.get());
        g.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
        g.DrawImage(bitmap.get(), 0, 0, bitmap->GetWidth(), bitmap->GetHeight());
    }
    return copy;
}

std::unique_ptr<Gdiplus::Bitmap> PatternBitmap(uint32_t width, uint32_t height)
{
    CxImage image = testpics::Make24(width, height, testpics::Pattern);
    return BitmapFromCxImage(image);
}

}  // namespace

TEST(EncodeImage, ChoosesTheEncoderByFormatNameIgnoringCase)
{
    EXPECT_STREQ(ChooseEncoder(L"png").mimeType, L"image/png");
    EXPECT_STREQ(ChooseEncoder(L"PNG").mimeType, L"image/png");
    EXPECT_STREQ(ChooseEncoder(L"Gif").mimeType, L"image/gif");
    EXPECT_TRUE(ChooseEncoder(L"gif").needsPalette);
    EXPECT_STREQ(ChooseEncoder(L"bmp").mimeType, L"image/bmp");
    EXPECT_STREQ(ChooseEncoder(L"tiff").mimeType, L"image/tiff");
    EXPECT_STREQ(ChooseEncoder(L"tif").mimeType, L"image/tiff");  // a TIFF named .tif stays TIFF
    EXPECT_STREQ(ChooseEncoder(L"TIF").mimeType, L"image/tiff");
    EXPECT_EQ(FormatOfName(L"Tif"), ImageFormat::Tiff);
    for (const wchar_t* jpeg : {L"jpg", L"jpeg", L"JPG", L"tifff", L"", L"pngx", L"webp"}) {
        const EncoderChoice choice = ChooseEncoder(jpeg);
        EXPECT_STREQ(choice.mimeType, L"image/jpeg") << jpeg;
        EXPECT_EQ(FormatOfName(jpeg), ImageFormat::Jpeg);
        // The platform encoder's parameters (JPEG itself is written by libjpeg-turbo).
        EXPECT_TRUE(choice.withQuality);
        EXPECT_EQ(choice.quality, 100u);
    }
    EXPECT_FALSE(ChooseEncoder(L"png").withQuality);
    // The published identifiers of the platform's encoders and of EncoderQuality.
    wchar_t text[40] = {};
    StringFromGUID2(ChooseEncoder(L"jpg").encoder, text, 40);
    EXPECT_STREQ(text, L"{557CF401-1A04-11D3-9A73-0000F81EF32E}");
    StringFromGUID2(EncoderQualityId(), text, 40);
    EXPECT_STREQ(text, L"{1D5BE4B5-FA4A-452D-9CDD-5DB35105E7EB}");

    // The installed encoders agree on the MIME types.
    UINT count = 0, size = 0;
    ASSERT_EQ(Gdiplus::GetImageEncodersSize(&count, &size), Gdiplus::Ok);
    std::vector<uint8_t> block(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(block.data());
    ASSERT_EQ(Gdiplus::GetImageEncoders(count, size, codecs), Gdiplus::Ok);
    for (const wchar_t* format : {L"png", L"gif", L"bmp", L"tiff", L"jpg"}) {
        const EncoderChoice choice = ChooseEncoder(format);
        bool found = false;
        for (UINT i = 0; i < count; ++i)
            if (IsEqualCLSID(codecs[i].Clsid, choice.encoder))
                found = std::wcscmp(codecs[i].MimeType, choice.mimeType) == 0;
        EXPECT_TRUE(found) << format;
    }
}

TEST(EncodeImage, WritesEachFormatWithItsSignature)
{
    auto bitmap = PatternBitmap(37, 23);
    ASSERT_TRUE(bitmap);
    const struct {
        const wchar_t* format;
        const char* signature;
        size_t length;
    } cases[] = {{L"png", "\x89PNG", 4}, {L"gif", "GIF8", 4}, {L"bmp", "BM", 2},
                 {L"tiff", "II*", 3},    {L"jpg", "\xFF\xD8\xFF", 3}, {L"JPEG", "\xFF\xD8\xFF", 3}};
    for (const auto& c : cases) {
        const EncodedImage encoded = EncodeImage(*bitmap, c.format);
        ASSERT_FALSE(encoded.empty()) << c.format;
        EXPECT_EQ(std::memcmp(encoded.data(), c.signature, c.length), 0) << c.format;
        auto decoded = Decode(encoded);
        ASSERT_TRUE(decoded) << c.format;
        EXPECT_EQ(decoded->GetWidth(), 37u);
        EXPECT_EQ(decoded->GetHeight(), 23u);
    }
}

TEST(EncodeImage, LosslessFormatsGiveBackTheSamePixels)
{
    auto bitmap = PatternBitmap(29, 17);
    auto original = CxImageFromBitmap(*bitmap);
    ASSERT_TRUE(original);
    for (const wchar_t* format : {L"png", L"bmp", L"tiff"}) {
        auto decoded = Decode(EncodeImage(*bitmap, format));
        ASSERT_TRUE(decoded) << format;
        auto back = CxImageFromBitmap(*decoded);
        ASSERT_TRUE(back);
        EXPECT_TRUE(testpics::SamePixels(*back, *original)) << format;
    }
}

TEST(EncodeImage, GifIsIndexedAndDecodes)
{
    // Few colours: exact.
    CxImage few = testpics::Make24(40, 30, [](uint32_t x, uint32_t y) {
        return RGBQUAD{static_cast<uint8_t>((x / 10) * 60), static_cast<uint8_t>((y / 10) * 90), 200, 255};
    });
    auto fewBitmap = BitmapFromCxImage(few);
    const EncodedImage gif = EncodeImage(*fewBitmap, L"gif");
    ASSERT_FALSE(gif.empty());
    auto decoded = Decode(gif);
    ASSERT_TRUE(decoded);
    auto back = CxImageFromBitmap(*decoded);
    auto original = CxImageFromBitmap(*fewBitmap);
    EXPECT_TRUE(testpics::SamePixels(*back, *original));

    // Many colours (a 24-bit picture, the case the platform encoder writes corrupt): still a
    // file that decodes, with colours near the original on average.
    auto many = PatternBitmap(300, 200);
    const EncodedImage manyGif = EncodeImage(*many, L"GIF");
    ASSERT_FALSE(manyGif.empty());
    auto manyDecoded = Decode(manyGif);
    ASSERT_TRUE(manyDecoded);
    auto manyBack = CxImageFromBitmap(*manyDecoded);
    auto manyOriginal = CxImageFromBitmap(*many);
    double error = 0;
    for (uint32_t y = 0; y < 200; ++y)
        for (uint32_t x = 0; x < 300; ++x) {
            const RGBQUAD a = manyBack->GetPixelColor(x, y), b = manyOriginal->GetPixelColor(x, y);
            error += std::abs(a.rgbRed - b.rgbRed) + std::abs(a.rgbGreen - b.rgbGreen) +
                     std::abs(a.rgbBlue - b.rgbBlue);
        }
    EXPECT_LT(error / (300 * 200 * 3), 12.0);  // colours spread evenly: the hardest case
}

TEST(EncodeImage, JpegStaysCloseToTheOriginal)
{
    CxImage smooth = testpics::Make24(64, 48, [](uint32_t x, uint32_t y) {
        return RGBQUAD{static_cast<uint8_t>(x * 4), static_cast<uint8_t>(y * 5), 128, 255};
    });
    auto bitmap = BitmapFromCxImage(smooth);
    auto decoded = Decode(EncodeImage(*bitmap, L"jpg"));
    ASSERT_TRUE(decoded);
    auto back = CxImageFromBitmap(*decoded);
    double error = 0;
    for (uint32_t y = 0; y < 48; ++y)
        for (uint32_t x = 0; x < 64; ++x) {
            const RGBQUAD a = back->GetPixelColor(x, y), b = smooth.GetPixelColor(x, y);
            error += std::abs(a.rgbRed - b.rgbRed) + std::abs(a.rgbGreen - b.rgbGreen) +
                     std::abs(a.rgbBlue - b.rgbBlue);
        }
    EXPECT_LT(error / (64 * 48 * 3), 4.0);
}

TEST(EncodeImage, PicturesWithAlphaEncodeInEveryFormat)
{
    // A PNG with transparency named .jpg is sent as JPEG: every encoder must take 32-bit ARGB.
    Gdiplus::Bitmap argb(30, 20, PixelFormat32bppARGB);
    for (UINT y = 0; y < 20; ++y)
        for (UINT x = 0; x < 30; ++x)
            argb.SetPixel(x, y, Gdiplus::Color(static_cast<BYTE>(x * 8), 200, static_cast<BYTE>(y * 10), 40));  // a, r, g, b
    for (const wchar_t* format : {L"jpg", L"png", L"bmp", L"tiff", L"gif"}) {
        auto decoded = Decode(EncodeImage(argb, format));
        ASSERT_TRUE(decoded) << format;
        EXPECT_EQ(decoded->GetWidth(), 30u) << format;
    }
    // PNG keeps the alpha exactly.
    auto png = Decode(EncodeImage(argb, L"png"));
    Gdiplus::Color c;
    png->GetPixel(5, 7, &c);
    EXPECT_EQ(c.GetA(), 40);
    EXPECT_EQ(c.GetR(), 200);
    EXPECT_EQ(c.GetG(), 70);
}

TEST(EncodeImage, AnEmptyPictureGivesNoBytes)
{
    Gdiplus::Bitmap broken(L"Z:\\nonexistent\\nothing.png");
    EXPECT_TRUE(EncodeImage(broken, L"png").empty());
    EXPECT_TRUE(EncodeImage(broken, L"gif").empty());
    EXPECT_EQ(EncodeImage(broken, L"jpg").size(), 0u);
}
