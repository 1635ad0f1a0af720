#pragma once
// Recognising the same picture under another path (a copy in another folder, the card and
// its backup) by its content, cheaply: the size first, then a hash of the first and last
// 64 KiB; only files that agree on both are compared byte for byte. Reading a photo's two
// ends costs two small reads, so a batch of 300 additions reads about 40 MB, not the whole files.
//
// File reads: call these off the window thread.
#include <cstdint>
#include <string>

namespace Vantor {

struct ContentKey {
    static constexpr uint32_t kEdgeBytes = 64 * 1024;

    bool valid = false;  // false: the file could not be read (such files match nothing)
    uint64_t size = 0;
    uint64_t edges = 0;  // FNV-1a of the first and last kEdgeBytes (the whole file when smaller)

    bool operator==(const ContentKey& other) const
    {
        return valid && other.valid && size == other.size && edges == other.edges;
    }
};

ContentKey ReadContentKey(const std::wstring& path);

// Byte for byte; false when either cannot be read.
bool SameContent(const std::wstring& first, const std::wstring& second);

}  // namespace Vantor
