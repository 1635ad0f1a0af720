#include "image/JpegMetadata.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "image/ExifRewrite.h"

namespace Vantor::Jpeg {

namespace {

constexpr uint8_t kApp0 = 0xE0;
constexpr uint8_t kApp1 = 0xE1;
constexpr uint8_t kApp2 = 0xE2;
constexpr uint8_t kApp14 = 0xEE;
constexpr uint8_t kComment = 0xFE;
constexpr uint8_t kScan = 0xDA;
constexpr size_t kLongestPayload = 65533;  // a segment's length field counts itself
constexpr char kExif[] = "Exif\0\0";       // 6 bytes
constexpr char kIcc[] = "ICC_PROFILE";      // 12 bytes with its zero
constexpr size_t kIccHeader = 14;           // the name, the chunk's number and the count
constexpr char kXmp[] = "http://ns.adobe.com/xap/1.0/";

struct Segment {
    uint8_t marker = 0;
    size_t at = 0;      // its 0xFF
    size_t length = 0;  // the length field's value: the payload and the field itself
    size_t end() const { return at + 2 + length; }
    size_t payload() const { return at + 4; }
    size_t payloadSize() const { return length - 2; }
};

// The segments between the start and the first scan, fill bytes skipped; `scan` is where the
// scan's marker sits. False when they are not well formed or no scan follows.
bool Segments(const uint8_t* data, size_t size, std::vector<Segment>& segments, size_t& scan)
{
    segments.clear();
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return false;
    size_t at = 2;
    while (at + 4 <= size) {
        if (data[at] != 0xFF)
            return false;
        const uint8_t marker = data[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == kScan) {
            scan = at;
            return true;
        }
        const size_t length = (size_t(data[at + 2]) << 8) | data[at + 3];
        if (length < 2 || length > size - at - 2)
            return false;
        segments.push_back({marker, at, length});
        at += 2 + length;
    }
    return false;
}

bool StartsWith(const uint8_t* data, const Segment& s, const char* prefix, size_t length)
{
    return s.payloadSize() >= length && std::memcmp(data + s.payload(), prefix, length) == 0;
}

bool IsMetadata(uint8_t marker)
{
    return (marker >= kApp0 && marker <= 0xEF && marker != kApp0 && marker != kApp14) || marker == kComment;
}

// A multi-picture index: offsets into the file it came in.
bool IsPictureIndex(const uint8_t* data, const Segment& s)
{
    return s.marker == kApp2 && StartsWith(data, s, "MPF\0", 4);
}

void AppendSegment(std::vector<uint8_t>& out, uint8_t marker, const uint8_t* prefix, size_t prefixSize,
                   const uint8_t* payload, size_t payloadSize)
{
    const size_t length = prefixSize + payloadSize + 2;
    out.insert(out.end(), {0xFF, marker, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
    out.insert(out.end(), prefix, prefix + prefixSize);
    out.insert(out.end(), payload, payload + payloadSize);
}

void AppendExif(std::vector<uint8_t>& out, const std::vector<uint8_t>& tiff)
{
    if (!tiff.empty() && tiff.size() + 6 <= kLongestPayload)
        AppendSegment(out, kApp1, reinterpret_cast<const uint8_t*>(kExif), 6, tiff.data(), tiff.size());
}

// The profile in chunks of at most one segment each, numbered from 1.
void AppendIcc(std::vector<uint8_t>& out, const std::vector<uint8_t>& icc)
{
    constexpr size_t kChunk = kLongestPayload - kIccHeader;
    const size_t chunks = (icc.size() + kChunk - 1) / kChunk;
    if (chunks == 0 || chunks > 255)
        return;
    for (size_t i = 0; i < chunks; ++i) {
        uint8_t header[kIccHeader];
        std::memcpy(header, kIcc, 12);
        header[12] = static_cast<uint8_t>(i + 1);
        header[13] = static_cast<uint8_t>(chunks);
        const size_t from = i * kChunk;
        AppendSegment(out, kApp2, header, kIccHeader, icc.data() + from, std::min(kChunk, icc.size() - from));
    }
}

// An XMP packet's orientation set to 1 where it is written as one digit (attribute or element).
void ResetXmpOrientation(std::vector<uint8_t>& segment)
{
    std::string text(segment.begin(), segment.end());
    for (const char* pattern : {"tiff:Orientation=\"", "tiff:Orientation='", "<tiff:Orientation>"}) {
        const size_t length = std::strlen(pattern);
        for (size_t at = text.find(pattern); at != std::string::npos; at = text.find(pattern, at + 1)) {
            const size_t digit = at + length;
            if (digit + 1 < text.size() && text[digit] >= '1' && text[digit] <= '8' &&
                (text[digit + 1] < '0' || text[digit + 1] > '9'))
                segment[digit] = '1';
        }
    }
}

// The frame's size, from the first start-of-frame segment.
void FrameSize(const uint8_t* data, const std::vector<Segment>& segments, uint32_t& width, uint32_t& height)
{
    for (const Segment& s : segments) {
        const bool frame = s.marker >= 0xC0 && s.marker <= 0xCF && s.marker != 0xC4 && s.marker != 0xC8 &&
                           s.marker != 0xCC;
        if (frame && s.payloadSize() >= 5) {
            const uint8_t* p = data + s.payload();
            height = (uint32_t(p[1]) << 8) | p[2];
            width = (uint32_t(p[3]) << 8) | p[4];
            return;
        }
    }
}

SourceMetadata MetadataOf(const uint8_t* data, const std::vector<Segment>& segments)
{
    SourceMetadata metadata;
    std::vector<std::vector<uint8_t>> chunks;  // by number - 1
    size_t expected = 0;
    bool iccBroken = false;
    bool exifSeen = false;
    for (const Segment& s : segments) {
        if (!IsMetadata(s.marker) || IsPictureIndex(data, s))
            continue;
        if (s.marker == kApp1 && StartsWith(data, s, kExif, 6)) {
            if (!exifSeen)
                metadata.exif.assign(data + s.payload() + 6, data + s.end());
            exifSeen = true;
        } else if (s.marker == kApp2 && StartsWith(data, s, kIcc, 12)) {
            if (s.payloadSize() < kIccHeader) {
                iccBroken = true;
                continue;
            }
            const size_t number = data[s.payload() + 12], count = data[s.payload() + 13];
            if (number == 0 || number > count || (expected && count != expected)) {
                iccBroken = true;
                continue;
            }
            expected = count;
            chunks.resize(count);
            chunks[number - 1].assign(data + s.payload() + kIccHeader, data + s.end());
        } else {
            metadata.others.emplace_back(data + s.at, data + s.end());
        }
    }
    const bool complete = !chunks.empty() && std::none_of(chunks.begin(), chunks.end(),
                                                          [](const std::vector<uint8_t>& c) { return c.empty(); });
    if (complete && !iccBroken)
        for (const auto& chunk : chunks)
            metadata.icc.insert(metadata.icc.end(), chunk.begin(), chunk.end());
    return metadata;
}

}  // namespace

SourceMetadata ReadMetadata(const uint8_t* data, size_t size)
{
    std::vector<Segment> segments;
    size_t scan = 0;
    Segments(data, size, segments, scan);  // what was read before any damage counts
    return MetadataOf(data, segments);
}

std::vector<uint8_t> MetadataSegments(const SourceMetadata& source, MetadataKept kept, uint32_t width,
                                      uint32_t height)
{
    std::vector<uint8_t> out;
    if (kept == MetadataKept::None)
        return out;
    if (kept == MetadataKept::Safe) {
        AppendExif(out, Exif::SafeBlock(source.exif.data(), source.exif.size(), width, height));
        AppendIcc(out, source.icc);
        return out;
    }
    std::vector<uint8_t> exif = source.exif;
    if (Exif::ResetPlacement(exif, width, height))
        AppendExif(out, exif);
    AppendIcc(out, source.icc);
    for (const auto& segment : source.others) {
        if (segment.size() >= 4 + sizeof kXmp - 1 && segment[1] == kApp1 &&
            std::memcmp(segment.data() + 4, kXmp, sizeof kXmp - 1) == 0) {
            std::vector<uint8_t> xmp = segment;
            ResetXmpOrientation(xmp);
            out.insert(out.end(), xmp.begin(), xmp.end());
        } else {
            out.insert(out.end(), segment.begin(), segment.end());
        }
    }
    return out;
}

bool InsertSegments(std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& segments)
{
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8)
        return false;
    if (segments.empty())
        return true;
    size_t at = 2;
    if (jpeg[2] == 0xFF && jpeg[3] == kApp0 && jpeg.size() >= 6) {
        const size_t length = (size_t(jpeg[4]) << 8) | jpeg[5];
        if (length >= 2 && 4 + length <= jpeg.size())
            at = 4 + length;
    }
    jpeg.insert(jpeg.begin() + static_cast<ptrdiff_t>(at), segments.begin(), segments.end());
    return true;
}

bool WithMetadata(const uint8_t* data, size_t size, MetadataKept kept, std::vector<uint8_t>& out)
{
    out.clear();
    std::vector<Segment> segments;
    size_t scan = 0;
    if (!Segments(data, size, segments, scan))
        return false;
    uint32_t width = 0, height = 0;
    FrameSize(data, segments, width, height);
    const std::vector<uint8_t> metadata = MetadataSegments(MetadataOf(data, segments), kept, width, height);
    out.reserve(size + metadata.size());
    out.insert(out.end(), data, data + 2);
    size_t first = 0;
    if (!segments.empty() && segments[0].marker == kApp0) {  // JFIF comes first where it is
        out.insert(out.end(), data + segments[0].at, data + segments[0].end());
        first = 1;
    }
    out.insert(out.end(), metadata.begin(), metadata.end());
    for (size_t i = first; i < segments.size(); ++i)
        if (!IsMetadata(segments[i].marker))
            out.insert(out.end(), data + segments[i].at, data + segments[i].end());
    out.insert(out.end(), data + scan, data + size);
    return true;
}

bool WithoutMetadata(const uint8_t* data, size_t size, std::vector<uint8_t>& out)
{
    return WithMetadata(data, size, MetadataKept::None, out);
}

}  // namespace Vantor::Jpeg
