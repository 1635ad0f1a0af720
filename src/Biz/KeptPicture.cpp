#include "Biz/KeptPicture.h"

#include <windows.h>

#include <vector>

namespace Vantor {
namespace {

UniqueFileHandle NewTemporaryFile()
{
    wchar_t folder[MAX_PATH + 1] = {};
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH, folder);
    if (length == 0 || length > MAX_PATH || !GetTempFileNameW(folder, L"flt", 0, path))
        return {};
    UniqueFileHandle file(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!file)
        DeleteFileW(path);
    return file;
}

bool WriteAll(HANDLE file, const uint8_t* data, uint32_t size)
{
    uint32_t done = 0;
    while (done < size) {
        DWORD written = 0;
        const DWORD want = std::min<uint32_t>(size - done, 1u << 24);
        if (!WriteFile(file, data + done, want, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

bool ReadAll(HANDLE file, uint8_t* data, uint32_t size)
{
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
        return false;
    uint32_t done = 0;
    while (done < size) {
        DWORD read = 0;
        const DWORD want = std::min<uint32_t>(size - done, 1u << 24);
        if (!ReadFile(file, data + done, want, &read, nullptr) || read == 0)
            return false;
        done += read;
    }
    return true;
}

}  // namespace

void KeptPicture::keep(ImageData::UploadPicture picture)
{
    file_.reset();
    size_ = picture.encoded.size();
    width_ = picture.width;
    height_ = picture.height;
    memory_ = std::make_shared<const ImageData::UploadPicture>(std::move(picture));
}

std::shared_ptr<const ImageData::UploadPicture> KeptPicture::take()
{
    if (memory_ || !file_)
        return memory_;
    try {
        auto bytes = std::make_shared<std::vector<uint8_t>>(size_);
        if (!ReadAll(file_.get(), bytes->data(), size_))
            return nullptr;
        ImageData::UploadPicture picture;
        picture.encoded.bytes = std::move(bytes);
        picture.width = width_;
        picture.height = height_;
        memory_ = std::make_shared<const ImageData::UploadPicture>(std::move(picture));
        return memory_;
    } catch (...) {
        return nullptr;  // no memory for it now
    }
}

void KeptPicture::park()
{
    if (!memory_)
        return;
    if (!file_) {
        UniqueFileHandle file = NewTemporaryFile();
        if (!file || !WriteAll(file.get(), memory_->encoded.data(), size_))
            return;  // kept in memory
        file_ = std::move(file);
    }
    memory_.reset();
}

}  // namespace Vantor
