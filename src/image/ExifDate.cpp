// The date a photo was taken as a moment: the EXIF reader's date texts, checked and counted
// in seconds.
#include "image/ExifDate.h"

#include "image/Exif.h"

namespace Vantor {

namespace {

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

// DateTimeOriginal, or the IFD0 DateTime when that is all the camera wrote.
std::optional<int64_t> DateOf(const Exif::Info& info)
{
    for (const std::string* text : {&info.dateTimeOriginal, &info.dateTime})
        if (text->size() >= 19)
            if (const auto moment = ParseDate(reinterpret_cast<const uint8_t*>(text->data()), 19))
                return moment;
    return std::nullopt;
}

}  // namespace

std::optional<int64_t> ExifDateTaken(const uint8_t* data, size_t size)
{
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return std::nullopt;
    return DateOf(Exif::Read(data, size));
}

std::optional<int64_t> ExifDateTakenOfFile(const std::wstring& path)
{
    return DateOf(Exif::ReadFile(path));
}

}  // namespace Vantor
