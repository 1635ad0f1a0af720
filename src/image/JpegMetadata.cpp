#include "image/JpegMetadata.h"

namespace Vantor::Jpeg {

bool WithoutMetadata(const uint8_t* data, size_t size, std::vector<uint8_t>& out)
{
    out.clear();
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return false;
    out.reserve(size);
    out.insert(out.end(), data, data + 2);
    size_t at = 2;
    while (at + 4 <= size) {
        if (data[at] != 0xFF)
            break;
        const uint8_t marker = data[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0xDA) {  // the first scan: everything from here is the picture
            out.insert(out.end(), data + at, data + size);
            return true;
        }
        const size_t length = (size_t(data[at + 2]) << 8) | data[at + 3];
        if (length < 2 || length > size - at - 2)
            break;
        const bool application = marker >= 0xE0 && marker <= 0xEF;
        const bool kept = application ? (marker == 0xE0 || marker == 0xEE) : marker != 0xFE;
        if (kept)
            out.insert(out.end(), data + at, data + at + 2 + length);
        at += 2 + length;
    }
    out.clear();
    return false;
}

}  // namespace Vantor::Jpeg
