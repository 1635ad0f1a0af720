#include "Biz/MemFile.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

namespace Vantor {

MemFile::MemFile() : buffer_(static_cast<uint8_t*>(std::malloc(1))) {}

MemFile::~MemFile() { close(); }

MemFile::MemFile(MemFile&& other) noexcept
    : buffer_(std::exchange(other.buffer_, nullptr)),
      position_(std::exchange(other.position_, 0)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)),
      ownsBuffer_(other.ownsBuffer_)
{
}

MemFile& MemFile::operator=(MemFile&& other) noexcept
{
    if (this != &other) {
        close();
        buffer_ = std::exchange(other.buffer_, nullptr);
        position_ = std::exchange(other.position_, 0);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
        ownsBuffer_ = other.ownsBuffer_;
    }
    return *this;
}

void MemFile::close()
{
    if (ownsBuffer_)
        std::free(buffer_);
    buffer_ = nullptr;
    position_ = size_ = 0;
    capacity_ = 0;
}

bool MemFile::grow(uint64_t needed)
{
    if (needed <= capacity_)
        return true;
    // The next multiple of 64 KiB above what is needed.
    const uint64_t capacity = (needed & ~uint64_t{0xFFFF}) + 0x10000;
    void* grown = capacity <= uint64_t{std::numeric_limits<int32_t>::max()} ? std::realloc(buffer_, capacity) : nullptr;
    if (!grown) {
        close();
        return false;
    }
    buffer_ = static_cast<uint8_t*>(grown);
    capacity_ = static_cast<uint32_t>(capacity);
    ownsBuffer_ = true;
    return true;
}

bool MemFile::reserve(uint32_t bytes)
{
    return buffer_ && grow(bytes);
}

size_t MemFile::write(const void* source, size_t itemSize, size_t count)
{
    if (!buffer_ || itemSize == 0 || count == 0)
        return 0;
    const uint64_t bytes = uint64_t{itemSize} * count;
    const uint64_t end = uint64_t(position_) + bytes;
    if (bytes / itemSize != count || !grow(end))
        return 0;
    std::memcpy(buffer_ + position_, source, static_cast<size_t>(bytes));
    position_ = static_cast<int32_t>(end);
    if (position_ > size_)
        size_ = position_;
    return count;
}

size_t MemFile::read(void* destination, size_t itemSize, size_t count)
{
    if (!buffer_ || itemSize == 0 || position_ >= size_)
        return 0;
    const size_t available = static_cast<size_t>(size_ - position_);
    const size_t items = std::min(count, available / itemSize);
    std::memcpy(destination, buffer_ + position_, items * itemSize);
    position_ += static_cast<int32_t>(items * itemSize);
    return items;
}

bool MemFile::seek(int64_t offset, int origin)
{
    if (!buffer_)
        return false;
    int64_t base = 0;
    if (origin == SEEK_CUR)
        base = position_;
    else if (origin == SEEK_END)
        base = size_;
    else if (origin != SEEK_SET)
        return false;
    int64_t target = base + offset;
    if (target < 0)
        target = 0;
    if (target > std::numeric_limits<int32_t>::max())
        return false;
    position_ = static_cast<int32_t>(target);
    return true;
}

int MemFile::putC(int c)
{
    const auto byte = static_cast<uint8_t>(c);
    return write(&byte, 1, 1) == 1 ? byte : EOF;
}

int MemFile::getC()
{
    uint8_t byte = 0;
    return read(&byte, 1, 1) == 1 ? byte : EOF;
}

char* MemFile::getLine(char* destination, int length)
{
    if (!buffer_ || length <= 0 || position_ >= size_)
        return nullptr;
    int n = 0;
    while (n < length - 1 && position_ < size_) {
        const char c = static_cast<char>(buffer_[position_++]);
        destination[n++] = c;
        if (c == '\n')
            break;
    }
    destination[n] = '\0';
    return destination;
}

}  // namespace Vantor
