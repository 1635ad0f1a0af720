// Decoding picture files for one use, with the size ceiling checked before any decoder runs.
#include "image/PictureLoader.h"

#include "image/CxImage.h"
#include "image/FitSize.h"
#include "image/JpegDecoder.h"
#include "image/PictureExtent.h"
#include "platform/Handles.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace Vantor {

namespace {

// Files above this size are not read: their pixels would exceed the ceiling anyway.
constexpr uint64_t kMaxFileBytes = uint64_t(1) << 28;

int NormalTurns(int turns)
{
    return ((turns % 4) + 4) % 4;
}

// The whole file in movable global memory, ready to be handed to GDI+ as a stream.
class PictureFile {
public:
    bool Open(const std::wstring& path)
    {
        UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER size{};
        if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 ||
            static_cast<uint64_t>(size.QuadPart) > kMaxFileBytes)
            return false;
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(size.QuadPart));
        if (!memory)
            return false;
        if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream_))) {
            GlobalFree(memory);
            return false;
        }
        memory_ = memory;
        data_ = static_cast<uint8_t*>(GlobalLock(memory_));
        if (!data_)
            return false;
        DWORD read = 0;
        if (!ReadFile(file.get(), data_, static_cast<DWORD>(size.QuadPart), &read, nullptr) ||
            read != static_cast<DWORD>(size.QuadPart))
            return false;
        size_ = read;
        ULARGE_INTEGER length{};
        length.QuadPart = read;
        stream_->SetSize(length);
        return true;
    }

    ~PictureFile()
    {
        if (data_)
            GlobalUnlock(memory_);
    }

    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    bool IsJpeg() const { return size_ >= 3 && data_[0] == 0xFF && data_[1] == 0xD8 && data_[2] == 0xFF; }

    // A GDI+ bitmap decoded from the bytes; it keeps the stream for as long as it lives.
    std::shared_ptr<Gdiplus::Bitmap> Decode() const
    {
        const LARGE_INTEGER zero{};
        if (!stream_ || FAILED(stream_->Seek(zero, STREAM_SEEK_SET, nullptr)))
            return nullptr;
        auto bitmap = std::make_unique<Gdiplus::Bitmap>(stream_.Get());
        if (bitmap->GetLastStatus() != Gdiplus::Ok || bitmap->GetFrameDimensionsCount() == 0 ||
            bitmap->GetWidth() == 0 || bitmap->GetHeight() == 0)
            return nullptr;
        ComPtr<IStream> stream = stream_;
        return std::shared_ptr<Gdiplus::Bitmap>(bitmap.release(), [stream](Gdiplus::Bitmap* b) { delete b; });
    }

private:
    ComPtr<IStream> stream_;
    HGLOBAL memory_ = nullptr;
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

// Opens and checks a file: false when it cannot be read, its format cannot be sized or is
// damaged, or the largest picture it can decode to is above the ceiling.
bool OpenChecked(const std::wstring& path, PictureFile& file)
{
    if (!file.Open(path))
        return false;
    PictureExtent extent;
    return ReadPictureExtent(file.data(), file.size(), extent) == ExtentCheck::Known &&
           !ExceedsPictureCeiling(extent.width, extent.height);
}

bool Turn(Gdiplus::Bitmap& bitmap, int turns)
{
    static const Gdiplus::RotateFlipType kTurns[] = {Gdiplus::RotateNoneFlipNone, Gdiplus::Rotate90FlipNone,
                                                     Gdiplus::Rotate180FlipNone, Gdiplus::Rotate270FlipNone};
    turns = NormalTurns(turns);
    return turns == 0 || bitmap.RotateFlip(kTurns[turns]) == Gdiplus::Ok;
}

// Turns the picture; one the platform cannot turn in place (an indexed picture under Wine) is
// replaced by a turned 32-bit copy, drawn pixel for pixel.
bool TurnPicture(std::shared_ptr<Gdiplus::Bitmap>& picture, int turns)
{
    if (Turn(*picture, turns))
        return true;
    const INT width = static_cast<INT>(picture->GetWidth());
    const INT height = static_cast<INT>(picture->GetHeight());
    auto copy = std::make_shared<Gdiplus::Bitmap>(width, height, PixelFormat32bppARGB);
    if (copy->GetLastStatus() != Gdiplus::Ok)
        return false;
    {
        Gdiplus::Graphics graphics(copy.get());
        graphics.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
        graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
        graphics.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
        if (graphics.DrawImage(picture.get(), Gdiplus::Rect(0, 0, width, height), 0, 0, width, height,
                               Gdiplus::UnitPixel) != Gdiplus::Ok)
            return false;
    }
    if (!Turn(*copy, turns))
        return false;
    picture = std::move(copy);
    return true;
}

// Box average of top-down RGB rows into a BGR image of the target size (target <= source).
bool AreaAverage(const Jpeg::Scaled& source, uint32_t width, uint32_t height, CxImage& out)
{
    if (!out.Create(width, height, 24))
        return false;
    const double sx = double(source.width) / width;
    const double sy = double(source.height) / height;
    // Horizontal pass into floats, then vertical.
    std::vector<float> rows(static_cast<size_t>(source.height) * width * 3, 0.0f);
    for (uint32_t j = 0; j < width; ++j) {
        const double from = j * sx, to = std::min<double>(source.width, (j + 1) * sx);
        for (uint32_t x = static_cast<uint32_t>(from); x < source.width && x < to; ++x) {
            const float w = static_cast<float>((std::min<double>(x + 1, to) - std::max<double>(x, from)) / sx);
            for (uint32_t y = 0; y < source.height; ++y) {
                const uint8_t* p = source.rgb.data() + (static_cast<size_t>(y) * source.width + x) * 3;
                float* q = rows.data() + (static_cast<size_t>(y) * width + j) * 3;
                q[0] += w * p[0];
                q[1] += w * p[1];
                q[2] += w * p[2];
            }
        }
    }
    for (uint32_t i = 0; i < height; ++i) {
        const double from = i * sy, to = std::min<double>(source.height, (i + 1) * sy);
        std::vector<float> sum(static_cast<size_t>(width) * 3, 0.0f);
        for (uint32_t y = static_cast<uint32_t>(from); y < source.height && y < to; ++y) {
            const float w = static_cast<float>((std::min<double>(y + 1, to) - std::max<double>(y, from)) / sy);
            const float* q = rows.data() + static_cast<size_t>(y) * width * 3;
            for (size_t k = 0; k < sum.size(); ++k)
                sum[k] += w * q[k];
        }
        uint8_t* target = out.GetBits(height - 1 - i);  // stored bottom-up
        for (uint32_t j = 0; j < width; ++j) {
            target[3 * j] = static_cast<uint8_t>(std::min(255.0f, sum[3 * j + 2] + 0.5f));
            target[3 * j + 1] = static_cast<uint8_t>(std::min(255.0f, sum[3 * j + 1] + 0.5f));
            target[3 * j + 2] = static_cast<uint8_t>(std::min(255.0f, sum[3 * j] + 0.5f));
        }
    }
    return true;
}

// A 32-bit ARGB GDI+ bitmap owning a copy of the image's pixels.
std::shared_ptr<Gdiplus::Image> ArgbBitmapOf(const CxImage& image)
{
    const UINT width = image.GetWidth();
    const UINT height = image.GetHeight();
    auto bitmap = std::make_shared<Gdiplus::Bitmap>(static_cast<INT>(width), static_cast<INT>(height),
                                                    PixelFormat32bppARGB);
    if (bitmap->GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    Gdiplus::Rect rect(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    Gdiplus::BitmapData data{};
    if (bitmap->LockBits(&rect, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB, &data) != Gdiplus::Ok)
        return nullptr;
    for (UINT y = 0; y < height; ++y) {
        const uint8_t* source = image.GetBits(height - 1 - y);
        uint8_t* target = static_cast<uint8_t*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride;
        for (UINT x = 0; x < width; ++x, source += 3, target += 4) {
            target[0] = source[0];
            target[1] = source[1];
            target[2] = source[2];
            target[3] = 255;
        }
    }
    bitmap->UnlockBits(&data);
    return bitmap;
}

bool JpegThumbnail(const PictureFile& file, int turns, int boxWidth, int boxHeight, PictureSummary& summary)
{
    Jpeg::Header header;
    if (!Jpeg::ReadHeader(file.data(), file.size(), header))
        return false;
    const bool sideways = turns % 2 == 1;
    const uint32_t shownW = sideways ? header.height : header.width;
    const uint32_t shownH = sideways ? header.width : header.height;
    const FittedSize fit = FitSize(static_cast<int>(shownW), static_cast<int>(shownH), boxWidth, boxHeight);
    const auto fitW = static_cast<uint32_t>(std::max(1, fit.width));
    const auto fitH = static_cast<uint32_t>(std::max(1, fit.height));
    const uint32_t targetW = sideways ? fitH : fitW;  // before turning
    const uint32_t targetH = sideways ? fitW : fitH;

    Jpeg::Scaled scaled;
    if (!Jpeg::DecodeScaled(file.data(), file.size(), targetW, targetH, scaled))
        return false;
    CxImage small;
    if (!AreaAverage(scaled, targetW, targetH, small))
        return false;
    scaled = Jpeg::Scaled{};
    for (int i = 0; i < turns; ++i)
        if (!small.RotateRight())
            return false;
    summary.thumbnail = ArgbBitmapOf(small);
    if (!summary.thumbnail)
        return false;
    summary.decoded = true;
    summary.width = shownW;
    summary.height = shownH;
    return true;
}

}  // namespace

bool ExceedsPictureCeiling(uint32_t width, uint32_t height)
{
    return static_cast<float>(width) * static_cast<float>(height) * 3.0f > CxImage::kMaxMemory;
}

PictureSummary LoadThumbnail(const std::wstring& path, int quarterTurns, int boxWidth, int boxHeight)
{
    PictureSummary summary;
    try {
        const int turns = NormalTurns(quarterTurns);
        PictureFile file;
        if (!OpenChecked(path, file))
            return summary;
        if (file.IsJpeg() && JpegThumbnail(file, turns, boxWidth, boxHeight, summary))
            return summary;
        summary = PictureSummary{};
        std::shared_ptr<Gdiplus::Bitmap> picture = file.Decode();
        if (!picture || !TurnPicture(picture, turns))
            return summary;
        summary.width = picture->GetWidth();
        summary.height = picture->GetHeight();
        summary.thumbnail = MakeThumbnail(*picture, boxWidth, boxHeight);
        summary.decoded = summary.thumbnail != nullptr;
    } catch (...) {  // a failed allocation: no picture
        summary = PictureSummary{};
    }
    return summary;
}

std::shared_ptr<Gdiplus::Bitmap> LoadPicture(const std::wstring& path, int quarterTurns)
{
    try {
        PictureFile file;
        if (!OpenChecked(path, file))
            return nullptr;
        std::shared_ptr<Gdiplus::Bitmap> picture = file.Decode();
        if (!picture || !TurnPicture(picture, quarterTurns))
            return nullptr;
        return picture;
    } catch (...) {
        return nullptr;
    }
}

std::shared_ptr<Gdiplus::Image> ThumbnailOf(Gdiplus::Bitmap& picture, int boxWidth, int boxHeight)
{
    try {
        return MakeThumbnail(picture, boxWidth, boxHeight);
    } catch (...) {
        return nullptr;
    }
}

}  // namespace Vantor
