// An untouched JPEG's own data without its metadata: which segments go, which stay, and
// files whose segments are not well formed.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "image/Exif.h"
#include "image/ExifRewrite.h"
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

// --- What a picture sent as a new JPEG carries of its source's metadata ---

namespace {

using Vantor::MetadataKept;
namespace Jpeg = Vantor::Jpeg;
namespace Exif = Vantor::Exif;

// A TIFF structure written entry by entry: directories of (tag, type, count, value bytes in
// the block's byte order); values longer than four bytes are placed after their directory.
class TiffWriter {
public:
    explicit TiffWriter(bool little) : little_(little) {}

    struct Entry {
        uint16_t tag, type;
        uint32_t count;
        std::vector<uint8_t> value;
    };
    Entry Text(uint16_t tag, const std::string& text) const
    {
        std::vector<uint8_t> v(text.begin(), text.end());
        v.push_back(0);
        return {tag, 2, static_cast<uint32_t>(v.size()), v};
    }
    Entry Short(uint16_t tag, uint32_t value) const { return {tag, 3, 1, Bytes(value, 2)}; }
    Entry Long(uint16_t tag, uint32_t value) const { return {tag, 4, 1, Bytes(value, 4)}; }
    Entry Rational(uint16_t tag, uint32_t num, uint32_t den) const
    {
        std::vector<uint8_t> v = Bytes(num, 4), d = Bytes(den, 4);
        v.insert(v.end(), d.begin(), d.end());
        return {tag, 5, 1, v};
    }
    Entry Undefined(uint16_t tag, const std::string& bytes) const
    {
        return {tag, 7, static_cast<uint32_t>(bytes.size()), std::vector<uint8_t>(bytes.begin(), bytes.end())};
    }

    // IFD0 with `main`; each of `pointed` (tag, entries) becomes a directory that IFD0 points to.
    std::vector<uint8_t> Block(std::vector<Entry> main, const std::vector<std::pair<uint16_t, std::vector<Entry>>>& pointed)
    {
        out_ = little_ ? std::vector<uint8_t>{'I', 'I', 42, 0} : std::vector<uint8_t>{'M', 'M', 0, 42};
        Append(Bytes(8, 4));
        std::vector<size_t> pointerSlots;
        for (const auto& p : pointed) {
            main.push_back(Long(p.first, 0));
            pointerSlots.push_back(main.size() - 1);
        }
        std::vector<size_t> slotAt;
        Directory(main, &slotAt);
        for (size_t i = 0; i < pointed.size(); ++i) {
            const std::vector<uint8_t> at = Bytes(static_cast<uint32_t>(out_.size()), 4);
            std::copy(at.begin(), at.end(), out_.begin() + static_cast<ptrdiff_t>(slotAt[pointerSlots[i]]));
            Directory(pointed[i].second, nullptr);
        }
        return out_;
    }

private:
    std::vector<uint8_t> Bytes(uint32_t value, int size) const
    {
        std::vector<uint8_t> b(4, 0);
        for (int i = 0; i < size; ++i)
            b[little_ ? i : size - 1 - i] = static_cast<uint8_t>(value >> (8 * i));
        return b;  // left-aligned in a four-byte slot
    }
    void Append(const std::vector<uint8_t>& b) { out_.insert(out_.end(), b.begin(), b.end()); }

    // Writes the directory here and its long values after it; `slots` gets where each value sits.
    void Directory(const std::vector<Entry>& entries, std::vector<size_t>* slots)
    {
        const size_t start = out_.size();
        size_t dataAt = start + 2 + 12 * entries.size() + 4;
        std::vector<uint8_t> data;
        const std::vector<uint8_t> count = Bytes(static_cast<uint32_t>(entries.size()), 2);
        out_.insert(out_.end(), count.begin(), count.begin() + 2);
        for (const Entry& e : entries) {
            const std::vector<uint8_t> tag = Bytes(e.tag, 2), type = Bytes(e.type, 2);
            out_.insert(out_.end(), tag.begin(), tag.begin() + 2);
            out_.insert(out_.end(), type.begin(), type.begin() + 2);
            Append(Bytes(e.count, 4));
            if (slots)
                slots->push_back(out_.size());
            if (e.value.size() <= 4) {
                std::vector<uint8_t> v = e.value;
                v.resize(4, 0);
                Append(v);
            } else {
                Append(Bytes(static_cast<uint32_t>(dataAt + data.size()), 4));
                data.insert(data.end(), e.value.begin(), e.value.end());
                if (data.size() % 2)
                    data.push_back(0);
            }
        }
        Append(Bytes(0, 4));
        (void)dataAt;
        Append(data);
    }

    bool little_;
    std::vector<uint8_t> out_;
};

// A phone's block: camera, dates, exposure, orientation 6, the size stored, and what must not
// leave the phone under "safe": its owner, serial numbers, maker notes, the GPS position.
std::vector<uint8_t> PhoneBlock(bool little)
{
    TiffWriter w(little);
    return w.Block({w.Text(0x010F, "Phonemaker"), w.Text(0x0110, "Pocket 12"), w.Short(0x0112, 6),
                    w.Text(0x0132, "2026:05:01 10:00:00"), w.Text(0x013B, "Ann Owner-Name")},
                   {{0x8769,
                     {w.Rational(0x829A, 1, 120), w.Rational(0x829D, 18, 10), w.Short(0x8827, 64),
                      w.Text(0x9003, "2026:04:30 18:45:12"), w.Undefined(0x927C, "MAKERNOTE-SECRET-BYTES"),
                      w.Short(0xA002, 4000), w.Long(0xA003, 3000), w.Text(0xA430, "Ann Camera-Owner"),
                      w.Text(0xA431, "BODY-SN-778899")}},
                    {0x8825, {w.Text(0x0001, "N"), w.Rational(0x0002, 5213, 100), w.Text(0x001D, "GPS-DATE-STAMP")}}});
}

bool Holds(const std::vector<uint8_t>& bytes, const std::string& text)
{
    return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

// A small JPEG's structure (its scan's bytes are not a real picture: these tests read segments).
std::vector<uint8_t> Picture(const std::vector<std::vector<uint8_t>>& metadata)
{
    std::vector<uint8_t> file = {0xFF, 0xD8};
    Append(file, Segment(0xE0, std::string("JFIF\0\1\1\0\0\1\0\1\0\0", 14)));
    for (const auto& m : metadata)
        Append(file, m);
    Append(file, Segment(0xDB, std::string(65, '\x10')));
    Append(file, Segment(0xC0, std::string("\x08\x00\x30\x00\x40\x01\x01\x11\x00", 9)));  // 64 x 48
    Append(file, {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00, 0x12, 0x34, 0xFF, 0xD9});
    return file;
}

std::vector<uint8_t> ExifSegment(const std::vector<uint8_t>& tiff)
{
    return Segment(0xE1, std::string("Exif\0\0", 6) + std::string(tiff.begin(), tiff.end()));
}

std::vector<uint8_t> IccChunk(int number, int count, const std::string& part)
{
    return Segment(0xE2, std::string("ICC_PROFILE\0", 12) + char(number) + char(count) + part);
}

// The EXIF block of a JPEG's first EXIF segment, through the segment reader.
std::vector<uint8_t> ExifOf(const std::vector<uint8_t>& jpeg)
{
    return Jpeg::ReadMetadata(jpeg.data(), jpeg.size()).exif;
}

}  // namespace

TEST(ExifRewrite, SafeKeepsDateCameraAndExposureAndDropsWhatNamesOrLocatesInBothByteOrders)
{
    for (bool little : {true, false}) {
        const std::vector<uint8_t> source = PhoneBlock(little);
        ASSERT_EQ(Exif::Read(source.data(), source.size()).orientation, 6);
        const std::vector<uint8_t> safe = Exif::SafeBlock(source.data(), source.size(), 3000, 4000);
        ASSERT_FALSE(safe.empty());
        const Exif::Info info = Exif::Read(safe.data(), safe.size());
        EXPECT_EQ(info.orientation, 1);
        EXPECT_EQ(info.dateTimeOriginal, "2026:04:30 18:45:12");
        EXPECT_EQ(info.dateTime, "2026:05:01 10:00:00");
        for (const char* kept : {"Phonemaker", "Pocket 12"})
            EXPECT_TRUE(Holds(safe, kept)) << kept;
        for (const char* gone : {"Owner-Name", "MAKERNOTE", "Camera-Owner", "BODY-SN", "GPS-DATE"})
            EXPECT_FALSE(Holds(safe, gone)) << gone;
        // No directory is left pointing at a GPS block, and the exposure values are the source's.
        const auto u16 = [&](size_t at) { return little ? safe[at] | safe[at + 1] << 8 : safe[at] << 8 | safe[at + 1]; };
        const size_t mainCount = u16(8);
        std::vector<int> mainTags;
        for (size_t i = 0; i < mainCount; ++i)
            mainTags.push_back(u16(10 + 12 * i));
        EXPECT_EQ(std::count(mainTags.begin(), mainTags.end(), 0x8825), 0);
        EXPECT_EQ(std::count(mainTags.begin(), mainTags.end(), 0x8769), 1);
        EXPECT_TRUE(std::is_sorted(mainTags.begin(), mainTags.end()));
        // The rewritten pixel size is the one sent (LONG 3000 x 4000 in the block's order).
        const std::vector<uint8_t> w3000 = little ? std::vector<uint8_t>{0xB8, 0x0B, 0, 0} : std::vector<uint8_t>{0, 0, 0x0B, 0xB8};
        EXPECT_TRUE(std::search(safe.begin(), safe.end(), w3000.begin(), w3000.end()) != safe.end());
    }
}

TEST(ExifRewrite, AllResetsTheOrientationInPlaceAndKeepsEverythingElse)
{
    for (bool little : {true, false}) {
        std::vector<uint8_t> block = PhoneBlock(little);
        const std::vector<uint8_t> before = block;
        ASSERT_TRUE(Exif::ResetPlacement(block, 1000, 750));
        EXPECT_EQ(block.size(), before.size());
        EXPECT_EQ(Exif::Read(block.data(), block.size()).orientation, 1);
        EXPECT_EQ(Exif::Read(block.data(), block.size()).dateTimeOriginal, "2026:04:30 18:45:12");
        for (const char* kept : {"Owner-Name", "MAKERNOTE-SECRET-BYTES", "BODY-SN", "GPS-DATE"})
            EXPECT_TRUE(Holds(block, kept)) << kept;
        // Only the orientation and the two pixel dimensions changed.
        size_t changed = 0;
        for (size_t i = 0; i < block.size(); ++i)
            changed += block[i] != before[i];
        EXPECT_GE(changed, 3u);
        EXPECT_LE(changed, 5u);
    }
    std::vector<uint8_t> notTiff = {'J', 'F', 'I', 'F', 0, 0, 0, 0};
    EXPECT_FALSE(Exif::ResetPlacement(notTiff, 1, 1));
}

TEST(ExifRewrite, DamagedBlocksNeverReadOutsideTheirBytes)
{
    const std::vector<uint8_t> good = PhoneBlock(true);
    for (size_t cut = 0; cut <= good.size(); ++cut) {
        std::vector<uint8_t> part(good.begin(), good.begin() + static_cast<ptrdiff_t>(cut));
        const std::vector<uint8_t> safe = Exif::SafeBlock(part.data(), part.size(), 10, 10);
        if (!safe.empty()) {
            EXPECT_EQ(Exif::Read(safe.data(), safe.size()).orientation, 1) << cut;
        }
        Exif::ResetPlacement(part, 10, 10);
    }
    // Counts and offsets made huge.
    for (size_t at = 4; at + 4 <= good.size(); at += 3) {
        std::vector<uint8_t> bad = good;
        bad[at] = bad[at + 1] = bad[at + 2] = 0xFF;
        const std::vector<uint8_t> safe = Exif::SafeBlock(bad.data(), bad.size(), 10, 10);
        for (const char* gone : {"Owner-Name", "MAKERNOTE", "BODY-SN", "GPS-DATE"})
            EXPECT_FALSE(Holds(safe, gone)) << at;
        Exif::ResetPlacement(bad, 10, 10);
    }
    EXPECT_TRUE(Exif::SafeBlock(nullptr, 0, 1, 1).empty());
}

TEST(JpegMetadata, EachChoiceKeepsItsSegmentsInTheFilesOwnData)
{
    std::string profile(70000, '\0');
    for (size_t i = 0; i < profile.size(); ++i)
        profile[i] = static_cast<char>(i * 7 + i / 251);
    const size_t half = 40000;
    const std::vector<uint8_t> exif = ExifSegment(PhoneBlock(false));
    const std::vector<uint8_t> xmp =
        Segment(0xE1, std::string("http://ns.adobe.com/xap/1.0/\0", 29) + "<x tiff:Orientation=\"6\" who=\"Ann\"/>");
    const std::vector<uint8_t> iptc = Segment(0xED, "Photoshop 3.0 IPTC byline Ann");
    const std::vector<uint8_t> comment = Segment(0xFE, "a comment");
    const std::vector<uint8_t> index = Segment(0xE2, std::string("MPF\0MM\0*", 8));
    // The profile's chunks stored out of order.
    const std::vector<uint8_t> file = Picture({exif, IccChunk(2, 2, profile.substr(half)), xmp, iptc,
                                               IccChunk(1, 2, profile.substr(0, half)), comment, index});

    std::vector<uint8_t> none, safe, all;
    ASSERT_TRUE(Jpeg::WithMetadata(file.data(), file.size(), MetadataKept::None, none));
    ASSERT_TRUE(Jpeg::WithMetadata(file.data(), file.size(), MetadataKept::Safe, safe));
    ASSERT_TRUE(Jpeg::WithMetadata(file.data(), file.size(), MetadataKept::All, all));
    EXPECT_EQ(none, Picture({}));

    // Safe: the filtered EXIF block and the profile, nothing else; the picture's data as it was.
    const Jpeg::SourceMetadata fromSafe = Jpeg::ReadMetadata(safe.data(), safe.size());
    EXPECT_EQ(std::string(fromSafe.icc.begin(), fromSafe.icc.end()), profile);
    EXPECT_TRUE(fromSafe.others.empty());
    EXPECT_EQ(Exif::Read(safe.data(), safe.size()).orientation, 1);
    EXPECT_EQ(Exif::Read(safe.data(), safe.size()).dateTimeOriginal, "2026:04:30 18:45:12");
    for (const char* gone : {"Ann", "GPS-DATE", "MAKERNOTE", "MPF", "a comment"})
        EXPECT_FALSE(Holds(safe, gone)) << gone;
    EXPECT_TRUE(std::equal(safe.end() - 14, safe.end(), file.end() - 14));
    // The frame gives the pixel size written: 64 x 48.
    const std::vector<uint8_t> height48 = {0, 0, 0, 48};
    const std::vector<uint8_t> safeExif = fromSafe.exif;
    EXPECT_TRUE(std::search(safeExif.begin(), safeExif.end(), height48.begin(), height48.end()) != safeExif.end());

    // All: every segment but the multi-picture index, the orientations reset.
    const Jpeg::SourceMetadata fromAll = Jpeg::ReadMetadata(all.data(), all.size());
    EXPECT_EQ(std::string(fromAll.icc.begin(), fromAll.icc.end()), profile);
    EXPECT_EQ(fromAll.exif.size(), PhoneBlock(false).size());
    EXPECT_EQ(Exif::Read(all.data(), all.size()).orientation, 1);
    for (const char* kept : {"MAKERNOTE-SECRET", "GPS-DATE", "IPTC byline Ann", "a comment", "who=\"Ann\""})
        EXPECT_TRUE(Holds(all, kept)) << kept;
    EXPECT_TRUE(Holds(all, "tiff:Orientation=\"1\""));
    EXPECT_FALSE(Holds(all, "MPF"));
    ASSERT_EQ(fromAll.others.size(), 3u);  // XMP, IPTC, the comment, in their order
    EXPECT_EQ(fromAll.others[1], iptc);
    EXPECT_EQ(fromAll.others[2], comment);
}

TEST(JpegMetadata, AProfileWithAChunkMissingIsLeftOutAndNewEncodesGetTheSegmentsAfterJfif)
{
    const std::vector<uint8_t> broken = Picture({IccChunk(1, 3, "first"), IccChunk(3, 3, "third")});
    EXPECT_TRUE(Jpeg::ReadMetadata(broken.data(), broken.size()).icc.empty());
    const std::vector<uint8_t> clashing = Picture({IccChunk(1, 2, "first"), IccChunk(2, 3, "second")});
    EXPECT_TRUE(Jpeg::ReadMetadata(clashing.data(), clashing.size()).icc.empty());

    // A new encode: JFIF first, then the metadata, then the encoder's own segments.
    const std::vector<uint8_t> phone = Picture({ExifSegment(PhoneBlock(true)), IccChunk(1, 1, "profile")});
    const Jpeg::SourceMetadata source = Jpeg::ReadMetadata(phone.data(), phone.size());
    const std::vector<uint8_t> segments = Jpeg::MetadataSegments(source, MetadataKept::Safe, 64, 48);
    std::vector<uint8_t> encoded = Picture({});
    ASSERT_TRUE(Jpeg::InsertSegments(encoded, segments));
    const size_t jfifEnd = 2 + 2 + 16;
    EXPECT_TRUE(std::equal(segments.begin(), segments.end(), encoded.begin() + jfifEnd));
    const std::vector<uint8_t> block = PhoneBlock(true);
    EXPECT_EQ(ExifOf(encoded), Exif::SafeBlock(block.data(), block.size(), 64, 48));
    EXPECT_EQ(Jpeg::ReadMetadata(encoded.data(), encoded.size()).icc, std::vector<uint8_t>({'p', 'r', 'o', 'f', 'i', 'l', 'e'}));
    EXPECT_TRUE(Jpeg::MetadataSegments(source, MetadataKept::None, 64, 48).empty());
    std::vector<uint8_t> notJpeg = {1, 2, 3, 4};
    EXPECT_FALSE(Jpeg::InsertSegments(notJpeg, segments));
    EXPECT_EQ(notJpeg, (std::vector<uint8_t>{1, 2, 3, 4}));
}
