#include "image/PictureExtent.h"

#include "image/JpegDecoder.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

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

// WebP: the canvas of an extended file, or the frame header of a plain lossy or lossless one.
// A chunk whose size runs past the file is damage.
ExtentCheck Webp(const Bytes& b, PictureExtent& extent)
{
    if (!b.has(12, 8))
        return ExtentCheck::Damaged;
    const uint32_t chunkSize = b.le32(16);
    if (!b.has(20, chunkSize))
        return ExtentCheck::Damaged;
    if (b.starts(12, "VP8X", 4)) {
        if (chunkSize < 10)
            return ExtentCheck::Damaged;
        const uint32_t width = (b.le32(24) & 0xFFFFFF) + 1;
        const uint32_t height = (b.le32(27) & 0xFFFFFF) + 1;
        Grow(extent, width, height);
        return ExtentCheck::Known;
    }
    if (b.starts(12, "VP8 ", 4)) {
        if (chunkSize < 10 || b.u8(23) != 0x9D || b.u8(24) != 0x01 || b.u8(25) != 0x2A)
            return ExtentCheck::Damaged;
        Grow(extent, b.le16(26) & 0x3FFF, b.le16(28) & 0x3FFF);
        return ExtentCheck::Known;
    }
    if (b.starts(12, "VP8L", 4)) {
        if (chunkSize < 5 || b.u8(20) != 0x2F)
            return ExtentCheck::Damaged;
        const uint32_t bits = b.le32(21);
        Grow(extent, (bits & 0x3FFF) + 1, ((bits >> 14) & 0x3FFF) + 1);
        return ExtentCheck::Known;
    }
    return ExtentCheck::Damaged;
}

// HEIF (HEIC and AVIF): the boxes of the file's meta box. Every picture item's size comes
// from its "ispe" property; a grid is as large as its own size or the sum of its tiles,
// whichever is more, so that a small grid claiming thousands of tiles is sized by them.
class HeifBoxes {
public:
    explicit HeifBoxes(const Bytes& b) : b_(b) {}

    ExtentCheck Read(PictureExtent& extent)
    {
        size_t metaAt = 0, metaEnd = 0;
        if (!Find(0, b_.size(), "meta", metaAt, metaEnd))
            return ExtentCheck::Damaged;
        metaAt += 4;  // version and flags
        size_t at = 0, end = 0;
        if (!Find(metaAt, metaEnd, "iprp", at, end))
            return ExtentCheck::Damaged;
        size_t ipcoAt = 0, ipcoEnd = 0, ipmaAt = 0, ipmaEnd = 0;
        if (!Find(at, end, "ipco", ipcoAt, ipcoEnd) || !Find(at, end, "ipma", ipmaAt, ipmaEnd))
            return ExtentCheck::Damaged;
        if (!ReadProperties(ipcoAt, ipcoEnd) || !ReadAssociations(ipmaAt, ipmaEnd))
            return ExtentCheck::Damaged;
        if (Find(metaAt, metaEnd, "iinf", at, end) && !ReadItemTypes(at, end))
            return ExtentCheck::Damaged;
        if (Find(metaAt, metaEnd, "iref", at, end) && !ReadTiles(at, end))
            return ExtentCheck::Damaged;
        bool any = false;
        for (const Item& item : items_) {
            if (!item.width || !item.height)
                continue;
            any = true;
            uint64_t area = uint64_t(item.width) * item.height;
            if (item.grid) {
                uint64_t tiles = 0;
                for (uint32_t tile : item.tiles) {
                    const Item* t = Lookup(tile);
                    if (t)
                        tiles += uint64_t(t->width) * t->height;
                }
                area = std::max(area, tiles);
            }
            const uint64_t height = (area + item.width - 1) / item.width;
            Grow(extent, item.width, static_cast<uint32_t>(std::min<uint64_t>(height, 0xFFFFFFFFu)));
        }
        return any ? ExtentCheck::Known : ExtentCheck::Damaged;
    }

private:
    struct Item {
        uint32_t id = 0;
        uint32_t width = 0, height = 0;
        bool grid = false;
        std::vector<uint32_t> tiles;
    };
    struct Size {
        uint32_t width, height;
    };

    // The first box of the type within [from, to); its content in [at, end).
    bool Find(size_t from, size_t to, const char* type, size_t& at, size_t& end) const
    {
        size_t offset = from;
        while (offset + 8 <= to && b_.has(offset, 8)) {
            uint64_t length = b_.be32(offset);
            size_t header = 8;
            if (length == 1) {
                if (!b_.has(offset + 8, 8))
                    return false;
                length = (uint64_t(b_.be32(offset + 8)) << 32) | b_.be32(offset + 12);
                header = 16;
            } else if (length == 0) {
                length = to - offset;
            }
            if (length < header || length > to - offset)
                return false;
            if (b_.starts(offset + 4, type, 4)) {
                at = offset + header;
                end = offset + static_cast<size_t>(length);
                return true;
            }
            offset += static_cast<size_t>(length);
        }
        return false;
    }

    bool ReadProperties(size_t at, size_t end)
    {
        while (at + 8 <= end) {
            const uint32_t length = b_.be32(at);
            if (length < 8 || length > end - at)
                return false;
            Size size{0, 0};
            if (b_.starts(at + 4, "ispe", 4)) {
                if (length < 20)
                    return false;
                size = Size{b_.be32(at + 12), b_.be32(at + 16)};
            }
            properties_.push_back(size);
            at += length;
        }
        return true;
    }

    bool ReadAssociations(size_t at, size_t end)
    {
        if (!b_.has(at, 8) || end - at < 8)
            return false;
        const uint32_t version = b_.u8(at);
        const bool wideIndex = (b_.be32(at) & 1) != 0;
        const uint32_t count = b_.be32(at + 4);
        size_t p = at + 8;
        for (uint32_t i = 0; i < count; ++i) {
            const size_t idBytes = version < 1 ? 2 : 4;
            if (p + idBytes + 1 > end)
                return false;
            Item item;
            item.id = version < 1 ? b_.be16(p) : b_.be32(p);
            p += idBytes;
            const uint32_t associations = b_.u8(p++);
            for (uint32_t k = 0; k < associations; ++k) {
                if (p + (wideIndex ? 2 : 1) > end)
                    return false;
                const uint32_t index = wideIndex ? (b_.be16(p) & 0x7FFF) : (b_.u8(p) & 0x7F);
                p += wideIndex ? 2 : 1;
                if (index > 0 && index <= properties_.size() && properties_[index - 1].width) {
                    item.width = std::max(item.width, properties_[index - 1].width);
                    item.height = std::max(item.height, properties_[index - 1].height);
                }
            }
            index_.emplace(item.id, items_.size());
            items_.push_back(std::move(item));
        }
        return true;
    }

    bool ReadItemTypes(size_t at, size_t end)
    {
        if (end - at < 6)
            return false;
        const bool wideCount = b_.u8(at) != 0;
        size_t p = at + (wideCount ? 8 : 6);
        while (p + 12 <= end) {
            const uint32_t length = b_.be32(p);
            if (length < 12 || length > end - p)
                return false;
            if (b_.starts(p + 4, "infe", 4)) {
                const uint32_t version = b_.u8(p + 8);
                const size_t idBytes = version >= 3 ? 4 : 2;
                const size_t typeAt = p + 12 + idBytes + 2;
                if (version >= 2 && typeAt + 4 <= p + length) {
                    const uint32_t id = idBytes == 4 ? b_.be32(p + 12) : b_.be16(p + 12);
                    if (Item* item = Lookup(id))
                        item->grid = b_.starts(typeAt, "grid", 4);
                }
            }
            p += length;
        }
        return true;
    }

    bool ReadTiles(size_t at, size_t end)
    {
        if (end - at < 4)
            return false;
        const size_t idBytes = b_.u8(at) == 0 ? 2 : 4;
        size_t p = at + 4;
        auto id = [&](size_t q) { return idBytes == 2 ? b_.be16(q) : b_.be32(q); };
        while (p + 8 <= end) {
            const uint32_t length = b_.be32(p);
            if (length < 8 || length > end - p)
                return false;
            if (b_.starts(p + 4, "dimg", 4) && 8 + idBytes + 2 <= length) {
                Item* grid = Lookup(id(p + 8));
                const uint32_t count = b_.be16(p + 8 + idBytes);
                if (8 + idBytes + 2 + uint64_t(count) * idBytes > length)
                    return false;
                for (uint32_t k = 0; grid && k < count; ++k)
                    grid->tiles.push_back(id(p + 8 + idBytes + 2 + k * idBytes));
            }
            p += length;
        }
        return true;
    }

    Item* Lookup(uint32_t id)
    {
        const auto found = index_.find(id);
        return found == index_.end() ? nullptr : &items_[found->second];
    }

    const Bytes& b_;
    std::vector<Size> properties_;
    std::vector<Item> items_;
    std::unordered_map<uint32_t, size_t> index_;  // item id to its place in items_
};

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
    } else if (b.starts(0, "RIFF", 4) && b.starts(8, "WEBP", 4)) {
        result = Webp(b, extent);
    } else if (b.starts(4, "ftyp", 4)) {
        result = HeifBoxes(b).Read(extent);
    } else if (b.has(0, 6) && b.le16(0) == 0 && (b.le16(2) == 1 || b.le16(2) == 2)) {
        result = Ico(b, extent);
    }
    if (result == ExtentCheck::Known && (extent.width == 0 || extent.height == 0))
        return ExtentCheck::Damaged;
    return result;
}

}  // namespace Vantor
