// Rewriting EXIF blocks: the safe facts copied into a new block, or the placement reset in
// place.
#include "image/ExifRewrite.h"

#include <algorithm>
#include <cstring>

namespace Vantor::Exif {

namespace {

constexpr uint16_t kOrientation = 0x0112;
constexpr uint16_t kExifIfd = 0x8769;
constexpr uint16_t kPixelWidth = 0xA002;
constexpr uint16_t kPixelHeight = 0xA003;
constexpr uint16_t kShort = 3;
constexpr uint16_t kLong = 4;
constexpr uint32_t kMostEntries = 1000;  // a directory claiming more is damage
constexpr size_t kLongestValue = 4096;   // none of the safe facts is longer

// What the first directory may keep: make, model, resolution and its unit, the date and time
// of the last change. The orientation and the pointer to the EXIF directory are written anew.
constexpr uint16_t kSafeMain[] = {0x010F, 0x0110, 0x011A, 0x011B, 0x0128, 0x0132};
// What the EXIF directory may keep: exposure time, f-number, programme, sensitivity (and its
// kind and index), EXIF version, the dates taken and digitised, time offsets, shutter speed,
// aperture, brightness, bias, largest aperture, metering, light source, flash, focal length,
// fractions of seconds, colour space, exposure mode, white balance, digital zoom, 35 mm focal
// length, scene type, lens specification, make and model. The pixel dimensions are written anew.
constexpr uint16_t kSafeExif[] = {0x829A, 0x829D, 0x8822, 0x8827, 0x8830, 0x8832, 0x9000, 0x9003, 0x9004,
                                  0x9010, 0x9011, 0x9012, 0x9201, 0x9202, 0x9203, 0x9204, 0x9205, 0x9207,
                                  0x9208, 0x9209, 0x920A, 0x9290, 0x9291, 0x9292, 0xA001, 0xA402, 0xA403,
                                  0xA404, 0xA405, 0xA406, 0xA432, 0xA433, 0xA434};

size_t TypeSize(uint16_t type)
{
    switch (type) {
    case 1: case 2: case 6: case 7: return 1;   // bytes, text, signed bytes, undefined
    case 3: case 8: return 2;                   // shorts
    case 4: case 9: case 11: return 4;          // longs, floats
    case 5: case 10: case 12: return 8;         // rationals, doubles
    default: return 0;
    }
}

struct Entry {
    uint16_t tag = 0;
    uint16_t type = 0;
    uint32_t count = 0;
    size_t at = 0;     // where the entry itself sits
    size_t data = 0;   // where its value sits
    size_t bytes = 0;  // the value's length
};

// A TIFF structure's byte order and bounds-checked reads of its directories.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}

    bool Open()
    {
        if (size_ < 8)
            return false;
        if (std::memcmp(data_, "II*\0", 4) == 0)
            little_ = true;
        else if (std::memcmp(data_, "MM\0*", 4) == 0)
            little_ = false;
        else
            return false;
        return true;
    }
    bool little() const { return little_; }
    uint32_t FirstIfd() const { return U32(4); }

    // The directory's entries whose values lie inside the block; false when the directory
    // itself does not.
    bool Directory(uint32_t offset, std::vector<Entry>& entries) const
    {
        entries.clear();
        if (offset < 8 || offset > size_ - 2)
            return false;
        const uint32_t count = U16(offset);
        if (count > kMostEntries || size_t(offset) + 2 + 12 * size_t(count) > size_)
            return false;
        for (uint32_t i = 0; i < count; ++i) {
            Entry e;
            e.at = size_t(offset) + 2 + 12 * size_t(i);
            e.tag = static_cast<uint16_t>(U16(e.at));
            e.type = static_cast<uint16_t>(U16(e.at + 2));
            e.count = U32(e.at + 4);
            const size_t unit = TypeSize(e.type);
            if (unit == 0 || e.count > size_ / unit)
                continue;
            e.bytes = unit * e.count;
            e.data = e.bytes <= 4 ? e.at + 8 : U32(e.at + 8);
            if (e.data > size_ || e.bytes > size_ - e.data)
                continue;
            entries.push_back(e);
        }
        return true;
    }

    // The single integer an entry holds.
    bool Integer(const Entry& e, uint32_t& value) const
    {
        if (e.count != 1 || (e.type != kShort && e.type != kLong))
            return false;
        value = e.type == kShort ? U16(e.data) : U32(e.data);
        return true;
    }

    uint32_t U16(size_t at) const
    {
        if (at + 2 > size_)
            return 0;
        return little_ ? data_[at] | (uint32_t(data_[at + 1]) << 8) : (uint32_t(data_[at]) << 8) | data_[at + 1];
    }
    uint32_t U32(size_t at) const
    {
        if (at + 4 > size_)
            return 0;
        return little_ ? U16(at) | (U16(at + 2) << 16) : (U16(at) << 16) | U16(at + 2);
    }

private:
    const uint8_t* data_;
    size_t size_;
    bool little_ = true;
};

void Put16(uint8_t* at, uint32_t value, bool little)
{
    at[little ? 0 : 1] = static_cast<uint8_t>(value);
    at[little ? 1 : 0] = static_cast<uint8_t>(value >> 8);
}

void Put32(uint8_t* at, uint32_t value, bool little)
{
    Put16(at + (little ? 0 : 2), value & 0xFFFF, little);
    Put16(at + (little ? 2 : 0), value >> 16, little);
}

// An entry of the block being written: its value already in the block's byte order.
struct NewEntry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    std::vector<uint8_t> value;
};

NewEntry Copied(const uint8_t* tiff, const Entry& e)
{
    return {e.tag, e.type, e.count, std::vector<uint8_t>(tiff + e.data, tiff + e.data + e.bytes)};
}

NewEntry Integer(uint16_t tag, uint16_t type, uint32_t value, bool little)
{
    NewEntry entry{tag, type, 1, std::vector<uint8_t>(type == kShort ? 2 : 4)};
    if (type == kShort)
        Put16(entry.value.data(), value, little);
    else
        Put32(entry.value.data(), value, little);
    return entry;
}

size_t Padded(size_t bytes) { return (bytes + 1) & ~size_t(1); }

// The directory's length with its values stored outside it.
size_t DirectoryBytes(const std::vector<NewEntry>& entries)
{
    size_t bytes = 2 + 12 * entries.size() + 4;
    for (const NewEntry& e : entries)
        if (e.value.size() > 4)
            bytes += Padded(e.value.size());
    return bytes;
}

// Writes the directory (sorted by tag) at `at` with its long values after it; no next directory.
void WriteDirectory(std::vector<uint8_t>& out, size_t at, std::vector<NewEntry>& entries, bool little)
{
    std::sort(entries.begin(), entries.end(), [](const NewEntry& a, const NewEntry& b) { return a.tag < b.tag; });
    Put16(&out[at], static_cast<uint32_t>(entries.size()), little);
    size_t valueAt = at + 2 + 12 * entries.size() + 4;
    for (size_t i = 0; i < entries.size(); ++i) {
        const NewEntry& e = entries[i];
        uint8_t* slot = &out[at + 2 + 12 * i];
        Put16(slot, e.tag, little);
        Put16(slot + 2, e.type, little);
        Put32(slot + 4, e.count, little);
        if (e.value.size() <= 4) {
            std::copy(e.value.begin(), e.value.end(), slot + 8);
        } else {
            Put32(slot + 8, static_cast<uint32_t>(valueAt), little);
            std::copy(e.value.begin(), e.value.end(), out.begin() + static_cast<ptrdiff_t>(valueAt));
            valueAt += Padded(e.value.size());
        }
    }
    Put32(&out[at + 2 + 12 * entries.size()], 0, little);
}

template <size_t N>
bool Listed(const uint16_t (&list)[N], uint16_t tag)
{
    return std::find(std::begin(list), std::end(list), tag) != std::end(list);
}

}  // namespace

std::vector<uint8_t> SafeBlock(const uint8_t* tiff, size_t size, uint32_t width, uint32_t height)
{
    Reader block(tiff, size);
    std::vector<Entry> main;
    if (!block.Open() || !block.Directory(block.FirstIfd(), main))
        return {};
    const bool little = block.little();
    std::vector<NewEntry> mainOut, exifOut;
    uint32_t exifAt = 0;
    for (const Entry& e : main) {
        if (e.tag == kOrientation)
            mainOut.push_back(Integer(kOrientation, kShort, 1, little));
        else if (e.tag == kExifIfd)
            block.Integer(e, exifAt);
        else if (Listed(kSafeMain, e.tag) && e.bytes <= kLongestValue)
            mainOut.push_back(Copied(tiff, e));
    }
    std::vector<Entry> exif;
    if (exifAt && block.Directory(exifAt, exif)) {
        for (const Entry& e : exif) {
            if (e.tag == kPixelWidth || e.tag == kPixelHeight)
                exifOut.push_back(Integer(e.tag, kLong, e.tag == kPixelWidth ? width : height, little));
            else if (Listed(kSafeExif, e.tag) && e.bytes <= kLongestValue)
                exifOut.push_back(Copied(tiff, e));
        }
    }
    if (mainOut.empty() && exifOut.empty())
        return {};
    if (!exifOut.empty())
        mainOut.push_back(Integer(kExifIfd, kLong, 0, little));  // its offset is known below

    const size_t mainBytes = DirectoryBytes(mainOut);
    const size_t exifStart = 8 + mainBytes;
    std::vector<uint8_t> out(exifStart + (exifOut.empty() ? 0 : DirectoryBytes(exifOut)), 0);
    std::memcpy(out.data(), little ? "II*\0" : "MM\0*", 4);
    Put32(&out[4], 8, little);
    for (NewEntry& e : mainOut)
        if (e.tag == kExifIfd)
            Put32(e.value.data(), static_cast<uint32_t>(exifStart), little);
    WriteDirectory(out, 8, mainOut, little);
    if (!exifOut.empty())
        WriteDirectory(out, exifStart, exifOut, little);
    return out;
}

bool ResetPlacement(std::vector<uint8_t>& tiff, uint32_t width, uint32_t height)
{
    Reader block(tiff.data(), tiff.size());
    std::vector<Entry> main;
    if (!block.Open())
        return false;
    if (!block.Directory(block.FirstIfd(), main))
        return true;  // nothing to reset
    const bool little = block.little();
    auto put = [&](const Entry& e, uint32_t value) {
        if (e.type == kShort && value <= 0xFFFF)
            Put16(&tiff[e.data], value, little);
        else if (e.type == kLong)
            Put32(&tiff[e.data], value, little);
    };
    uint32_t exifAt = 0;
    for (const Entry& e : main) {
        uint32_t ignored = 0;
        if (e.tag == kOrientation && block.Integer(e, ignored))
            put(e, 1);
        else if (e.tag == kExifIfd)
            block.Integer(e, exifAt);
    }
    std::vector<Entry> exif;
    if (exifAt && block.Directory(exifAt, exif)) {
        for (const Entry& e : exif) {
            uint32_t ignored = 0;
            if ((e.tag == kPixelWidth || e.tag == kPixelHeight) && block.Integer(e, ignored))
                put(e, e.tag == kPixelWidth ? width : height);
        }
    }
    return true;
}

}  // namespace Vantor::Exif
