#include "Biz/ContentKey.h"

#include "platform/Handles.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace Vantor {
namespace {

constexpr uint64_t kFnvOffset = 1469598103934665603ull;
constexpr uint64_t kFnvPrime = 1099511628211ull;

uint64_t Fnv(uint64_t hash, const uint8_t* data, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        hash = (hash ^ data[i]) * kFnvPrime;
    return hash;
}

UniqueFileHandle OpenForReading(const std::wstring& path)
{
    return UniqueFileHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

// Reads exactly length bytes at offset; false on any shortfall.
bool ReadAt(HANDLE file, uint64_t offset, uint8_t* data, DWORD length)
{
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN))
        return false;
    DWORD done = 0;
    while (done < length) {
        DWORD read = 0;
        if (!ReadFile(file, data + done, length - done, &read, nullptr) || read == 0)
            return false;
        done += read;
    }
    return true;
}

}  // namespace

ContentKey ReadContentKey(const std::wstring& path)
{
    ContentKey key;
    try {
        const UniqueFileHandle file = OpenForReading(path);
        LARGE_INTEGER size{};
        if (!file || !GetFileSizeEx(file.get(), &size))
            return key;
        key.size = static_cast<uint64_t>(size.QuadPart);
        std::vector<uint8_t> buffer(ContentKey::kEdgeBytes);
        uint64_t hash = kFnvOffset;
        if (key.size <= 2ull * ContentKey::kEdgeBytes) {
            buffer.resize(static_cast<size_t>(key.size));
            if (key.size > 0 && !ReadAt(file.get(), 0, buffer.data(), static_cast<DWORD>(key.size)))
                return key;
            hash = Fnv(hash, buffer.data(), buffer.size());
        } else {
            if (!ReadAt(file.get(), 0, buffer.data(), ContentKey::kEdgeBytes))
                return key;
            hash = Fnv(hash, buffer.data(), buffer.size());
            if (!ReadAt(file.get(), key.size - ContentKey::kEdgeBytes, buffer.data(), ContentKey::kEdgeBytes))
                return key;
            hash = Fnv(hash, buffer.data(), buffer.size());
        }
        key.edges = hash;
        key.valid = true;
    } catch (...) {
        key.valid = false;
    }
    return key;
}

bool SameContent(const std::wstring& first, const std::wstring& second)
{
    try {
        const UniqueFileHandle a = OpenForReading(first);
        const UniqueFileHandle b = OpenForReading(second);
        LARGE_INTEGER sizeA{}, sizeB{};
        if (!a || !b || !GetFileSizeEx(a.get(), &sizeA) || !GetFileSizeEx(b.get(), &sizeB) ||
            sizeA.QuadPart != sizeB.QuadPart)
            return false;
        constexpr DWORD kBlock = 1u << 20;
        std::vector<uint8_t> blockA(kBlock), blockB(kBlock);
        for (uint64_t offset = 0; offset < static_cast<uint64_t>(sizeA.QuadPart); offset += kBlock) {
            const DWORD n = static_cast<DWORD>(std::min<uint64_t>(kBlock, sizeA.QuadPart - offset));
            if (!ReadAt(a.get(), offset, blockA.data(), n) || !ReadAt(b.get(), offset, blockB.data(), n) ||
                std::memcmp(blockA.data(), blockB.data(), n) != 0)
                return false;
        }
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace Vantor
