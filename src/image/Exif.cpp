// Reading the orientation and the date taken from a JPEG's APP1 block or a TIFF header.
#include "image/Exif.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/Handles.h"

namespace Vantor::Exif {

namespace {

// The first part of a file that is read for its EXIF block: the JFIF and EXIF segments come
// first in a JPEG, and one segment is at most 64 KiB.
constexpr size_t kHeadBytes = 256 * 1024;

constexpr uint16_t kTagOrientation = 0x0112;
constexpr uint16_t kTagDateTime = 0x0132;
constexpr uint16_t kTagExifIfd = 0x8769;
constexpr uint16_t kTagDateTimeOriginal = 0x9003;
constexpr uint16_t kTagPreviewOffset = 0x0201;  // JPEGInterchangeFormat
constexpr uint16_t kTagPreviewLength = 0x0202;  // JPEGInterchangeFormatLength
constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTypeLong = 4;
constexpr uint16_t kTypeAscii = 2;

// A TIFF structure: byte order, bounds-checked reads, IFD entries.
class TiffBlock {
public:
    TiffBlock(const uint8_t* data, size_t size) : data_(data), size_(size) {}

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

    uint32_t FirstIfd() const { return U32(4); }
    // The offset of the IFD after the one at ifd; 0 when there is none or it is out of bounds.
    uint32_t NextIfd(uint32_t ifd) const
    {
        if (ifd < 8 || ifd > size_ - 2)
            return 0;
        const size_t at = size_t(ifd) + 2 + 12 * size_t(U16(ifd));
        const uint32_t next = at + 4 <= size_ ? U32(at) : 0;
        return next == ifd ? 0 : next;
    }
    size_t size() const { return size_; }

    struct Entry {
        uint16_t type = 0;
        uint32_t count = 0;
        size_t valueAt = 0;  // where the value (or its offset) sits
    };

    // The entry with the tag in the IFD at the offset; false when absent or out of bounds.
    bool Find(uint32_t ifd, uint16_t tag, Entry& entry) const
    {
        if (ifd < 8 || ifd > size_ - 2)
            return false;
        const uint32_t entries = U16(ifd);
        for (uint32_t i = 0; i < entries; ++i) {
            const size_t at = size_t(ifd) + 2 + 12 * size_t(i);
            if (at + 12 > size_)
                return false;
            if (U16(at) == tag) {
                entry.type = static_cast<uint16_t>(U16(at + 2));
                entry.count = U32(at + 4);
                entry.valueAt = at + 8;
                return true;
            }
        }
        return false;
    }

    // An integer entry of one value (SHORT or LONG).
    bool Integer(uint32_t ifd, uint16_t tag, uint32_t& value) const
    {
        Entry entry;
        if (!Find(ifd, tag, entry) || entry.count != 1)
            return false;
        if (entry.type == kTypeShort)
            value = U16(entry.valueAt);
        else if (entry.type == kTypeLong)
            value = U32(entry.valueAt);
        else
            return false;
        return true;
    }

    // An ASCII entry, without its terminating zero.
    bool Text(uint32_t ifd, uint16_t tag, std::string& text) const
    {
        Entry entry;
        if (!Find(ifd, tag, entry) || entry.type != kTypeAscii || entry.count == 0)
            return false;
        const size_t at = entry.count <= 4 ? entry.valueAt : U32(entry.valueAt);
        if (at > size_ || entry.count > size_ - at)
            return false;
        const char* begin = reinterpret_cast<const char*>(data_ + at);
        text.assign(begin, std::find(begin, begin + entry.count, '\0'));
        return true;
    }

private:
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

    const uint8_t* data_;
    size_t size_;
    bool little_ = true;
};

// "YYYY:MM:DD HH:MM:SS" with digits where digits belong; cameras write blanks or zeros
// when the clock was never set, which is no date.
bool IsDateTime(const std::string& text)
{
    static const char kShape[] = "dddd:dd:dd dd:dd:dd";
    if (text.size() != sizeof(kShape) - 1)
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kShape[i] == 'd' ? !digit : text[i] != kShape[i])
            return false;
    }
    return text.compare(0, 4, "0000") != 0;
}

Info ReadTiff(const uint8_t* data, size_t size)
{
    Info info;
    TiffBlock block(data, size);
    if (!block.Open())
        return info;
    const uint32_t ifd0 = block.FirstIfd();
    uint32_t orientation = 0;
    if (block.Integer(ifd0, kTagOrientation, orientation) && orientation >= 1 && orientation <= 8)
        info.orientation = static_cast<int>(orientation);
    std::string changed;
    if (block.Text(ifd0, kTagDateTime, changed) && IsDateTime(changed))
        info.dateTime = changed;
    uint32_t exifIfd = 0;
    std::string taken;
    if (block.Integer(ifd0, kTagExifIfd, exifIfd) && block.Text(exifIfd, kTagDateTimeOriginal, taken) &&
        IsDateTime(taken))
        info.dateTimeOriginal = taken;
    // The preview: IFD1, the IFD after IFD0.
    const uint32_t ifd1 = block.NextIfd(ifd0);
    uint32_t previewAt = 0, previewLength = 0;
    if (ifd1 && block.Integer(ifd1, kTagPreviewOffset, previewAt) && block.Integer(ifd1, kTagPreviewLength, previewLength) &&
        previewAt >= 8 && previewLength >= 4 && previewAt <= block.size() && previewLength <= block.size() - previewAt) {
        info.previewOffset = previewAt;
        info.previewLength = previewLength;
    }
    return info;
}

// The TIFF structure inside a JPEG's first APP1 segment that starts with "Exif\0\0".
Info ReadJpeg(const uint8_t* data, size_t size)
{
    size_t at = 2;  // after the start-of-image marker
    while (at + 4 <= size) {
        if (data[at] != 0xFF)
            return {};
        const uint8_t marker = data[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9)  // image data or end: no EXIF block before it
            return {};
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // markers without length
            at += 2;
            continue;
        }
        const size_t length = (size_t(data[at + 2]) << 8) | data[at + 3];
        if (length < 2)
            return {};
        const size_t payload = at + 4;
        const size_t payloadSize = length - 2;
        if (marker == 0xE1 && payloadSize >= 6 && payload + 6 <= size && std::memcmp(data + payload, "Exif\0\0", 6) == 0) {
            const size_t end = std::min(size, payload + payloadSize);
            Info info = ReadTiff(data + payload + 6, end - payload - 6);
            if (info.previewLength > 0)
                info.previewOffset += payload + 6;  // from the TIFF structure's start to the file's
            return info;
        }
        at = payload + payloadSize;
    }
    return {};
}

}  // namespace

Placement Placement::Turned(int clockwise) const
{
    Placement turned = *this;
    turned.quarterTurns = (((quarterTurns + clockwise) % 4) + 4) % 4;
    return turned;
}

Placement PlacementOf(int orientation)
{
    switch (orientation) {
    case 2: return {true, 0};   // mirrored
    case 3: return {false, 2};  // upside down
    case 4: return {true, 2};   // mirrored top to bottom
    case 5: return {true, 3};   // transposed
    case 6: return {false, 1};  // needs a clockwise turn
    case 7: return {true, 1};   // transversed
    case 8: return {false, 3};  // needs a counter-clockwise turn
    default: return {};
    }
}

Info Read(const uint8_t* data, size_t size)
{
    if (!data || size < 4)
        return {};
    if (data[0] == 0xFF && data[1] == 0xD8)
        return ReadJpeg(data, size);
    return ReadTiff(data, size);
}

Info ReadFile(const std::wstring& path)
{
    UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return {};
    try {
        std::vector<uint8_t> head(kHeadBytes);
        DWORD read = 0;
        if (!::ReadFile(file.get(), head.data(), static_cast<DWORD>(head.size()), &read, nullptr))
            return {};
        return Read(head.data(), read);
    } catch (...) {
        return {};
    }
}

}  // namespace Vantor::Exif
