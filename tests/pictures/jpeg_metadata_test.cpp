// An untouched JPEG's own data without its metadata: which segments go, which stay, and
// files whose segments are not well formed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/JpegMetadata.h"

using Vantor::Jpeg::WithoutMetadata;

namespace {

std::vector<uint8_t> Segment(uint8_t marker, const std::string& payload)
{
    const size_t length = payload.size() + 2;
    std::vector<uint8_t> s = {0xFF, marker, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
    s.insert(s.end(), payload.begin(), payload.end());
    return s;
}

void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& more) { to.insert(to.end(), more.begin(), more.end()); }

}  // namespace

TEST(JpegMetadata, RemovesExifXmpIccAndCommentsAndKeepsThePicture)
{
    const std::vector<uint8_t> jfif = Segment(0xE0, std::string("JFIF\0\1\1\0\0\1\0\1\0\0", 14));
    const std::vector<uint8_t> adobe = Segment(0xEE, std::string("Adobe\0\144\0\0\0\0\1", 12));
    const std::vector<uint8_t> tables = Segment(0xDB, std::string(65, '\x10'));
    const std::vector<uint8_t> frame = Segment(0xC0, std::string("\x08\x00\x10\x00\x10\x01\x01\x11\x00", 9));
    // The scan and everything after it, markers that look like metadata included.
    const std::vector<uint8_t> scan = {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00,
                                       0x12, 0xFF, 0x00, 0xFF, 0xE1, 0x34, 0xFF, 0xD9};
    std::vector<uint8_t> file = {0xFF, 0xD8};
    Append(file, jfif);
    Append(file, Segment(0xE1, "Exif\0\0MM GPS and camera"));
    Append(file, Segment(0xE1, "http://ns.adobe.com/xap/1.0/ xmp"));
    Append(file, Segment(0xE2, "ICC_PROFILE profile"));
    Append(file, Segment(0xED, "Photoshop 3.0 IPTC"));
    Append(file, Segment(0xFE, "a comment"));
    Append(file, adobe);
    file.push_back(0xFF);  // a fill byte before a marker
    Append(file, tables);
    Append(file, frame);
    Append(file, scan);

    std::vector<uint8_t> expected = {0xFF, 0xD8};
    for (const auto* part : {&jfif, &adobe, &tables, &frame, &scan})
        Append(expected, *part);
    std::vector<uint8_t> out;
    ASSERT_TRUE(WithoutMetadata(file.data(), file.size(), out));
    EXPECT_EQ(out, expected);
}

TEST(JpegMetadata, RefusesWhatIsNotAWellFormedJpeg)
{
    std::vector<uint8_t> out = {1};
    const std::vector<uint8_t> notJpeg = {0x89, 'P', 'N', 'G', 0, 0, 0, 0};
    EXPECT_FALSE(WithoutMetadata(notJpeg.data(), notJpeg.size(), out));
    EXPECT_TRUE(out.empty());
    // A segment longer than the file, a length below 2, no scan at all.
    std::vector<uint8_t> cut = {0xFF, 0xD8, 0xFF, 0xE1, 0x40, 0x00, 'E', 'x'};
    EXPECT_FALSE(WithoutMetadata(cut.data(), cut.size(), out));
    std::vector<uint8_t> tiny = {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x01, 0xFF, 0xDA, 0x00, 0x02};
    EXPECT_FALSE(WithoutMetadata(tiny.data(), tiny.size(), out));
    std::vector<uint8_t> noScan = {0xFF, 0xD8};
    Append(noScan, Segment(0xDB, "tables"));
    EXPECT_FALSE(WithoutMetadata(noScan.data(), noScan.size(), out));
    EXPECT_FALSE(WithoutMetadata(nullptr, 0, out));
}
