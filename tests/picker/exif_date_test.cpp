// The EXIF date reader on JPEG headers built here byte by byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "image/ExifDate.h"

using Vantor::ExifDateTaken;

namespace {

// A TIFF block with IFD0 and an EXIF sub-IFD, in either byte order.
struct TiffBuilder {
    bool little = true;
    std::vector<uint8_t> bytes;

    void U16(uint32_t v)
    {
        if (little) {
            bytes.push_back(v & 0xFF);
            bytes.push_back((v >> 8) & 0xFF);
        } else {
            bytes.push_back((v >> 8) & 0xFF);
            bytes.push_back(v & 0xFF);
        }
    }
    void U32(uint32_t v)
    {
        if (little) {
            U16(v & 0xFFFF);
            U16(v >> 16);
        } else {
            U16(v >> 16);
            U16(v & 0xFFFF);
        }
    }
    void Entry(uint16_t tag, uint16_t type, uint32_t count, uint32_t value)
    {
        U16(tag);
        U16(type);
        U32(count);
        U32(value);
    }
};

// IFD0 at 8 with DateTime (optional) and an EXIF pointer; the EXIF IFD with DateTimeOriginal.
std::vector<uint8_t> Tiff(bool little, const std::string& original, const std::string& plain)
{
    TiffBuilder t;
    t.little = little;
    t.bytes = little ? std::vector<uint8_t>{'I', 'I'} : std::vector<uint8_t>{'M', 'M'};
    t.U16(42);
    t.U32(8);
    // IFD0: two entries (8 + 2 + 24 + 4 = 38), EXIF IFD at 38: one entry (2 + 12 + 4 = 18),
    // strings at 56 and 76.
    t.U16(2);
    t.Entry(0x0132, 2, 20, 76);
    t.Entry(0x8769, 4, 1, 38);
    t.U32(0);
    t.U16(1);
    t.Entry(0x9003, 2, 20, 56);
    t.U32(0);
    std::string a = original;
    a.resize(20, '\0');
    std::string b = plain;
    b.resize(20, '\0');
    t.bytes.insert(t.bytes.end(), a.begin(), a.end());
    t.bytes.insert(t.bytes.end(), b.begin(), b.end());
    return t.bytes;
}

std::vector<uint8_t> Jpeg(const std::vector<uint8_t>& tiff, bool withApp0 = true)
{
    std::vector<uint8_t> out{0xFF, 0xD8};
    if (withApp0) {
        const uint8_t app0[] = {0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
        out.insert(out.end(), std::begin(app0), std::end(app0));
    }
    const size_t length = 2 + 6 + tiff.size();
    out.push_back(0xFF);
    out.push_back(0xE1);
    out.push_back(static_cast<uint8_t>(length >> 8));
    out.push_back(static_cast<uint8_t>(length & 0xFF));
    const char exif[] = {'E', 'x', 'i', 'f', 0, 0};
    out.insert(out.end(), std::begin(exif), std::end(exif));
    out.insert(out.end(), tiff.begin(), tiff.end());
    const uint8_t tail[] = {0xFF, 0xDA, 0x00, 0x02, 0xFF, 0xD9};
    out.insert(out.end(), std::begin(tail), std::end(tail));
    return out;
}

std::optional<int64_t> Read(const std::vector<uint8_t>& bytes) { return ExifDateTaken(bytes.data(), bytes.size()); }

}  // namespace

TEST(ExifDate, ReadsDateTimeOriginalInBothByteOrders)
{
    // 2021-03-04 05:06:07 UTC = 1614834367
    for (bool little : {true, false}) {
        const auto taken = Read(Jpeg(Tiff(little, "2021:03:04 05:06:07", "1999:01:01 00:00:00")));
        ASSERT_TRUE(taken.has_value()) << little;
        EXPECT_EQ(*taken, 1614834367);
    }
    // A leap day and the first second of 1970.
    EXPECT_EQ(*Read(Jpeg(Tiff(true, "2020:02:29 23:59:59", ""))), 1583020799);
    EXPECT_EQ(*Read(Jpeg(Tiff(true, "1970:01:01 00:00:00", ""))), 0);
    // Without an APP0 segment before it.
    EXPECT_EQ(*Read(Jpeg(Tiff(true, "2021:03:04 05:06:07", ""), false)), 1614834367);
}

TEST(ExifDate, FallsBackToTheImageDateAndRefusesMalformedDates)
{
    EXPECT_EQ(*Read(Jpeg(Tiff(true, "not a date at all!!", "2021:03:04 05:06:07"))), 1614834367);
    EXPECT_FALSE(Read(Jpeg(Tiff(true, "", ""))).has_value());
    EXPECT_FALSE(Read(Jpeg(Tiff(true, "2021:13:04 05:06:07", "    :  :     :  :  "))).has_value());
    EXPECT_FALSE(Read(Jpeg(Tiff(false, "2021-03-04 05:06:07", ""))).has_value());
}

TEST(ExifDate, DamagedOrForeignBytesGiveNothing)
{
    EXPECT_FALSE(ExifDateTaken(nullptr, 0).has_value());
    const std::vector<uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    EXPECT_FALSE(Read(png).has_value());
    const std::vector<uint8_t> good = Jpeg(Tiff(true, "2021:03:04 05:06:07", ""));
    // Every truncation is refused or read, never read past its end (the sanitizer of this
    // test is the length: each copy is exactly that long).
    for (size_t n = 0; n < good.size(); ++n) {
        const std::vector<uint8_t> cut(good.begin(), good.begin() + n);
        const auto taken = Read(cut);
        if (taken) {
            EXPECT_EQ(*taken, 1614834367);
        }
    }
    // Offsets that point outside the block.
    std::vector<uint8_t> tiff = Tiff(true, "2021:03:04 05:06:07", "");
    tiff[8 + 2 + 12 + 8] = 0xF0;  // the EXIF IFD pointer
    tiff[8 + 2 + 8] = 0xF0;       // the DateTime offset
    EXPECT_FALSE(Read(Jpeg(tiff)).has_value());
    // An entry count that runs past the block, with no tag the reader looks for.
    std::vector<uint8_t> many = Tiff(true, "2021:03:04 05:06:07", "");
    many[8] = 0xFF;
    many[9] = 0xFF;
    many[10] = 0x34;  // DateTime becomes an unknown tag
    many[22] = 0x34;  // so does the EXIF pointer
    EXPECT_FALSE(Read(Jpeg(many)).has_value());
}
