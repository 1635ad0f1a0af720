// The per-file record: names, thumbnails, turns and edits without a held picture, upload
// preparation, and damaged files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <regex>
#include <set>

#include <zlib.h>

#include "Biz/ImageData.h"
#include "exif_fixture.h"
#include "image/Exif.h"
#include "image/GdiplusBridge.h"
#include "image/FitSize.h"
#include "picture_files.h"
#include "test_pictures.h"

using namespace Vantor;
using testpics::Make24;
using testpics::Pattern;
using testpics::TempFolder;
using testpics::WritePicture;

namespace {

std::unique_ptr<CxImage> PixelsOf(Gdiplus::Image& image)
{
    if (image.GetType() != Gdiplus::ImageTypeBitmap)
        return nullptr;
    return CxImageFromBitmap(static_cast<Gdiplus::Bitmap&>(image));
}

std::pair<UINT, UINT> SizeOf(const std::shared_ptr<Gdiplus::Image>& image)
{
    return image ? std::make_pair(image->GetWidth(), image->GetHeight()) : std::make_pair(0u, 0u);
}

CxImage Plain(uint32_t width, uint32_t height)
{
    return Make24(width, height, [](uint32_t x, uint32_t y) {
        return RGBQUAD{static_cast<uint8_t>(x), static_cast<uint8_t>(y), 77, 255};
    });
}

}  // namespace

TEST(FitSize, ShrinksOnlyAndFitsTheLongerSide)
{
    auto fit = [](int w, int h, int bw, int bh) {
        const FittedSize s = FitSize(w, h, bw, bh);
        return std::make_pair(s.width, s.height);
    };
    EXPECT_EQ(fit(100, 80, 120, 120), std::make_pair(100, 80));
    EXPECT_EQ(FitSize(100, 80, 120, 120).factor, 1.0f);
    EXPECT_EQ(fit(120, 120, 120, 120), std::make_pair(120, 120));
    EXPECT_EQ(FitSize(120, 120, 120, 120).factor, 1.0f);
    EXPECT_EQ(fit(640, 480, 120, 120), std::make_pair(120, 90));
    EXPECT_EQ(fit(480, 640, 120, 120), std::make_pair(90, 120));
    EXPECT_EQ(fit(4000, 3000, 120, 120), std::make_pair(119, 89));  // single precision, truncated
    EXPECT_EQ(fit(1000, 900, 148, 120), std::make_pair(148, 133));  // only the longer side is fitted
    EXPECT_EQ(fit(120, 100, 120, 120), std::make_pair(120, 100));   // one side equal: fitted (factor 1)
    EXPECT_EQ(fit(480, 640, 148, 120), std::make_pair(90, 120));
    EXPECT_EQ(fit(640, 480, 148, 120), std::make_pair(148, 111));
}

TEST(ImageDataNames, ComeFromThePath)
{
    auto record = ImageData::Create(L"C:\\pics\\Holiday.JPG");
    ASSERT_TRUE(record);
    EXPECT_EQ(record->name(), L"Holiday.JPG");
    EXPECT_EQ(record->extension(), L".JPG");
    EXPECT_EQ(record->format(), L"jpg");
    EXPECT_EQ(record->remark(), L"Holiday.JPG");
    EXPECT_EQ(record->path(), L"C:\\pics\\Holiday.JPG");
    EXPECT_EQ(record->fileSize(), 0u);
    EXPECT_EQ(record->UploadSize, 0u);
    EXPECT_EQ(record->SentBytes, 0u);
    EXPECT_TRUE(record->Reply().isNull());
    EXPECT_FALSE(record->hasPicture());
    EXPECT_EQ(record->thumbnail(), nullptr);
    EXPECT_TRUE(std::regex_match(record->id(), std::regex("[0-9a-f]{32}")));
    EXPECT_NE(ImageData::Create(L"C:\\pics\\Holiday.JPG")->id(), record->id());

    auto plain = ImageData::Create(L"C:\\a.b\\README");
    EXPECT_EQ(plain->extension(), L"");
    EXPECT_EQ(plain->format(), L"");
    EXPECT_EQ(ImageData::Create(L"x\\y.tar.GZ")->format(), L"gz");
}

TEST(ImageDataNames, UploadNamesFollowTheSettings)
{
    auto record = ImageData::Create(L"C:\\pics\\Holiday.JPG");
    EncodedImage abc;
    abc.bytes = std::make_shared<std::vector<uint8_t>>(std::vector<uint8_t>{'a', 'b', 'c'});
    EXPECT_EQ(record->UploadFileName(abc, "ori", true), "Holiday%2EJPG");
    EXPECT_EQ(record->UploadFileName(abc, "ori", false), "Holiday.JPG");
    EXPECT_EQ(record->UploadFileName(abc, "crc", false), "c2412435.JPG");
    EXPECT_EQ(record->UploadFileName(abc, "crc", true), "c2412435%2EJPG");
    EXPECT_TRUE(std::regex_match(record->UploadFileName(abc, "md5", false), std::regex("[0-9a-f]{32}\\.JPG")));
    EXPECT_EQ(record->UploadFileName(abc, "md5", false), "900150983cd24fb0d6963f7d28e17f72.JPG");
    const std::string guid = record->UploadFileName(abc, "guid", false);
    EXPECT_TRUE(std::regex_match(guid, std::regex("[0-9a-f]{32}\\.JPG"))) << guid;
    EXPECT_NE(record->UploadFileName(abc, "guid", false), guid);
    EXPECT_EQ(record->UploadFileName(abc, "GUID", false), "Holiday.JPG");

    record->setRemark(L"My holiday 2024.jpg");
    EXPECT_EQ(record->EncodedRemark(true), "My+holiday+2024%2Ejpg");
    EXPECT_EQ(record->EncodedRemark(false), "My holiday 2024.jpg");
}

TEST(ImageDataPicture, ThumbnailsFitTheBoxForJpegAndOtherFormats)
{
    TempFolder folder;
    const struct {
        uint32_t w, h;
        UINT tw, th;
    } cases[] = {{100, 80, 100, 80}, {120, 120, 120, 120}, {640, 480, 120, 90}, {480, 640, 90, 120}};
    for (const auto& c : cases)
        for (const wchar_t* format : {L"jpg", L"png", L"bmp"}) {
            const std::wstring path = folder.file(std::to_wstring(c.w) + L"x" + std::to_wstring(c.h) + L"." + format);
            ASSERT_TRUE(WritePicture(path, Plain(c.w, c.h), format));
            auto record = ImageData::Create(path);
            ASSERT_TRUE(record->hasPicture()) << c.w << " " << format;
            EXPECT_EQ(record->width(), c.w);
            EXPECT_EQ(record->height(), c.h);
            EXPECT_EQ(SizeOf(record->thumbnail()), std::make_pair(c.tw, c.th)) << c.w << "x" << c.h << " " << format;
            EXPECT_EQ(record->fileSize(), testpics::ReadBytes(path).size());
        }

    const std::wstring big = folder.file(L"big.jpg");
    ASSERT_TRUE(WritePicture(big, Plain(4000, 3000), L"jpg"));
    auto record = ImageData::Create(big);
    EXPECT_EQ(SizeOf(record->thumbnail()), std::make_pair(119u, 89u));
}

TEST(ImageDataPicture, JpegThumbnailsAverageFineDetailInsteadOfAliasing)
{
    TempFolder folder;
    // A one-pixel checkerboard: a point-sampling thumbnail shows stripes or moire, an area
    // average shows even grey.
    const CxImage board = Make24(1600, 1200, [](uint32_t x, uint32_t y) { return (x + y) % 2 ? RGBQUAD{255, 255, 255, 255} : RGBQUAD{0, 0, 0, 255}; });
    const std::wstring path = folder.file(L"board.jpg");
    ASSERT_TRUE(WritePicture(path, board, L"jpg"));
    auto record = ImageData::Create(path);
    ASSERT_TRUE(record->hasPicture());
    auto pixels = PixelsOf(*record->thumbnail());
    ASSERT_TRUE(pixels);
    EXPECT_EQ(pixels->GetWidth(), 120u);
    double sum = 0, sumSquares = 0;
    const uint32_t n = pixels->GetWidth() * pixels->GetHeight();
    for (uint32_t y = 0; y < pixels->GetHeight(); ++y)
        for (uint32_t x = 0; x < pixels->GetWidth(); ++x) {
            const double v = pixels->GetPixelColor(x, y).rgbGreen;
            sum += v;
            sumSquares += v * v;
        }
    const double mean = sum / n;
    const double deviation = std::sqrt(sumSquares / n - mean * mean);
    EXPECT_NEAR(mean, 128, 12);
    EXPECT_LT(deviation, 6);
}

TEST(ImageDataPicture, TurnsAreACountAppliedWhenThePictureIsDecoded)
{
    TempFolder folder;
    const CxImage image = Make24(64, 48, Pattern);
    const std::wstring path = folder.file(L"turn.png");
    ASSERT_TRUE(WritePicture(path, image, L"png"));
    const auto before = testpics::ReadBytes(path);
    auto record = ImageData::Create(path);

    ASSERT_TRUE(record->RotateRight(148, 120));
    EXPECT_EQ(record->quarterTurns(), 1);
    EXPECT_EQ(record->width(), 48u);
    EXPECT_EQ(record->height(), 64u);
    EXPECT_EQ(SizeOf(record->thumbnail()), std::make_pair(48u, 64u));
    auto picture = record->Picture();
    ASSERT_TRUE(picture);
    auto turned = CxImageFromBitmap(*picture);
    ASSERT_EQ(turned->GetWidth(), 48u);
    for (uint32_t y = 0; y < 64; ++y)
        for (uint32_t x = 0; x < 48; ++x) {
            const RGBQUAD a = testpics::TopDown(*turned, x, y);
            const RGBQUAD b = testpics::TopDown(image, y, 47 - x);  // clockwise
            ASSERT_TRUE(a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue) << x << "," << y;
        }
    picture.reset();

    ASSERT_TRUE(record->RotateLeft(148, 120));
    ASSERT_TRUE(record->RotateLeft(148, 120));
    EXPECT_EQ(record->quarterTurns(), 3);
    auto back = CxImageFromBitmap(*record->Picture());
    EXPECT_EQ(testpics::TopDown(*back, 0, 0).rgbRed, testpics::TopDown(image, 63, 0).rgbRed);
    EXPECT_EQ(testpics::TopDown(*back, 0, 0).rgbGreen, testpics::TopDown(image, 63, 0).rgbGreen);
    // The file on disk is never touched.
    EXPECT_EQ(testpics::ReadBytes(path), before);
}

TEST(ImageDataPicture, TurnedThumbnailsFitTheListFrame)
{
    TempFolder folder;
    for (const wchar_t* format : {L"jpg", L"png"}) {
        const std::wstring wide = folder.file(std::wstring(L"wide.") + format);
        const std::wstring tall = folder.file(std::wstring(L"tall.") + format);
        ASSERT_TRUE(WritePicture(wide, Plain(640, 480), format));
        ASSERT_TRUE(WritePicture(tall, Plain(480, 640), format));
        auto a = ImageData::Create(wide);
        ASSERT_TRUE(a->RotateLeft(148, 120));
        EXPECT_EQ(SizeOf(a->thumbnail()), std::make_pair(90u, 120u)) << format;
        auto b = ImageData::Create(tall);
        ASSERT_TRUE(b->RotateLeft(148, 120));
        EXPECT_EQ(SizeOf(b->thumbnail()), std::make_pair(148u, 111u)) << format;
    }
    auto none = ImageData::Create(folder.file(L"missing.jpg"));
    EXPECT_FALSE(none->RotateLeft(148, 120));
    EXPECT_EQ(none->quarterTurns(), 0);
}

TEST(ImageDataPicture, AnEditIsKeptLosslesslyAndRemovedWithTheRecord)
{
    TempFolder folder;
    const std::wstring path = folder.file(L"photo.jpg");
    ASSERT_TRUE(WritePicture(path, Plain(300, 200), L"jpg"));
    auto record = ImageData::Create(path);
    ASSERT_TRUE(record->RotateRight(148, 120));

    const CxImage edited = Make24(90, 70, Pattern);
    auto bitmap = BitmapFromCxImage(edited);
    EXPECT_FALSE(record->SetEditedImage(nullptr, 148, 120));
    ASSERT_TRUE(record->SetEditedImage(bitmap.get(), 148, 120));
    EXPECT_TRUE(record->isEdited());
    EXPECT_EQ(record->quarterTurns(), 0);
    EXPECT_EQ(record->width(), 90u);
    EXPECT_EQ(record->height(), 70u);
    EXPECT_EQ(SizeOf(record->thumbnail()), std::make_pair(90u, 70u));
    auto picture = CxImageFromBitmap(*record->Picture());
    ASSERT_TRUE(picture);
    picture->AlphaDelete();
    CxImage expected = edited;
    EXPECT_TRUE(testpics::SamePixels(*picture, expected));

    // The edit lives in one file of the edits folder, which goes with the record.
    WIN32_FIND_DATAW found{};
    const std::wstring pattern = ImageData::EditsFolder() + L"\\" +
                                 std::wstring(record->id().begin(), record->id().end()) + L"-*";
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    const std::wstring editFile = ImageData::EditsFolder() + L"\\" + found.cFileName;
    // Turning an edited picture turns the edit.
    ASSERT_TRUE(record->RotateLeft(148, 120));
    EXPECT_EQ(record->Picture()->GetWidth(), 70u);
    // A second edit replaces the first file.
    ASSERT_TRUE(record->SetEditedImage(bitmap.get(), 148, 120));
    EXPECT_FALSE(testpics::FileExists(editFile));
    search = FindFirstFileW(pattern.c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    const std::wstring secondFile = ImageData::EditsFolder() + L"\\" + found.cFileName;
    EXPECT_TRUE(testpics::FileExists(secondFile));
    record.reset();
    EXPECT_FALSE(testpics::FileExists(secondFile));
}

TEST(ImageDataUpload, EncodesInTheRecordsFormat)
{
    TempFolder folder;
    const CxImage image = Make24(40, 30, Pattern);
    const struct {
        const wchar_t* name;
        const wchar_t* writeAs;
        const char* signature;
    } cases[] = {{L"a.png", L"png", "\x89PNG"}, {L"b.PNG", L"png", "\x89PNG"}, {L"photo.jpeg", L"jpg", "\xFF\xD8\xFF"},
                 {L"c.JPG", L"jpg", "\xFF\xD8\xFF"}, {L"scan.tif", L"tiff", "II*"},
                 {L"scan.tiff", L"tiff", "II*"}, {L"d.bmp", L"bmp", "BM"}, {L"e.gif", L"gif", "GIF8"}};
    for (const auto& c : cases) {
        const std::wstring path = folder.file(c.name);
        ASSERT_TRUE(WritePicture(path, image, c.writeAs));
        auto record = ImageData::Create(path);
        ASSERT_TRUE(record->hasPicture());
        record->SentBytes = 99;
        const ImageData::UploadPicture upload = record->PrepareUpload();
        ASSERT_FALSE(upload.encoded.empty()) << c.name;
        EXPECT_EQ(std::memcmp(upload.encoded.data(), c.signature, std::strlen(c.signature)), 0) << c.name;
        EXPECT_EQ(record->UploadSize, upload.encoded.size());
        EXPECT_EQ(record->SentBytes, 0u);
        EXPECT_EQ(upload.width, 40u);
        EXPECT_EQ(upload.height, 30u);
    }

    // A turned picture is sent turned.
    const std::wstring path = folder.file(L"turned.png");
    ASSERT_TRUE(WritePicture(path, image, L"png"));
    auto record = ImageData::Create(path);
    record->RotateLeft(148, 120);
    const ImageData::UploadPicture upload = record->PrepareUpload();
    EXPECT_EQ(upload.width, 30u);
    EXPECT_EQ(upload.height, 40u);
}

TEST(ImageDataUpload, AFileThatDoesNotDecodeSendsNothing)
{
    TempFolder folder;
    const std::wstring path = folder.file(L"notes.jpg");
    ASSERT_TRUE(testpics::WriteBytes(path, std::vector<uint8_t>(500, 'x')));
    auto record = ImageData::Create(path);
    EXPECT_EQ(record->fileSize(), 500u);
    EXPECT_FALSE(record->hasPicture());
    EXPECT_EQ(record->thumbnail(), nullptr);
    EXPECT_EQ(record->Picture(), nullptr);
    record->UploadSize = 7;
    const ImageData::UploadPicture upload = record->PrepareUpload();
    EXPECT_TRUE(upload.encoded.empty());
    EXPECT_EQ(upload.width, 0u);
    EXPECT_EQ(upload.height, 0u);
    EXPECT_EQ(record->UploadSize, 0u);
}

namespace {

void PatchCrc(std::vector<uint8_t>& png, size_t chunkStart, size_t dataLength)
{
    const uint32_t crc = crc32(0, png.data() + chunkStart + 4, static_cast<uInt>(4 + dataLength));
    const size_t at = chunkStart + 8 + dataLength;
    png[at] = static_cast<uint8_t>(crc >> 24);
    png[at + 1] = static_cast<uint8_t>(crc >> 16);
    png[at + 2] = static_cast<uint8_t>(crc >> 8);
    png[at + 3] = static_cast<uint8_t>(crc);
}

}  // namespace

TEST(ImageDataDamage, TruncatedAndCorruptFilesGiveACleanOutcome)
{
    TempFolder folder;
    const CxImage image = Make24(200, 150, Pattern);
    for (const wchar_t* format : {L"jpg", L"png", L"gif", L"bmp", L"tiff"}) {
        const std::wstring good = folder.file(std::wstring(L"good.") + format);
        ASSERT_TRUE(WritePicture(good, image, format));
        const std::vector<uint8_t> bytes = testpics::ReadBytes(good);
        ASSERT_GT(bytes.size(), 100u);

        std::vector<std::vector<uint8_t>> damaged;
        for (size_t cut : {size_t(0), size_t(1), size_t(10), size_t(30), bytes.size() / 3, bytes.size() / 2,
                           bytes.size() - 5})
            damaged.emplace_back(bytes.begin(), bytes.begin() + cut);
        auto noisy = bytes;
        for (size_t i = 40; i < noisy.size(); i += 11)
            noisy[i] = static_cast<uint8_t>(noisy[i] * 31 + 7);
        damaged.push_back(noisy);
        auto zeroed = bytes;
        std::fill(zeroed.begin() + 8, zeroed.end(), 0);
        damaged.push_back(zeroed);

        for (size_t k = 0; k < damaged.size(); ++k) {
            const std::wstring path = folder.file(L"bad" + std::to_wstring(k) + L"." + format);
            ASSERT_TRUE(testpics::WriteBytes(path, damaged[k]));
            auto record = ImageData::Create(path);
            ASSERT_TRUE(record) << k;
            // Whatever a damaged file gives, the record agrees with itself: a thumbnail only
            // with a picture, and an upload of bytes only when the picture decodes.
            EXPECT_EQ(record->hasPicture(), record->thumbnail() != nullptr);
            const ImageData::UploadPicture upload = record->PrepareUpload();
            if (!record->hasPicture()) {
                EXPECT_TRUE(upload.encoded.empty());
                EXPECT_EQ(upload.width, 0u);
            }
            if (k < 4) {  // nothing of the picture left
                EXPECT_FALSE(record->hasPicture()) << format << " cut " << k;
                EXPECT_TRUE(upload.encoded.empty());
            }
            record->RotateRight(148, 120);
            record.reset();
        }
    }
}

TEST(ImageDataDamage, PicturesAboveTheCeilingAreRefusedBeforeDecoding)
{
    TempFolder folder;
    // A PNG header that claims 30000 x 30000 pixels.
    auto png = testpics::WritePng(2, 2, testpics::PngKind::Rgb, Pattern);
    const uint8_t size[8] = {0, 0, 0x75, 0x30, 0, 0, 0x75, 0x30};
    std::copy(size, size + 8, png.begin() + 16);
    PatchCrc(png, 8, 13);
    ASSERT_TRUE(testpics::WriteBytes(folder.file(L"huge.png"), png));
    // A BMP header that claims 20000 x 20000.
    std::vector<uint8_t> bmp = testpics::ReadBytes([&] {
        const std::wstring p = folder.file(L"small.bmp");
        WritePicture(p, Plain(4, 4), L"bmp");
        return p;
    }());
    ASSERT_GT(bmp.size(), 26u);
    const uint32_t side = 20000;
    std::memcpy(bmp.data() + 18, &side, 4);
    std::memcpy(bmp.data() + 22, &side, 4);
    ASSERT_TRUE(testpics::WriteBytes(folder.file(L"huge.bmp"), bmp));
    // A GIF screen of 65535 x 65535.
    std::vector<uint8_t> gif = testpics::ReadBytes([&] {
        const std::wstring p = folder.file(L"small.gif");
        WritePicture(p, Plain(4, 4), L"gif");
        return p;
    }());
    gif[6] = gif[7] = gif[8] = gif[9] = 0xFF;
    ASSERT_TRUE(testpics::WriteBytes(folder.file(L"huge.gif"), gif));

    for (const wchar_t* name : {L"huge.png", L"huge.bmp", L"huge.gif"}) {
        auto record = ImageData::Create(folder.file(name));
        EXPECT_FALSE(record->hasPicture()) << name;
        EXPECT_EQ(record->Picture(), nullptr);
        EXPECT_TRUE(record->PrepareUpload().encoded.empty());
    }
}

TEST(ImageDataUpload, AnEditedPhotoCarriesItsOwnMetadataAsAsked)
{
    TempFolder folder;
    const std::wstring plain = folder.file(L"plain.jpg");
    ASSERT_TRUE(WritePicture(plain, Plain(300, 200), L"jpg"));
    testpics::ExifFields fields;
    fields.orientation = 6;
    fields.dateTimeOriginal = "2025:08:09 10:11:12";
    const std::wstring path = folder.file(L"photo.jpg");
    ASSERT_TRUE(testpics::WriteBytes(path, testpics::WithExif(testpics::ReadBytes(plain), testpics::ExifTiff(fields))));
    auto record = ImageData::Create(path);
    auto bitmap = BitmapFromCxImage(Make24(90, 70, Pattern));
    ASSERT_TRUE(record->SetEditedImage(bitmap.get(), 148, 120));

    // The edit is sent as a JPEG of its own size with the photo's date, upright.
    PrepareOptions options;
    options.metadata = MetadataKept::Safe;
    ImageData::UploadPicture upload = record->PrepareUpload(options);
    ASSERT_FALSE(upload.encoded.empty());
    EXPECT_EQ(upload.width, 90u);
    Exif::Info info = Exif::Read(upload.encoded.data(), upload.encoded.size());
    EXPECT_EQ(info.dateTimeOriginal, "2025:08:09 10:11:12");
    EXPECT_EQ(info.orientation, 1);
    // Without a choice, nothing.
    upload = record->PrepareUpload(PrepareOptions{});
    ASSERT_FALSE(upload.encoded.empty());
    EXPECT_TRUE(Exif::Read(upload.encoded.data(), upload.encoded.size()).dateTimeOriginal.empty());
}
