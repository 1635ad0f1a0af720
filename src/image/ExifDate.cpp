// A small EXIF reader: the JPEG markers up to the first APP1 "Exif" segment, its TIFF
// header, IFD0 and the EXIF sub-IFD, each offset checked against the segment's bounds.
#include "image/ExifDate.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/Handles.h"

namespace Vantor {

namespace {

constexpr uint16_t kTagDateTime = 0x0132;
constexpr uint16_t kTagExifIfd = 0x8769;
constexpr uint16_t kTagDateTimeOriginal = 0x9003;
constexpr uint16_t kTypeAscii = 2;
constexpr uint16_t kTypeLong = 4;
constexpr size_t kFileHead = 128 * 1024;

class TiffReader {
public:
    TiffReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool ReadHeader()
    {
        if (size_ < 8)
            return false;
        if (data_[0] == 'I' && data_[1] == 'I')
            little_ = true;
        else if (data_[0] == 'M' && data_[1] == 'M')
            little_ = false;
        else
            return false;
        return U16(2) == 42;
    }
    uint32_t FirstIfd() const { return U32(4); }

    // The entry of `tag` in the IFD at `offset`: its type, count and value field position.
    bool FindEntry(uint32_t offset, uint16_t tag, uint16_t& type, uint32_t& count, uint32_t& valueAt) const
    {
        if (offset > size_ || size_ - offset < 2)
            return false;
        const uint32_t entries = U16(offset);
        for (uint32_t i = 0; i < entries; ++i) {
            const uint64_t at = uint64_t(offset) + 2 + uint64_t(i) * 12;
            if (at + 12 > size_)
                return false;
            if (U16(static_cast<size_t>(at)) == tag) {
                type = U16(static_cast<size_t>(at + 2));
                count = U32(static_cast<size_t>(at + 4));
                valueAt = static_cast<uint32_t>(at + 8);
                return true;
            }
        }
        return false;
    }

    uint32_t U16(size_t at) const
    {
        return little_ ? data_[at] | (data_[at + 1] << 8) : (data_[at] << 8) | data_[at + 1];
    }
    uint32_t U32(size_t at) const
    {
        return little_ ? U16(at) | (U16(at + 2) << 16) : (U16(at) << 16) | U16(at + 2);
    }
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

private:
    const uint8_t* data_;
    size_t size_;
    bool little_ = true;
};

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

// "YYYY:MM:DD HH:MM:SS"
std::optional<int64_t> ParseDate(const uint8_t* text, size_t length)
{
    if (length < 19)
        return std::nullopt;
    int values[6] = {};
    const int widths[6] = {4, 2, 2, 2, 2, 2};
    const char separators[6] = {':', ':', ' ', ':', ':', '\0'};
    size_t at = 0;
    for (int field = 0; field < 6; ++field) {
        int value = 0;
        for (int i = 0; i < widths[field]; ++i, ++at) {
            if (text[at] < '0' || text[at] > '9')
                return std::nullopt;
            value = value * 10 + (text[at] - '0');
        }
        values[field] = value;
        if (separators[field] != '\0' && text[at++] != static_cast<uint8_t>(separators[field]))
            return std::nullopt;
    }
    if (values[0] < 1 || values[1] < 1 || values[1] > 12 || values[2] < 1 || values[2] > 31 || values[3] > 23 ||
        values[4] > 59 || values[5] > 60)
        return std::nullopt;
    return DaysFromCivil(values[0], values[1], values[2]) * 86400 + values[3] * 3600 + values[4] * 60 + values[5];
}

std::optional<int64_t> AsciiDate(const TiffReader& tiff, uint32_t ifd, uint16_t tag)
{
    uint16_t type = 0;
    uint32_t count = 0, valueAt = 0;
    if (!tiff.FindEntry(ifd, tag, type, count, valueAt) || type != kTypeAscii || count < 19)
        return std::nullopt;
    const uint32_t offset = tiff.U32(valueAt);  // 20 bytes never fit the 4-byte value field
    if (offset > tiff.size() || tiff.size() - offset < 19)
        return std::nullopt;
    return ParseDate(tiff.data() + offset, 19);
}

std::optional<int64_t> DateInTiff(const uint8_t* data, size_t size)
{
    TiffReader tiff(data, size);
    if (!tiff.ReadHeader())
        return std::nullopt;
    const uint32_t ifd0 = tiff.FirstIfd();
    uint16_t type = 0;
    uint32_t count = 0, valueAt = 0;
    if (tiff.FindEntry(ifd0, kTagExifIfd, type, count, valueAt) && type == kTypeLong) {
        if (const auto taken = AsciiDate(tiff, tiff.U32(valueAt), kTagDateTimeOriginal))
            return taken;
    }
    return AsciiDate(tiff, ifd0, kTagDateTime);
}

}  // namespace

std::optional<int64_t> ExifDateTaken(const uint8_t* data, size_t size)
{
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return std::nullopt;
    size_t at = 2;
    while (at + 4 <= size) {
        if (data[at] != 0xFF)
            return std::nullopt;
        const uint8_t marker = data[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA)  // end of image, start of scan: no EXIF before it
            return std::nullopt;
        const size_t length = (size_t(data[at + 2]) << 8) | data[at + 3];
        if (length < 2 || at + 2 + length > size)
            return std::nullopt;
        const uint8_t* segment = data + at + 4;
        const size_t segmentSize = length - 2;
        if (marker == 0xE1 && segmentSize >= 6 && std::memcmp(segment, "Exif\0\0", 6) == 0)
            return DateInTiff(segment + 6, segmentSize - 6);
        at += 2 + length;
    }
    return std::nullopt;
}

std::optional<int64_t> ExifDateTakenOfFile(const std::wstring& path)
{
    const UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return std::nullopt;
    std::vector<uint8_t> head(kFileHead);
    DWORD read = 0;
    if (!ReadFile(file.get(), head.data(), static_cast<DWORD>(head.size()), &read, nullptr))
        return std::nullopt;
    return ExifDateTaken(head.data(), read);
}

}  // namespace Vantor
