// WebP, HEIC and AVIF files made by Debian's own encoders (make_codec_fixtures.py): sized
// before decoding, shown upright, thumbnails, prepared for upload as JPEG or as their own
// bytes, and damaged files refused without a crash.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <cstdlib>
#include <string>
#include <vector>

#include "Biz/ImageData.h"
#include "image/GdiplusBridge.h"
#include "image/JpegDecoder.h"
#include "image/PictureExtent.h"
#include "image/PictureLoader.h"
#include "image/PixelOps.h"
#include "image/PictureCodecs.h"
#include "image/PreparePicture.h"
#include "picture_files.h"

using namespace Vantor;

namespace {

std::wstring Fixture(const wchar_t* name)
{
    const char* folder = std::getenv("FOTOLOFT_CODEC_FIXTURES");
    std::wstring path = folder ? std::wstring(folder, folder + std::strlen(folder)) : L".";
    return path + L"\\" + name;
}

// Red, green, blue rows of a platform bitmap.
Pixels RgbOf(Gdiplus::Bitmap& bitmap)
{
    Pixels bgra;
    Pixels rgb;
    if (!PremultipliedPixelsOf(bitmap, bgra))
        return rgb;
    rgb.width = bgra.width;
    rgb.height = bgra.height;
    rgb.channels = 3;
    for (size_t i = 0; i + 3 < bgra.data.size(); i += 4)
        rgb.data.insert(rgb.data.end(), {bgra.data[i + 2], bgra.data[i + 1], bgra.data[i]});
    return rgb;
}

double Psnr(const Pixels& a, const Pixels& b)
{
    if (a.width != b.width || a.height != b.height || a.data.size() != b.data.size() || a.data.empty())
        return 0;
    double sum = 0;
    for (size_t i = 0; i < a.data.size(); ++i) {
        const double d = double(a.data[i]) - b.data[i];
        sum += d * d;
    }
    const double mse = sum / a.data.size();
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

Pixels Source()
{
    auto bitmap = LoadPicture(Fixture(L"source.png"), 0);
    return bitmap ? RgbOf(*bitmap) : Pixels{};
}

const wchar_t* const kPhotos[] = {L"photo.webp", L"photo.heic", L"photo.avif", L"thumbnail.heic", L"rotated.heic"};
const wchar_t* const kDamaged[] = {L"cut-photo.webp", L"cut-photo.heic", L"cut-photo.avif",
                                   L"huge.heic",      L"bad-sequence.avif", L"bad-chunk.webp"};

}  // namespace

TEST(CodecPictures, EachFormatIsSizedBeforeDecodingAndRefusedAboveTheCeiling)
{
    for (const wchar_t* name : kPhotos) {
        const std::vector<uint8_t> bytes = testpics::ReadBytes(Fixture(name));
        PictureExtent extent;
        ASSERT_EQ(ReadPictureExtent(bytes.data(), bytes.size(), extent), ExtentCheck::Known) << name;
        // The rotated file's items are stored 120 x 160: the extent covers what is stored.
        EXPECT_EQ(std::max(extent.width, extent.height), 160u) << name;
        EXPECT_GE(std::min(extent.width, extent.height), 120u) << name;
    }
    std::vector<uint8_t> huge = testpics::ReadBytes(Fixture(L"huge.heic"));
    PictureExtent extent;
    ASSERT_EQ(ReadPictureExtent(huge.data(), huge.size(), extent), ExtentCheck::Known);
    EXPECT_EQ(extent.width, 60000u);
    EXPECT_TRUE(ExceedsPictureCeiling(extent.width, extent.height));
    const std::vector<uint8_t> chunk = testpics::ReadBytes(Fixture(L"bad-chunk.webp"));
    EXPECT_EQ(ReadPictureExtent(chunk.data(), chunk.size(), extent), ExtentCheck::Damaged);
    // Cut anywhere inside its boxes, a HEIF file is damaged or sized, never read past its end.
    for (size_t cut = 0; cut < huge.size(); cut += 7) {
        std::vector<uint8_t> part(huge.begin(), huge.begin() + static_cast<ptrdiff_t>(cut));
        ReadPictureExtent(part.data(), part.size(), extent);
    }
}

TEST(CodecPictures, EachFormatDecodesUprightAndCloseToItsSource)
{
    const Pixels source = Source();
    ASSERT_EQ(source.width, 160u);
    for (const wchar_t* name : kPhotos) {
        auto picture = LoadPicture(Fixture(name), 0);
        ASSERT_TRUE(picture) << name;
        // The rotated file is stored turned a quarter and shows upright, turned once only.
        EXPECT_GE(Psnr(RgbOf(*picture), source), 30.0) << name;
    }
    auto turned = LoadPicture(Fixture(L"rotated.heic"), 1);
    ASSERT_TRUE(turned);
    EXPECT_EQ(turned->GetWidth(), 120u);
    EXPECT_EQ(turned->GetHeight(), 160u);
    // Transparency survives the WebP decode: the left edge is clear, the right opaque.
    auto alpha = LoadPicture(Fixture(L"alpha.webp"), 0);
    ASSERT_TRUE(alpha);
    Gdiplus::Color left, right;
    alpha->GetPixel(0, 60, &left);
    alpha->GetPixel(159, 60, &right);
    EXPECT_LT(left.GetA(), 10);
    EXPECT_GT(right.GetA(), 245);
}

TEST(CodecPictures, ThumbnailsFitTheBoxFromTheThumbnailItemOrTheDecode)
{
    for (const wchar_t* name : kPhotos) {
        const PictureSummary summary = LoadThumbnail(Fixture(name), 0, 120, 120);
        ASSERT_TRUE(summary.decoded) << name;
        EXPECT_EQ(summary.width, 160u) << name;
        EXPECT_EQ(summary.height, 120u) << name;
        ASSERT_TRUE(summary.thumbnail);
        EXPECT_EQ(summary.thumbnail->GetWidth(), 120u) << name;
        EXPECT_EQ(summary.thumbnail->GetHeight(), 90u) << name;
    }
    const PictureSummary turned = LoadThumbnail(Fixture(L"thumbnail.heic"), 3, 120, 120);
    ASSERT_TRUE(turned.decoded);
    EXPECT_EQ(turned.width, 120u);
    EXPECT_EQ(turned.thumbnail->GetHeight(), 120u);
}

TEST(CodecPictures, ALargeWebpThumbnailIsDecodedSmallAndLooksLikeTheWholePictureShrunk)
{
    for (const wchar_t* name : {L"large.webp", L"large-alpha.webp"}) {
        const std::vector<uint8_t> bytes = testpics::ReadBytes(Fixture(name));
        Pixels small;
        uint32_t width = 0, height = 0;
        ASSERT_TRUE(Codecs::DecodeThumbnail(Codecs::Codec::Webp, bytes.data(), bytes.size(), 120, small, width, height))
            << name;
        EXPECT_EQ(width, 1200u);
        EXPECT_EQ(height, 900u);
        EXPECT_EQ(small.width, 240u);
        EXPECT_EQ(small.height, 180u);
        // The same picture as the whole decode shrunk by our own filter.
        Pixels whole, shrunk;
        ASSERT_EQ(Codecs::Decode(Codecs::Codec::Webp, bytes.data(), bytes.size(), whole), Codecs::Outcome::Decoded);
        ASSERT_EQ(whole.channels, small.channels);
        ASSERT_TRUE(ResizePixels(whole, 240, 180, shrunk));
        EXPECT_GE(Psnr(small, shrunk), 30.0) << name;

        const PictureSummary summary = LoadThumbnail(Fixture(name), 1, 120, 120);
        ASSERT_TRUE(summary.decoded);
        EXPECT_EQ(summary.width, 900u);  // turned a quarter by the user
        EXPECT_EQ(summary.thumbnail->GetWidth(), 90u);
        EXPECT_EQ(summary.thumbnail->GetHeight(), 120u);
    }
    // No smaller than the picture: the whole picture is decoded instead.
    const std::vector<uint8_t> photo = testpics::ReadBytes(Fixture(L"photo.webp"));
    Pixels small;
    uint32_t width = 0, height = 0;
    EXPECT_FALSE(Codecs::DecodeThumbnail(Codecs::Codec::Webp, photo.data(), photo.size(), 120, small, width, height));
}

TEST(CodecPictures, UploadsGoAsJpegOfTheFullSizeOrAsTheirOwnBytes)
{
    const Pixels source = Source();
    for (const wchar_t* name : {L"photo.webp", L"photo.heic", L"photo.avif", L"rotated.heic"}) {
        const std::shared_ptr<ImageData> record = ImageData::Create(Fixture(name));
        ASSERT_TRUE(record);
        PrepareOptions options;
        options.jpegQuality = 95;
        const ImageData::UploadPicture sent = record->PrepareUpload(options);
        ASSERT_FALSE(sent.encoded.empty()) << name;
        EXPECT_FALSE(sent.original);
        EXPECT_EQ(sent.width, 160u);
        EXPECT_EQ(sent.height, 120u);
        EXPECT_EQ(record->uploadExtension(sent.original), L".jpg");
        Pixels decoded;
        ASSERT_TRUE(Jpeg::DecodeScaled(sent.encoded.data(), sent.encoded.size(), 160, 120, decoded)) << name;
        EXPECT_GE(Psnr(decoded, source), 30.0) << name;

        options.sendOriginal = true;
        const ImageData::UploadPicture own = record->PrepareUpload(options);
        EXPECT_TRUE(own.original) << name;
        EXPECT_EQ(*own.encoded.bytes, testpics::ReadBytes(Fixture(name)));
        EXPECT_EQ(record->uploadName(own.original), record->name());
        EXPECT_EQ(own.width, 160u);
    }
    // Turned by the user, an original is encoded again, turned.
    const std::shared_ptr<ImageData> record = ImageData::Create(Fixture(L"photo.heic"));
    ASSERT_TRUE(record->RotateRight(120, 120));
    PrepareOptions originals;
    originals.sendOriginal = true;
    const ImageData::UploadPicture sent = record->PrepareUpload(originals);
    EXPECT_FALSE(sent.original);
    EXPECT_EQ(sent.width, 120u);
    EXPECT_EQ(sent.height, 160u);
    // Shrunk to the page's limits.
    PrepareOptions limited;
    limited.maxWidth = 80;
    const ImageData::UploadPicture small = ImageData::Create(Fixture(L"photo.webp"))->PrepareUpload(limited);
    EXPECT_EQ(small.width, 80u);
    EXPECT_EQ(small.height, 60u);
}

TEST(CodecPictures, DamagedFilesFailClearlyAndSendNothing)
{
    for (const wchar_t* name : kDamaged) {
        const PictureSummary summary = LoadThumbnail(Fixture(name), 0, 120, 120);
        EXPECT_FALSE(summary.decoded) << name;
        EXPECT_FALSE(summary.retry) << name;
        EXPECT_FALSE(LoadPicture(Fixture(name), 0)) << name;
        PictureSource source;
        source.path = Fixture(name);
        source.format = L"heic";
        EXPECT_TRUE(PreparePicture(source, PrepareOptions{}).encoded.empty()) << name;
        PrepareOptions originals;
        originals.sendOriginal = true;
        EXPECT_TRUE(PreparePicture(source, originals).encoded.empty()) << name;  // not even as its own bytes
        source.format = L"jpg";
        EXPECT_TRUE(PreparePicture(source, originals).encoded.empty()) << name;
    }
}

TEST(CodecPictures, MutatedFilesOfEachFormatNeverCrashOrHang)
{
    testpics::TempFolder folder;
    std::mt19937 rng(23);
    // Each damaged file goes through all that reads a picture: the list's thumbnail, the
    // preview's whole picture and the upload (as JPEG with its metadata, and as its own bytes).
    PrepareOptions withMetadata;
    withMetadata.metadata = MetadataKept::All;
    PrepareOptions originals;
    originals.sendOriginal = true;
    for (const wchar_t* name :
         {L"photo.webp", L"large.webp", L"photo.heic", L"photo.avif", L"thumbnail.heic", L"rotated.heic"}) {
        const std::vector<uint8_t> good = testpics::ReadBytes(Fixture(name));
        ASSERT_FALSE(good.empty());
        for (int round = 0; round < 100; ++round) {
            std::vector<uint8_t> bad = good;
            const int flips = 1 + static_cast<int>(rng() % 8);
            for (int k = 0; k < flips; ++k)
                bad[rng() % bad.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
            if (round % 10 == 9)
                bad.resize(rng() % bad.size());
            const std::wstring path = folder.file(std::wstring(L"m") + name);
            ASSERT_TRUE(testpics::WriteBytes(path, bad));
            const PictureSummary summary = LoadThumbnail(path, 0, 120, 120);
            if (summary.decoded) {
                EXPECT_FALSE(ExceedsPictureCeiling(summary.width, summary.height));
                ASSERT_TRUE(summary.thumbnail);
            }
            if (round % 4 != 0)
                continue;
            auto picture = LoadPicture(path, 0);
            if (picture) {
                EXPECT_FALSE(ExceedsPictureCeiling(picture->GetWidth(), picture->GetHeight()));
            }
            PictureSource source;
            source.path = path;
            source.format = L"heic";
            const PreparedPicture sent = PreparePicture(source, withMetadata);
            if (!sent.encoded.empty()) {
                // Whatever came out is a whole JPEG of the size it names.
                Pixels decoded;
                EXPECT_TRUE(Jpeg::DecodeScaled(sent.encoded.data(), sent.encoded.size(), sent.width, sent.height, decoded));
                EXPECT_EQ(decoded.width, sent.width);
            }
            const PreparedPicture own = PreparePicture(source, originals);
            if (!own.encoded.empty()) {
                EXPECT_EQ(*own.encoded.bytes, bad);
            }
        }
    }
}

TEST(CodecPictures, FilesCutAnywhereGiveARecordThatAgreesWithItself)
{
    testpics::TempFolder folder;
    for (const wchar_t* name : {L"photo.webp", L"large.webp", L"photo.heic", L"photo.avif", L"thumbnail.heic"}) {
        const std::vector<uint8_t> good = testpics::ReadBytes(Fixture(name));
        ASSERT_GT(good.size(), 200u);
        for (size_t cut : {size_t(0), size_t(8), size_t(16), size_t(40), size_t(120), good.size() / 4,
                           good.size() / 2, good.size() * 3 / 4, good.size() - 20, good.size() - 1}) {
            const std::wstring path = folder.file(std::to_wstring(cut) + name);
            ASSERT_TRUE(testpics::WriteBytes(path, std::vector<uint8_t>(good.begin(), good.begin() + static_cast<ptrdiff_t>(cut))));
            auto record = ImageData::Create(path);
            ASSERT_TRUE(record) << cut;
            // A thumbnail only with a picture, and bytes sent only for a picture.
            EXPECT_EQ(record->hasPicture(), record->thumbnail() != nullptr) << cut;
            const ImageData::UploadPicture upload = record->PrepareUpload();
            if (!record->hasPicture()) {
                EXPECT_TRUE(upload.encoded.empty()) << cut;
            }
            // A box or chunk cut short is damage: nothing of it is shown or sent.
            EXPECT_FALSE(record->hasPicture()) << name << " cut at " << cut;
            EXPECT_TRUE(upload.encoded.empty());
        }
    }
}
