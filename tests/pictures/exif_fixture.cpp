#include "exif_fixture.h"

#include <algorithm>

namespace testpics {

namespace {

class Writer {
public:
    explicit Writer(bool little) : little_(little) {}
    void U16(uint32_t v)
    {
        if (little_) {
            bytes.push_back(uint8_t(v));
            bytes.push_back(uint8_t(v >> 8));
        } else {
            bytes.push_back(uint8_t(v >> 8));
            bytes.push_back(uint8_t(v));
        }
    }
    void U32(uint32_t v)
    {
        if (little_) {
            U16(v & 0xFFFF);
            U16(v >> 16);
        } else {
            U16(v >> 16);
            U16(v & 0xFFFF);
        }
    }
    // One IFD entry; `value` is the value itself (SHORT, left-aligned) or an offset.
    void Entry(uint16_t tag, uint16_t type, uint32_t count, uint32_t value)
    {
        U16(tag);
        U16(type);
        U32(count);
        if (type == 3 && count == 1) {
            U16(value);
            U16(0);
        } else {
            U32(value);
        }
    }
    std::vector<uint8_t> bytes;

private:
    bool little_;
};

}  // namespace

std::vector<uint8_t> ExifTiff(const ExifFields& fields)
{
    Writer w(fields.littleEndian);
    w.bytes = fields.littleEndian ? std::vector<uint8_t>{'I', 'I'} : std::vector<uint8_t>{'M', 'M'};
    w.U16(42);
    w.U32(8);
    const bool withDate = !fields.dateTimeOriginal.empty();
    const uint16_t count = (fields.orientation ? 1 : 0) + (withDate ? 1 : 0);
    const uint32_t ifd0End = 8 + 2 + 12 * count + 4;
    w.U16(count);
    if (fields.orientation)
        w.Entry(0x0112, 3, 1, static_cast<uint32_t>(fields.orientation));
    if (withDate)
        w.Entry(0x8769, 4, 1, ifd0End);
    w.U32(0);  // no next IFD
    if (withDate) {
        const uint32_t dataAt = ifd0End + 2 + 12 + 4;
        w.U16(1);
        w.Entry(0x9003, 2, static_cast<uint32_t>(fields.dateTimeOriginal.size() + 1), dataAt);
        w.U32(0);
        w.bytes.insert(w.bytes.end(), fields.dateTimeOriginal.begin(), fields.dateTimeOriginal.end());
        w.bytes.push_back(0);
    }
    if (!fields.preview.empty()) {
        if (w.bytes.size() % 2)
            w.bytes.push_back(0);
        const auto ifd1 = static_cast<uint32_t>(w.bytes.size());
        // IFD0's pointer to the next IFD, written above as 0.
        Writer next(fields.littleEndian);
        next.U32(ifd1);
        std::copy(next.bytes.begin(), next.bytes.end(), w.bytes.begin() + (ifd0End - 4));
        const uint32_t dataAt = ifd1 + 2 + 2 * 12 + 4;
        w.U16(2);
        w.Entry(0x0201, 4, 1, dataAt);
        w.Entry(0x0202, 4, 1, static_cast<uint32_t>(fields.preview.size()));
        w.U32(0);
        w.bytes.insert(w.bytes.end(), fields.preview.begin(), fields.preview.end());
    }
    return w.bytes;
}

std::vector<uint8_t> WithExif(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& tiff)
{
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    const size_t length = 2 + 6 + tiff.size();
    out.insert(out.end(), {0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length)});
    out.insert(out.end(), {'E', 'x', 'i', 'f', 0, 0});
    out.insert(out.end(), tiff.begin(), tiff.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

}  // namespace testpics
