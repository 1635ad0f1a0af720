// The EXIF reader against blocks written byte by byte: both byte orders, every orientation,
// the date taken, and damaged or hostile blocks.
#include <gtest/gtest.h>

#include <random>

#include "exif_fixture.h"
#include "image/Exif.h"
#include "picture_files.h"
#include "test_pictures.h"

using namespace Vantor;
using testpics::ExifFields;
using testpics::ExifTiff;
using testpics::WithExif;

namespace {

// A small real JPEG to carry the blocks.
std::vector<uint8_t> PlainJpeg()
{
    testpics::TempFolder folder;
    const std::wstring path = folder.file(L"plain.jpg");
    EXPECT_TRUE(testpics::WritePicture(path, testpics::Make24(16, 8, testpics::Pattern), L"jpg"));
    return testpics::ReadBytes(path);
}

std::vector<uint8_t> Segment(uint8_t marker, const std::string& payload)
{
    const size_t length = payload.size() + 2;
    std::vector<uint8_t> out{0xFF, marker, uint8_t(length >> 8), uint8_t(length)};
    for (char c : payload)
        out.push_back(static_cast<uint8_t>(c));
    return out;
}

Exif::Info ReadBytes(const std::vector<uint8_t>& bytes)
{
    return Exif::Read(bytes.data(), bytes.size());
}

}  // namespace

TEST(ExifRead, EveryOrientationAndTheDateInBothByteOrders)
{
    const std::vector<uint8_t> jpeg = PlainJpeg();
    ASSERT_GT(jpeg.size(), 100u);
    for (bool little : {true, false})
        for (int orientation = 1; orientation <= 8; ++orientation) {
            ExifFields fields;
            fields.littleEndian = little;
            fields.orientation = orientation;
            fields.dateTimeOriginal = "2024:07:0" + std::to_string(orientation) + " 13:45:59";
            const Exif::Info info = ReadBytes(WithExif(jpeg, ExifTiff(fields)));
            EXPECT_EQ(info.orientation, orientation) << little;
            EXPECT_EQ(info.dateTimeOriginal, fields.dateTimeOriginal);
            // A TIFF file is the same structure on its own.
            EXPECT_EQ(ReadBytes(ExifTiff(fields)).orientation, orientation);
        }
}

TEST(ExifRead, DefaultsWhenThereIsNothingToRead)
{
    const std::vector<uint8_t> jpeg = PlainJpeg();
    EXPECT_EQ(ReadBytes(jpeg).orientation, 1);
    EXPECT_EQ(ReadBytes(jpeg).dateTimeOriginal, "");
    EXPECT_EQ(Exif::Read(nullptr, 100).orientation, 1);
    EXPECT_EQ(ReadBytes({0xFF, 0xD8}).orientation, 1);
    EXPECT_EQ(ReadBytes({'G', 'I', 'F', '8', '9', 'a', 0, 0}).orientation, 1);

    // Values out of range, a date of blanks and a clock never set are no facts.
    for (int orientation : {9, 0xFFFF}) {
        ExifFields fields;
        fields.orientation = orientation;
        EXPECT_EQ(ReadBytes(WithExif(jpeg, ExifTiff(fields))).orientation, 1) << orientation;
    }
    for (const char* date : {"    :  :     :  :  ", "0000:00:00 00:00:00", "2024-07-01 13:45:59", "2024:07:01"}) {
        ExifFields fields;
        fields.orientation = 6;
        fields.dateTimeOriginal = date;
        const Exif::Info info = ReadBytes(WithExif(jpeg, ExifTiff(fields)));
        EXPECT_EQ(info.dateTimeOriginal, "") << date;
        EXPECT_EQ(info.orientation, 6);
    }

    // An EXIF block after the image data is not looked for.
    ExifFields six;
    six.orientation = 6;
    std::vector<uint8_t> late(jpeg.begin(), jpeg.end() - 2);
    const std::vector<uint8_t> exifSegment = WithExif({0xFF, 0xD8}, ExifTiff(six));
    late.insert(late.end(), exifSegment.begin() + 2, exifSegment.end());
    late.insert(late.end(), {0xFF, 0xD9});
    EXPECT_EQ(ReadBytes(late).orientation, 1);
}

TEST(ExifRead, FindsTheExifSegmentAmongOthers)
{
    const std::vector<uint8_t> jpeg = PlainJpeg();
    ExifFields fields;
    fields.orientation = 8;
    fields.dateTimeOriginal = "2019:01:02 03:04:05";
    // An XMP APP1 segment and a comment first, then the EXIF one.
    std::vector<uint8_t> bytes(jpeg.begin(), jpeg.begin() + 2);
    for (const auto& segment : {Segment(0xE1, std::string("http://ns.adobe.com/xap/1.0/\0<x/>", 34)),
                                Segment(0xFE, "made by a test")})
        bytes.insert(bytes.end(), segment.begin(), segment.end());
    const std::vector<uint8_t> withExif = WithExif(jpeg, ExifTiff(fields));
    bytes.insert(bytes.end(), withExif.begin() + 2, withExif.end());
    const Exif::Info info = ReadBytes(bytes);
    EXPECT_EQ(info.orientation, 8);
    EXPECT_EQ(info.dateTimeOriginal, "2019:01:02 03:04:05");

    testpics::TempFolder folder;
    ASSERT_TRUE(testpics::WriteBytes(folder.file(L"taken.jpg"), bytes));
    EXPECT_EQ(Exif::ReadFile(folder.file(L"taken.jpg")).orientation, 8);
    EXPECT_EQ(Exif::ReadFile(folder.file(L"taken.jpg")).dateTimeOriginal, "2019:01:02 03:04:05");
    EXPECT_EQ(Exif::ReadFile(folder.file(L"missing.jpg")).orientation, 1);
}

TEST(ExifRead, DamagedBlocksNeverReadOutsideTheBytes)
{
    const std::vector<uint8_t> jpeg = PlainJpeg();
    ExifFields fields;
    fields.orientation = 3;
    fields.dateTimeOriginal = "2024:02:29 23:59:59";
    const std::vector<uint8_t> good = WithExif(jpeg, ExifTiff(fields));
    const size_t blockEnd = 2 + 4 + 6 + ExifTiff(fields).size();

    // Every cut through the block: each fact is either read whole or not at all. The copy is
    // exactly as long as the cut, so that a read past it is a read past the allocation.
    for (size_t cut = 0; cut <= blockEnd; ++cut) {
        const std::vector<uint8_t> part(good.begin(), good.begin() + cut);
        const Exif::Info info = ReadBytes(part);
        EXPECT_TRUE(info.orientation == 1 || info.orientation == 3) << cut;
        EXPECT_TRUE(info.dateTimeOriginal.empty() || info.dateTimeOriginal == fields.dateTimeOriginal) << cut;
    }
    // Hostile offsets and counts: IFD0 far away, a huge entry count, the date beyond the end.
    std::vector<uint8_t> tiff = ExifTiff(fields);
    auto hostile = [&](size_t at, std::vector<uint8_t> patch) {
        std::vector<uint8_t> t = tiff;
        for (size_t i = 0; i < patch.size(); ++i)
            t.at(at + i) = patch[i];
        return ReadBytes(WithExif(jpeg, t));
    };
    EXPECT_EQ(hostile(4, {0xF0, 0xFF, 0xFF, 0xFF}).orientation, 1);  // IFD0 offset
    EXPECT_EQ(hostile(4, {0x07, 0, 0, 0}).orientation, 1);           // IFD0 inside the header
    const Exif::Info many = hostile(8, {0xFF, 0xFF});                // entry count
    EXPECT_TRUE(many.orientation == 1 || many.orientation == 3);
    const size_t exifIfd = 8 + 2 + 12 * 2 + 4;
    EXPECT_EQ(hostile(exifIfd + 2 + 8, {0xF0, 0xFF, 0xFF, 0x7F}).dateTimeOriginal, "");  // date offset
    EXPECT_EQ(hostile(exifIfd + 2 + 4, {0xFF, 0xFF, 0xFF, 0xFF}).dateTimeOriginal, "");  // date length
    // A segment length that runs past the file.
    std::vector<uint8_t> longSegment = good;
    longSegment[4] = longSegment[5] = 0xFF;
    EXPECT_EQ(ReadBytes(std::vector<uint8_t>(longSegment.begin(), longSegment.begin() + blockEnd)).orientation, 3);

    // Random damage anywhere in the block gives facts of the right shape, or none.
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> bytes = good;
        for (int k = 0; k < 4; ++k)
            bytes[2 + random() % (blockEnd - 2)] = static_cast<uint8_t>(random());
        bytes.resize(blockEnd - random() % 8);
        const Exif::Info info = ReadBytes(bytes);
        ASSERT_TRUE(info.orientation >= 1 && info.orientation <= 8);
        ASSERT_TRUE(info.dateTimeOriginal.empty() || info.dateTimeOriginal.size() == 19);
    }
}
