#pragma once
// The times an item sorts by: the file's creation and last-write times, read when the item is
// made, and the moment the photo was taken (EXIF), which a loader thread reads later.
#include <atomic>
#include <cstdint>
#include <limits>
#include <string>

namespace Vantor {

class ItemDates {
public:
    // Reads the file's times (0 when they cannot be read). No picture bytes are read here.
    explicit ItemDates(const std::wstring& path);

    int64_t created() const { return created_; }  // seconds since 1970
    int64_t written() const { return written_; }

    bool takenKnown() const { return taken_.load() != kUnknown; }
    // The EXIF date taken, or the last-write time when the file has none. Reads the file's
    // head when no loader has read it yet.
    int64_t taken();
    // Reads the EXIF date once (loader threads); later calls do nothing.
    void ReadTaken();

private:
    static constexpr int64_t kUnknown = std::numeric_limits<int64_t>::min();
    const std::wstring path_;
    int64_t created_ = 0;
    int64_t written_ = 0;
    std::atomic<int64_t> taken_{kUnknown};
};

}  // namespace Vantor
