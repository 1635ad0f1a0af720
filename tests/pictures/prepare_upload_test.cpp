// Pictures prepared for upload: EXIF orientation wherever a record decodes its picture, the
// page's options (quality, limits, originals), and pictures that cannot be prepared.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "Biz/ImageData.h"
#include "exif_fixture.h"
#include "image/Exif.h"
#include "image/GdiplusBridge.h"
#include "platform/Handles.h"
#include "picture_files.h"
#include "test_pictures.h"

using namespace Vantor;
using testpics::Make24;
using testpics::TempFolder;

namespace {

constexpr uint32_t kWidth = 480, kHeight = 320;

// The upright picture: red top left, green top right, blue bottom left, white bottom right.
RGBQUAD Quadrant(uint32_t x, uint32_t y, uint32_t width, uint32_t height)
{
    const bool right = x >= width / 2, bottom = y >= height / 2;
    if (!bottom)
        return right ? RGBQUAD{0, 200, 0, 255} : RGBQUAD{0, 0, 220, 255};
    return right ? RGBQUAD{255, 255, 255, 255} : RGBQUAD{210, 0, 0, 255};
}

// How a camera stores that picture for each orientation (the standard's "0th row is the
// visual ..." table), independent of the code under test.
CxImage StoredFor(int orientation)
{
    const uint32_t W = kWidth, H = kHeight;
    const bool swaps = orientation >= 5;
    return Make24(swaps ? H : W, swaps ? W : H, [&](uint32_t a, uint32_t b) {
        uint32_t x = a, y = b;
        switch (orientation) {
        case 2: x = W - 1 - a; break;
        case 3: x = W - 1 - a, y = H - 1 - b; break;
        case 4: y = H - 1 - b; break;
        case 5: x = b, y = a; break;
        case 6: x = W - 1 - b, y = a; break;
        case 7: x = W - 1 - b, y = H - 1 - a; break;
        case 8: x = b, y = H - 1 - a; break;
        default: break;
        }
        return Quadrant(x, y, W, H);
    });
}

std::wstring WriteOrientedJpeg(const TempFolder& folder, int orientation)
{
    const std::wstring plain = folder.file(L"plain" + std::to_wstring(orientation) + L".jpg");
    EXPECT_TRUE(testpics::WritePicture(plain, StoredFor(orientation), L"jpg"));
    testpics::ExifFields fields;
    fields.orientation = orientation;
    fields.littleEndian = orientation % 2 == 0;
    const std::wstring path = folder.file(L"photo" + std::to_wstring(orientation) + L".jpg");
    EXPECT_TRUE(testpics::WriteBytes(path, testpics::WithExif(testpics::ReadBytes(plain), testpics::ExifTiff(fields))));
    return path;
}

std::unique_ptr<CxImage> Decode(const EncodedImage& encoded)
{
    if (encoded.empty())
        return nullptr;
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)))
        return nullptr;
    stream->Write(encoded.data(), encoded.size(), nullptr);
    const LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    Gdiplus::Bitmap bitmap(stream.Get());
    if (bitmap.GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    return CxImageFromBitmap(bitmap);
}

std::unique_ptr<CxImage> PixelsOf(const std::shared_ptr<Gdiplus::Image>& image)
{
    if (!image || image->GetType() != Gdiplus::ImageTypeBitmap)
        return nullptr;
    return CxImageFromBitmap(static_cast<Gdiplus::Bitmap&>(*image));
}

// The picture shows the four quadrants upright, turned clockwise `turns` times.
::testing::AssertionResult ShowsQuadrants(const CxImage* image, int turns = 0)
{
    if (!image)
        return ::testing::AssertionFailure() << "no picture";
    const uint32_t w = image->GetWidth(), h = image->GetHeight();
    // Which upright quadrant each corner shows after the turns (clockwise from the top left).
    static const int kCornerOf[4][4] = {{0, 1, 3, 2}, {2, 0, 1, 3}, {3, 2, 0, 1}, {1, 3, 2, 0}};
    const uint32_t xs[4] = {w / 4, 3 * w / 4, 3 * w / 4, w / 4}, ys[4] = {h / 4, h / 4, 3 * h / 4, 3 * h / 4};
    const uint32_t ux[4] = {kWidth / 4, 3 * kWidth / 4, kWidth / 4, 3 * kWidth / 4};
    const uint32_t uy[4] = {kHeight / 4, kHeight / 4, 3 * kHeight / 4, 3 * kHeight / 4};
    for (int corner = 0; corner < 4; ++corner) {
        const int quadrant = kCornerOf[turns & 3][corner];
        const RGBQUAD want = Quadrant(ux[quadrant], uy[quadrant], kWidth, kHeight);
        const RGBQUAD got = testpics::TopDown(*image, xs[corner], ys[corner]);
        if (std::abs(got.rgbRed - want.rgbRed) > 40 || std::abs(got.rgbGreen - want.rgbGreen) > 40 ||
            std::abs(got.rgbBlue - want.rgbBlue) > 40)
            return ::testing::AssertionFailure() << "corner " << corner << " shows " << int(got.rgbRed) << ","
                                                 << int(got.rgbGreen) << "," << int(got.rgbBlue);
    }
    return ::testing::AssertionSuccess();
}

bool HasExifBlock(const EncodedImage& encoded)
{
    const uint8_t* end = encoded.data() + encoded.size();
    static const char kExif[] = "Exif\0\0";
    return std::search(encoded.data(), end, kExif, kExif + 6) != end;
}

// The first value of the first quantisation table (the luminance DC step), or -1.
int FirstQuantStep(const EncodedImage& encoded)
{
    const uint8_t* p = encoded.data();
    for (size_t i = 2; i + 5 < encoded.size(); ++i)
        if (p[i] == 0xFF && p[i + 1] == 0xDB)
            return (p[i + 4] >> 4) == 0 ? p[i + 5] : (p[i + 5] << 8 | p[i + 6]);
    return -1;
}

// The libjpeg reference scaling of the standard luminance DC step (16) for a quality.
int ExpectedFirstStep(int quality)
{
    const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
    return std::clamp((16 * scale + 50) / 100, 1, 255);
}

}  // namespace

TEST(PrepareOrientation, EveryOrientationIsUprightInThumbnailPictureAndUpload)
{
    TempFolder folder;
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const std::wstring path = WriteOrientedJpeg(folder, orientation);
        auto record = ImageData::Create(path);
        ASSERT_TRUE(record->hasPicture());
        EXPECT_EQ(record->width(), kWidth);
        EXPECT_EQ(record->height(), kHeight);

        auto thumbnail = PixelsOf(record->thumbnail());
        ASSERT_TRUE(thumbnail);
        EXPECT_EQ(thumbnail->GetWidth(), 120u);
        EXPECT_EQ(thumbnail->GetHeight(), 80u);
        EXPECT_TRUE(ShowsQuadrants(thumbnail.get()));

        auto picture = CxImageFromBitmap(*record->Picture());
        EXPECT_EQ(picture->GetWidth(), kWidth);
        EXPECT_TRUE(ShowsQuadrants(picture.get()));

        const ImageData::UploadPicture upload = record->PrepareUpload();
        EXPECT_EQ(upload.width, kWidth);
        EXPECT_EQ(upload.height, kHeight);
        EXPECT_FALSE(HasExifBlock(upload.encoded));  // nothing left to turn it twice
        auto sent = Decode(upload.encoded);
        ASSERT_TRUE(sent);
        EXPECT_EQ(sent->GetWidth(), kWidth);
        EXPECT_TRUE(ShowsQuadrants(sent.get()));

        // The user's turn comes on top of the orientation, in the list and in the upload.
        ASSERT_TRUE(record->RotateRight(120, 120));
        EXPECT_EQ(record->width(), kHeight);
        auto turnedThumbnail = PixelsOf(record->thumbnail());
        ASSERT_TRUE(turnedThumbnail);
        EXPECT_EQ(turnedThumbnail->GetWidth(), 80u);
        EXPECT_TRUE(ShowsQuadrants(turnedThumbnail.get(), 1));
        const ImageData::UploadPicture turned = record->PrepareUpload();
        EXPECT_EQ(turned.width, kHeight);
        EXPECT_EQ(turned.height, kWidth);
        auto turnedSent = Decode(turned.encoded);
        EXPECT_TRUE(ShowsQuadrants(turnedSent.get(), 1));
    }
}

TEST(PrepareOrientation, AnEditOfAnOrientedPhotoIsNotTurnedAgain)
{
    TempFolder folder;
    auto record = ImageData::Create(WriteOrientedJpeg(folder, 6));
    auto picture = record->Picture();  // upright, as the editor gets it
    ASSERT_TRUE(picture);
    ASSERT_TRUE(record->SetEditedImage(picture.get(), 120, 120));
    EXPECT_EQ(record->width(), kWidth);
    EXPECT_TRUE(ShowsQuadrants(PixelsOf(record->thumbnail()).get()));
    const ImageData::UploadPicture upload = record->PrepareUpload();
    EXPECT_EQ(upload.width, kWidth);
    EXPECT_TRUE(ShowsQuadrants(Decode(upload.encoded).get()));
}

TEST(PrepareOptions, DefaultsReencodeAtFullSizeAndQuality100)
{
    TempFolder folder;
    const std::wstring path = WriteOrientedJpeg(folder, 1);
    auto record = ImageData::Create(path);
    const ImageData::UploadPicture upload = record->PrepareUpload();
    ASSERT_FALSE(upload.encoded.empty());
    EXPECT_NE(*upload.encoded.bytes, testpics::ReadBytes(path));
    EXPECT_EQ(FirstQuantStep(upload.encoded), 1);
    EXPECT_EQ(upload.width, kWidth);
    EXPECT_EQ(record->UploadSize, upload.encoded.size());
}

TEST(PrepareOptions, JpegQualityIsTheQualitySent)
{
    TempFolder folder;
    // A PNG file sent under a JPEG name goes through the same encoder as a JPEG file.
    const std::wstring jpeg = WriteOrientedJpeg(folder, 1);
    const std::wstring png = folder.file(L"really-png.jpg");
    ASSERT_TRUE(testpics::WritePicture(png, StoredFor(1), L"png"));
    for (const std::wstring& path : {jpeg, png}) {
        auto record = ImageData::Create(path);
        uint32_t previous = 0;
        for (int quality : {100, 85, 50, 10}) {
            PrepareOptions options;
            options.jpegQuality = quality;
            const ImageData::UploadPicture upload = record->PrepareUpload(options);
            ASSERT_FALSE(upload.encoded.empty());
            EXPECT_EQ(FirstQuantStep(upload.encoded), ExpectedFirstStep(quality)) << quality;
            if (previous) {
                EXPECT_LT(upload.encoded.size(), previous) << quality;
            }
            previous = upload.encoded.size();
            EXPECT_TRUE(ShowsQuadrants(Decode(upload.encoded).get()));
        }
    }
}

TEST(PrepareOptions, LargerPicturesAreShrunkToFitBothLimits)
{
    TempFolder folder;
    const std::wstring jpeg = WriteOrientedJpeg(folder, 6);  // stored 320 x 480, seen 480 x 320
    const std::wstring png = folder.file(L"quadrants.png");
    ASSERT_TRUE(testpics::WritePicture(png, StoredFor(1), L"png"));
    const struct {
        uint32_t maxWidth, maxHeight, width, height;
    } cases[] = {{100, 100, 100, 67}, {0, 100, 150, 100}, {240, 0, 240, 160}, {1000, 1000, 480, 320}, {480, 320, 480, 320}};
    for (const std::wstring& path : {jpeg, png})
        for (const auto& c : cases) {
            auto record = ImageData::Create(path);
            PrepareOptions options;
            options.maxWidth = c.maxWidth;
            options.maxHeight = c.maxHeight;
            const ImageData::UploadPicture upload = record->PrepareUpload(options);
            EXPECT_EQ(upload.width, c.width) << c.maxWidth << "x" << c.maxHeight;
            EXPECT_EQ(upload.height, c.height);
            auto sent = Decode(upload.encoded);
            ASSERT_TRUE(sent);
            EXPECT_EQ(sent->GetWidth(), c.width);
            EXPECT_EQ(sent->GetHeight(), c.height);
            EXPECT_TRUE(ShowsQuadrants(sent.get()));
        }
    // The limits apply to the picture as turned by the user.
    auto record = ImageData::Create(png);
    record->RotateRight(120, 120);
    PrepareOptions options;
    options.maxWidth = 100;
    const ImageData::UploadPicture upload = record->PrepareUpload(options);
    EXPECT_EQ(upload.width, 100u);
    EXPECT_EQ(upload.height, 150u);
}

TEST(PrepareOptions, ShrunkPngKeepsItsAlpha)
{
    TempFolder folder;
    // Left half transparent red, right half opaque blue.
    const std::wstring path = folder.file(L"alpha.png");
    ASSERT_TRUE(testpics::WriteBytes(path, testpics::WritePng(400, 200, testpics::PngKind::Rgba, [](uint32_t x, uint32_t) {
        return x < 200 ? RGBQUAD{0, 0, 255, 0} : RGBQUAD{255, 0, 0, 255};
    })));
    auto record = ImageData::Create(path);
    PrepareOptions options;
    options.maxWidth = 100;
    const ImageData::UploadPicture upload = record->PrepareUpload(options);
    ASSERT_FALSE(upload.encoded.empty());
    EXPECT_EQ(std::memcmp(upload.encoded.data(), "\x89PNG", 4), 0);
    auto sent = Decode(upload.encoded);
    ASSERT_TRUE(sent);
    ASSERT_TRUE(sent->AlphaIsValid());
    EXPECT_EQ(sent->GetWidth(), 100u);
    EXPECT_EQ(testpics::TopDown(*sent, 10, 20).rgbReserved, 0);
    const RGBQUAD opaque = testpics::TopDown(*sent, 90, 20);
    EXPECT_EQ(opaque.rgbReserved, 255);
    EXPECT_EQ(opaque.rgbBlue, 255);  // no red bled in from the transparent half
    EXPECT_EQ(opaque.rgbRed, 0);
    const RGBQUAD edge = testpics::TopDown(*sent, 51, 20);
    EXPECT_GT(edge.rgbReserved, 0);
    EXPECT_LE(edge.rgbRed, 10);
}

TEST(PrepareOptions, SendOriginalSendsTheUntouchedFileItself)
{
    TempFolder folder;
    const std::wstring jpeg = WriteOrientedJpeg(folder, 6);
    const std::wstring png = folder.file(L"quadrants.png");
    ASSERT_TRUE(testpics::WritePicture(png, StoredFor(1), L"png"));
    PrepareOptions original;
    original.sendOriginal = true;
    for (const std::wstring& path : {jpeg, png}) {
        auto record = ImageData::Create(path);
        const ImageData::UploadPicture upload = record->PrepareUpload(original);
        ASSERT_FALSE(upload.encoded.empty());
        EXPECT_EQ(*upload.encoded.bytes, testpics::ReadBytes(path));
        EXPECT_EQ(upload.width, kWidth);  // as seen: the orientation applied
        EXPECT_EQ(upload.height, kHeight);
        EXPECT_EQ(record->UploadSize, upload.encoded.size());

        // Not when it needs shrinking, nor once turned or edited.
        PrepareOptions limited = original;
        limited.maxWidth = 200;
        EXPECT_NE(*record->PrepareUpload(limited).encoded.bytes, testpics::ReadBytes(path));
        limited.maxWidth = kWidth;  // exactly fits: no change needed
        EXPECT_EQ(*record->PrepareUpload(limited).encoded.bytes, testpics::ReadBytes(path));
        record->RotateRight(120, 120);
        const ImageData::UploadPicture turned = record->PrepareUpload(original);
        EXPECT_NE(*turned.encoded.bytes, testpics::ReadBytes(path));
        EXPECT_EQ(turned.width, kHeight);
        EXPECT_TRUE(ShowsQuadrants(Decode(turned.encoded).get(), 1));
        record->RotateLeft(120, 120);
        EXPECT_EQ(*record->PrepareUpload(original).encoded.bytes, testpics::ReadBytes(path));
        auto edit = BitmapFromCxImage(Make24(90, 70, testpics::Pattern));
        ASSERT_TRUE(record->SetEditedImage(edit.get(), 120, 120));
        const ImageData::UploadPicture edited = record->PrepareUpload(original);
        EXPECT_NE(*edited.encoded.bytes, testpics::ReadBytes(path));
        EXPECT_EQ(edited.width, 90u);
    }
    // Not when its name asks for another format than the bytes hold.
    const std::wstring renamed = folder.file(L"png-named.jpg");
    ASSERT_TRUE(testpics::WriteBytes(renamed, testpics::ReadBytes(png)));
    const ImageData::UploadPicture converted = ImageData::Create(renamed)->PrepareUpload(original);
    ASSERT_FALSE(converted.encoded.empty());
    EXPECT_EQ(std::memcmp(converted.encoded.data(), "\xFF\xD8\xFF", 3), 0);
}

TEST(PrepareOptions, ARecordWhoseThumbnailIsNotMadeYetUploadsAllTheSame)
{
    TempFolder folder;
    auto record = ImageData::CreateUnloaded(WriteOrientedJpeg(folder, 6));
    ASSERT_TRUE(record);
    const ImageData::UploadPicture upload = record->PrepareUpload();
    EXPECT_EQ(upload.width, kWidth);
    EXPECT_TRUE(ShowsQuadrants(Decode(upload.encoded).get()));
}

TEST(PrepareFormats, ATurnedGifIsSentTurned)
{
    // GIFs decode to indexed pictures, which the platform cannot turn in place.
    TempFolder folder;
    const std::wstring path = folder.file(L"turned.gif");
    ASSERT_TRUE(testpics::WritePicture(path, StoredFor(1), L"gif"));
    auto record = ImageData::Create(path);
    ASSERT_TRUE(record->RotateRight(120, 120));
    const ImageData::UploadPicture upload = record->PrepareUpload();
    ASSERT_FALSE(upload.encoded.empty());
    EXPECT_EQ(std::memcmp(upload.encoded.data(), "GIF8", 4), 0);
    EXPECT_EQ(upload.width, kHeight);
    EXPECT_TRUE(ShowsQuadrants(Decode(upload.encoded).get(), 1));
}

TEST(PrepareFormats, TifAndTiffBothStayTiff)
{
    TempFolder folder;
    for (const wchar_t* name : {L"scan.tif", L"scan.TIF", L"scan.tiff"}) {
        const std::wstring path = folder.file(name);
        ASSERT_TRUE(testpics::WritePicture(path, StoredFor(1), L"tiff"));
        const ImageData::UploadPicture upload = ImageData::Create(path)->PrepareUpload();
        ASSERT_FALSE(upload.encoded.empty());
        EXPECT_EQ(std::memcmp(upload.encoded.data(), "II*", 3), 0) << name;
    }
}

TEST(PrepareFailure, APictureGoneOrSpoiledSinceItWasAddedGivesNothing)
{
    TempFolder folder;
    const std::wstring gone = WriteOrientedJpeg(folder, 1);
    const std::wstring spoiled = folder.file(L"spoiled.png");
    ASSERT_TRUE(testpics::WritePicture(spoiled, StoredFor(1), L"png"));
    auto a = ImageData::Create(gone);
    auto b = ImageData::Create(spoiled);
    ASSERT_TRUE(a->hasPicture() && b->hasPicture());
    ASSERT_TRUE(DeleteFileW(gone.c_str()));
    ASSERT_TRUE(testpics::WriteBytes(spoiled, std::vector<uint8_t>(3000, 'x')));
    PrepareOptions original;
    original.sendOriginal = true;
    for (const PrepareOptions& options : {PrepareOptions{}, original}) {
        for (auto* record : {a.get(), b.get()}) {
            record->UploadSize = 5;
            const ImageData::UploadPicture upload = record->PrepareUpload(options);
            EXPECT_TRUE(upload.encoded.empty());
            EXPECT_EQ(upload.width, 0u);
            EXPECT_EQ(record->UploadSize, 0u);
        }
    }
}
