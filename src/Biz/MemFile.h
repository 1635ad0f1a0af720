#pragma once
// A growable file in memory: the text parts of a request body are built in one.
//
// The buffer grows to the next multiple of 64 KiB above the size a write needs. When memory
// runs out the write returns 0 and the file is left without a buffer (size() is then -1).
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace Vantor {

class MemFile {
public:
    MemFile();
    ~MemFile();
    MemFile(MemFile&& other) noexcept;
    MemFile& operator=(MemFile&& other) noexcept;
    MemFile(const MemFile&) = delete;
    MemFile& operator=(const MemFile&) = delete;

    // Frees the buffer (when owned) and empties the file.
    void close();
    // Items of itemSize bytes, as for fread/fwrite; the number of whole items done.
    size_t read(void* destination, size_t itemSize, size_t count);
    size_t write(const void* source, size_t itemSize, size_t count);
    // origin is SEEK_SET, SEEK_CUR or SEEK_END; a negative result is clamped to 0.
    bool seek(int64_t offset, int origin);
    int32_t tell() const { return position_; }
    // Bytes written so far, or -1 when there is no buffer.
    int32_t size() const { return buffer_ ? size_ : -1; }
    uint32_t capacity() const { return capacity_; }
    bool flush() { return true; }
    bool eof() const { return position_ >= size_; }
    bool error() const { return buffer_ == nullptr; }
    int putC(int c);
    int getC();
    // Reads up to length - 1 bytes, stopping after a line feed; null at the end.
    char* getLine(char* destination, int length);

    const uint8_t* buffer() const { return buffer_; }
    bool reserve(uint32_t bytes);

private:
    bool grow(uint64_t needed);

    uint8_t* buffer_ = nullptr;
    int32_t position_ = 0;
    int32_t size_ = 0;
    uint32_t capacity_ = 0;
    bool ownsBuffer_ = true;
};

}  // namespace Vantor
