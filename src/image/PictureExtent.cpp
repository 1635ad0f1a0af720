#include "image/PictureExtent.h"

#include "image/JpegDecoder.h"

#include <algorithm>
#include <cstring>

namespace Vantor {
namespace {

// Bounds-checked little- and big-endian reads over the file's bytes.
class Bytes {
public:
    Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    size_t size() const { return size_; }
    bool has(size_t at, size_t count) const { return at <= size_ && count <= size_ - at; }
    bool starts(size_t at, const char* text, size_t count) const
    {
        return has(at, count) && std::memcmp(data_ + at, text, count) == 0;
    }
    uint32_t u8(size_t at) const { return data_[at]; }
    uint32_t le16(size_t at) const { return u8(at) | (u8(at + 1) << 8); }
    uint32_t le32(size_t at) const { return le16(at) | (le16(at + 2) << 16); }
    uint32_t be16(size_t at) const { return (u8(at) << 8) | u8(at + 1); }
    uint32_t be32(size_t at) const { return (be16(at) << 16) | be16(at + 2); }
    const uint8_t* at(size_t offset) const { return data_ + offset; }

private:
    const uint8_t* data_;
    size_t size_;
};

void Grow(PictureExtent& extent, uint32_t width, uint32_t height)
{
    extent.width = std::max(extent.width, width);
    extent.height = std::max(extent.height, height);
}

ExtentCheck Png(const Bytes& b, size_t at, PictureExtent& extent)
{
    if (!b.has(at, 24) || !b.starts(at + 12, "IHDR", 4))
        return ExtentCheck::Damaged;
    Grow(extent, b.be32(at + 16), b.be32(at + 20));
    return ExtentCheck::Known;
}

// A BITMAPINFOHEADER (or BITMAPCOREHEADER) at `at`; icons store twice the height.
ExtentCheck Dib(const Bytes& b, size_t at, bool halfHeight, PictureExtent& extent)
{
    if (!b.has(at, 4))
        return ExtentCheck::Damaged;
    const uint32_t headerSize = b.le32(at);
    if (headerSize == 12) {
        if (!b.has(at, 12))
            return ExtentCheck::Damaged;
        Grow(extent, b.le16(at + 4), b.le16(at + 6));
        return ExtentCheck::Known;
    }
    if (headerSize < 16 || !b.has(at, 12))
        return ExtentCheck::Damaged;
    const auto width = static_cast<int32_t>(b.le32(at + 4));
    const auto height = static_cast<int32_t>(b.le32(at + 8));
    if (width <= 0 || height == 0 || height == INT32_MIN)
        return ExtentCheck::Damaged;
    uint32_t rows = static_cast<uint32_t>(height < 0 ? -height : height);
    if (halfHeight)
        rows = std::max<uint32_t>(rows / 2, 1);
    Grow(extent, static_cast<uint32_t>(width), rows);
    return ExtentCheck::Known;
}

ExtentCheck Bmp(const Bytes& b, PictureExtent& extent)
{
    if (!b.has(0, 26))
        return ExtentCheck::Damaged;
    return Dib(b, 14, false, extent);
}

ExtentCheck Gif(const Bytes& b, PictureExtent& extent)
{
    if (!b.has(0, 13))
        return ExtentCheck::Damaged;
    Grow(extent, b.le16(6), b.le16(8));
    size_t at = 13;
    if (b.u8(10) & 0x80)
        at += 3u * (2u << (b.u8(10) & 7));
    // Every frame's extent on the screen: a decoder may size its canvas to any of them.
    auto skipSubBlocks = [&](size_t& p) {
        while (b.has(p, 1)) {
            const uint32_t length = b.u8(p++);
            if (length == 0)
                return true;
            p += length;
        }
        return false;
    };
    while (b.has(at, 1)) {
        const uint32_t block = b.u8(at++);
        if (block == 0x3B)  // trailer
            break;
        if (block == 0x21) {  // extension: label, then sub-blocks
            if (!b.has(at, 1))
                return ExtentCheck::Damaged;
            ++at;
            if (!skipSubBlocks(at))
                break;  // cut short after the frames before it: the decoder stops there too
        } else if (block == 0x2C) {
            if (!b.has(at, 9))
                return ExtentCheck::Damaged;
            const uint32_t left = b.le16(at), top = b.le16(at + 2);
            Grow(extent, left + b.le16(at + 4), top + b.le16(at + 6));
            const uint32_t flags = b.u8(at + 8);
            at += 9;
            if (flags & 0x80)
                at += 3u * (2u << (flags & 7));
            ++at;  // LZW minimum code size
            if (!skipSubBlocks(at))
                break;
        } else {
            break;  // anything else ends what a decoder reads
        }
    }
    return ExtentCheck::Known;
}

ExtentCheck Tiff(const Bytes& b, PictureExtent& extent)
{
    if (!b.has(0, 8))
        return ExtentCheck::Damaged;
    const bool little = b.u8(0) == 'I';
    auto u16 = [&](size_t at) { return little ? b.le16(at) : b.be16(at); };
    auto u32 = [&](size_t at) { return little ? b.le32(at) : b.be32(at); };
    const uint32_t ifd = u32(4);
    if (!b.has(ifd, 2))
        return ExtentCheck::Damaged;
    const uint32_t entries = u16(ifd);
    bool width = false, height = false;
    for (uint32_t i = 0; i < entries; ++i) {
        const size_t at = static_cast<size_t>(ifd) + 2 + 12 * static_cast<size_t>(i);
        if (!b.has(at, 12))
            return ExtentCheck::Damaged;
        const uint32_t tag = u16(at);
        if (tag != 256 && tag != 257)
            continue;
        const uint32_t type = u16(at + 2);
        if (type != 3 && type != 4)  // SHORT or LONG; anything else is no size
            return ExtentCheck::Damaged;
        const uint32_t value = type == 3 ? u16(at + 8) : u32(at + 8);
        // A repeated tag counts with every copy: which one a decoder keeps is its own affair.
        if (tag == 256) {
            Grow(extent, value, 0);
            width = true;
        } else {
            Grow(extent, 0, value);
            height = true;
        }
    }
    return width && height ? ExtentCheck::Known : ExtentCheck::Damaged;
}

ExtentCheck Ico(const Bytes& b, PictureExtent& extent)
{
    const uint32_t count = b.le16(4);
    if (count == 0 || !b.has(6, 16 * static_cast<size_t>(count)))
        return ExtentCheck::Damaged;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t entry = 6 + 16 * static_cast<size_t>(i);
        Grow(extent, b.u8(entry) ? b.u8(entry) : 256, b.u8(entry + 1) ? b.u8(entry + 1) : 256);
        const uint32_t offset = b.le32(entry + 12);
        const ExtentCheck image = b.starts(offset, "\x89PNG\r\n\x1a\n", 8) ? Png(b, offset, extent)
                                                                           : Dib(b, offset, true, extent);
        if (image != ExtentCheck::Known)
            return ExtentCheck::Damaged;
    }
    return ExtentCheck::Known;
}

}  // namespace

ExtentCheck ReadPictureExtent(const uint8_t* data, size_t size, PictureExtent& extent)
{
    extent = PictureExtent{};
    if (!data)
        return ExtentCheck::Unknown;
    const Bytes b(data, size);
    ExtentCheck result = ExtentCheck::Unknown;
    if (b.starts(0, "\x89PNG\r\n\x1a\n", 8)) {
        result = Png(b, 0, extent);
    } else if (b.starts(0, "GIF87a", 6) || b.starts(0, "GIF89a", 6)) {
        result = Gif(b, extent);
    } else if (b.starts(0, "BM", 2)) {
        result = Bmp(b, extent);
    } else if (b.starts(0, "II*\0", 4) || b.starts(0, "MM\0*", 4)) {
        result = Tiff(b, extent);
    } else if (b.has(0, 3) && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) {
        Jpeg::Header header;
        if (!Jpeg::ReadHeader(data, size, header))
            return ExtentCheck::Damaged;
        Grow(extent, header.width, header.height);
        result = ExtentCheck::Known;
    } else if (b.has(0, 6) && b.le16(0) == 0 && (b.le16(2) == 1 || b.le16(2) == 2)) {
        result = Ico(b, extent);
    }
    if (result == ExtentCheck::Known && (extent.width == 0 || extent.height == 0))
        return ExtentCheck::Damaged;
    return result;
}

}  // namespace Vantor
