// The size a file can decode to, read before any decoder sees it: repeated TIFF tags, the
// images inside icons, GIF frames larger than their screen, and formats nobody sizes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/PictureExtent.h"
#include "image/PictureLoader.h"
#include "picture_files.h"
#include "test_pictures.h"

using namespace Vantor;

namespace {

void Put16(std::vector<uint8_t>& b, uint32_t v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& b, uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

struct TiffEntry {
    uint16_t tag, type;
    uint32_t value;
};

// A little-endian TIFF of one 8-bit grey strip, PackBits-compressed, whose directory holds
// the entries given (the strip's offset and byte count are filled in).
std::vector<uint8_t> Tiff(std::vector<TiffEntry> entries, uint32_t rows, uint32_t columns)
{
    std::vector<uint8_t> strip;
    for (uint32_t y = 0; y < rows; ++y) {
        for (uint32_t left = columns; left > 0;) {
            const uint32_t run = std::min<uint32_t>(left, 128);
            strip.push_back(static_cast<uint8_t>(257 - run));  // repeat the next byte `run` times
            strip.push_back(0);
            left -= run;
        }
    }
    entries.push_back({258, 3, 8});
    entries.push_back({259, 3, 32773});
    entries.push_back({262, 3, 1});
    entries.push_back({273, 4, 0});
    entries.push_back({277, 3, 1});
    entries.push_back({278, 4, rows});
    entries.push_back({279, 4, static_cast<uint32_t>(strip.size())});
    const uint32_t stripOffset = 8 + 2 + 12 * static_cast<uint32_t>(entries.size()) + 4;
    std::vector<uint8_t> b = {'I', 'I', 42, 0};
    Put32(b, 8);
    Put16(b, static_cast<uint32_t>(entries.size()));
    for (const TiffEntry& e : entries) {
        Put16(b, e.tag);
        Put16(b, e.type);
        Put32(b, 1);
        const uint32_t value = e.tag == 273 ? stripOffset : e.value;
        if (e.type == 3) {
            Put16(b, value);
            Put16(b, 0);
        } else {
            Put32(b, value);
        }
    }
    Put32(b, 0);
    b.insert(b.end(), strip.begin(), strip.end());
    return b;
}

ExtentCheck Extent(const std::vector<uint8_t>& bytes, PictureExtent& extent)
{
    return ReadPictureExtent(bytes.data(), bytes.size(), extent);
}

// An icon directory of one entry that says 16 x 16, holding the image given.
std::vector<uint8_t> Icon(const std::vector<uint8_t>& image)
{
    std::vector<uint8_t> b;
    Put16(b, 0);
    Put16(b, 1);
    Put16(b, 1);
    b.push_back(16);
    b.push_back(16);
    b.push_back(0);
    b.push_back(0);
    Put16(b, 1);
    Put16(b, 32);
    Put32(b, static_cast<uint32_t>(image.size()));
    Put32(b, 22);
    b.insert(b.end(), image.begin(), image.end());
    return b;
}

std::vector<uint8_t> DibHeader(int32_t width, int32_t height)
{
    std::vector<uint8_t> b;
    Put32(b, 40);
    Put32(b, static_cast<uint32_t>(width));
    Put32(b, static_cast<uint32_t>(height));
    Put16(b, 1);
    Put16(b, 32);
    b.resize(40 + 16 * 16 * 4 + 16 * 4, 0);
    return b;
}

}  // namespace

TEST(PictureExtent, RepeatedTiffSizeTagsCountWithTheirLargestCopy)
{
    // Width and height each twice: 10000 first, then 1. A check that keeps the last copy saw
    // 1 x 1 while the decoder kept the first.
    const std::vector<uint8_t> tiff =
        Tiff({{256, 4, 10000}, {256, 4, 1}, {257, 4, 10000}, {257, 3, 1}}, 10000, 10000);
    PictureExtent extent;
    ASSERT_EQ(Extent(tiff, extent), ExtentCheck::Known);
    EXPECT_EQ(extent.width, 10000u);
    EXPECT_EQ(extent.height, 10000u);
    EXPECT_TRUE(ExceedsPictureCeiling(extent.width, extent.height));

    // Written as a real file, the decoder is never given it.
    testpics::TempFolder folder;
    const std::wstring path = folder.file(L"twice.tif");
    ASSERT_TRUE(testpics::WriteBytes(path, tiff));
    EXPECT_EQ(LoadPicture(path, 0), nullptr);
    EXPECT_FALSE(LoadThumbnail(path, 0, 120, 120).decoded);

    // The same file with single tags of a size below the ceiling does decode: the refusal
    // above is the size, not the way the file is made.
    const std::wstring small = folder.file(L"once.tif");
    ASSERT_TRUE(testpics::WriteBytes(small, Tiff({{256, 4, 300}, {257, 4, 200}}, 200, 300)));
    const auto picture = LoadPicture(small, 0);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->GetWidth(), 300u);
    EXPECT_EQ(picture->GetHeight(), 200u);

    // A size tag of another type is no size.
    EXPECT_EQ(Extent(Tiff({{256, 5, 300}, {257, 4, 200}}, 1, 1), extent), ExtentCheck::Damaged);
}

TEST(PictureExtent, IconsAreSizedByTheImagesTheyHold)
{
    PictureExtent extent;
    ASSERT_EQ(Extent(Icon(DibHeader(16, 32)), extent), ExtentCheck::Known);
    EXPECT_EQ(extent.width, 16u);
    EXPECT_EQ(extent.height, 16u);  // an icon's bitmap stores twice its height

    // The directory says 16 x 16; the bitmap inside says 30000 x 30000.
    ASSERT_EQ(Extent(Icon(DibHeader(30000, 60000)), extent), ExtentCheck::Known);
    EXPECT_EQ(extent.width, 30000u);
    EXPECT_EQ(extent.height, 30000u);

    // A PNG inside, claiming 40000 x 20000.
    std::vector<uint8_t> png = testpics::WritePng(2, 2, testpics::PngKind::Rgb, testpics::Pattern);
    const uint8_t size[8] = {0, 0, 0x9C, 0x40, 0, 0, 0x4E, 0x20};
    std::copy(size, size + 8, png.begin() + 16);
    ASSERT_EQ(Extent(Icon(png), extent), ExtentCheck::Known);
    EXPECT_EQ(extent.width, 40000u);
    EXPECT_EQ(extent.height, 20000u);

    // An entry pointing outside the file.
    std::vector<uint8_t> cut = Icon(DibHeader(16, 32));
    cut.resize(30);
    EXPECT_EQ(Extent(cut, extent), ExtentCheck::Damaged);

    testpics::TempFolder folder;
    const std::wstring path = folder.file(L"big.ico");
    ASSERT_TRUE(testpics::WriteBytes(path, Icon(DibHeader(30000, 60000))));
    EXPECT_EQ(LoadPicture(path, 0), nullptr);
}

TEST(PictureExtent, GifFramesCountWhereTheyReachOnTheScreen)
{
    // A 4 x 4 screen with one frame at (10, 20) of 60000 x 5.
    std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a'};
    Put16(gif, 4);
    Put16(gif, 4);
    gif.insert(gif.end(), {0, 0, 0});
    gif.push_back(0x21);  // a graphic control extension first
    gif.insert(gif.end(), {0xF9, 4, 0, 0, 0, 0, 0});
    gif.push_back(0x2C);
    Put16(gif, 10);
    Put16(gif, 20);
    Put16(gif, 60000);
    Put16(gif, 5);
    gif.push_back(0);
    gif.insert(gif.end(), {2, 2, 0x4C, 0x01, 0, 0x3B});
    PictureExtent extent;
    ASSERT_EQ(Extent(gif, extent), ExtentCheck::Known);
    EXPECT_EQ(extent.width, 60010u);
    EXPECT_EQ(extent.height, 25u);
}

TEST(PictureExtent, FormatsNobodySizesAreNotDecoded)
{
    PictureExtent extent;
    // An enhanced metafile's header, a BigTIFF, and bytes of no format.
    std::vector<uint8_t> emf(120, 0);
    emf[0] = 1;
    emf[40] = ' ';
    emf[41] = 'E';
    emf[42] = 'M';
    emf[43] = 'F';
    EXPECT_EQ(Extent(emf, extent), ExtentCheck::Unknown);
    const std::vector<uint8_t> bigTiff = {'I', 'I', 43, 0, 8, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Extent(bigTiff, extent), ExtentCheck::Unknown);
    EXPECT_EQ(Extent(std::vector<uint8_t>(64, 0x5A), extent), ExtentCheck::Unknown);
    EXPECT_EQ(ReadPictureExtent(nullptr, 0, extent), ExtentCheck::Unknown);

    testpics::TempFolder folder;
    const std::wstring path = folder.file(L"meta.jpg");
    ASSERT_TRUE(testpics::WriteBytes(path, emf));
    EXPECT_EQ(LoadPicture(path, 0), nullptr);
}
