#include "picker/ItemDates.h"

#include <windows.h>

#include "image/ExifDate.h"

namespace Vantor {

namespace {

int64_t UnixSeconds(const FILETIME& time)
{
    const uint64_t ticks = (uint64_t(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    if (ticks == 0)
        return 0;
    return static_cast<int64_t>(ticks / 10000000ull) - 11644473600ll;
}

}  // namespace

ItemDates::ItemDates(const std::wstring& path) : path_(path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        created_ = UnixSeconds(data.ftCreationTime);
        written_ = UnixSeconds(data.ftLastWriteTime);
    }
}

void ItemDates::ReadTaken()
{
    if (taken_.load() != kUnknown)
        return;
    const std::optional<int64_t> exif = ExifDateTakenOfFile(path_);
    int64_t expected = kUnknown;
    taken_.compare_exchange_strong(expected, exif ? *exif : written_);
}

int64_t ItemDates::taken()
{
    ReadTaken();
    return taken_.load();
}

}  // namespace Vantor
