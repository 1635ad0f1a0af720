// Decoding picture files for one use, with the size ceiling checked before any decoder runs.
#include "image/PictureLoader.h"

#include "image/CxImage.h"
#include "image/DecodeBudget.h"
#include "image/FitSize.h"
#include "image/GdiplusBridge.h"
#include "image/JpegDecoder.h"
#include "image/PictureExtent.h"
#include "image/PixelOps.h"
#include "platform/Handles.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace Vantor {

namespace {

// Files above this size are not read: their pixels would exceed the ceiling anyway.
constexpr uint64_t kMaxFileBytes = uint64_t(1) << 28;
// What is read of a JPEG for its preview: the EXIF block is one segment of at most 64 KiB,
// and the frame header follows the few segments after it.
constexpr size_t kPreviewHeadBytes = 192 * 1024;
// A preview larger than this is no small preview: it is left to the real decode.
constexpr uint64_t kMaxPreviewPixels = 1024 * 1024;

int NormalTurns(int turns)
{
    return ((turns % 4) + 4) % 4;
}

// Opens and checks a file: false when it cannot be read, its format cannot be sized or is
// damaged, or the largest picture it can decode to is above the ceiling.
bool OpenChecked(const std::wstring& path, PictureFile& file, PictureExtent& extent)
{
    if (!file.Open(path))
        return false;
    return ReadPictureExtent(file.data(), file.size(), extent) == ExtentCheck::Known &&
           !ExceedsPictureCeiling(extent.width, extent.height);
}

// A 32-bit copy of the picture, drawn pixel for pixel.
std::shared_ptr<Gdiplus::Bitmap> ArgbCopy(Gdiplus::Bitmap& picture)
{
    const INT width = static_cast<INT>(picture.GetWidth());
    const INT height = static_cast<INT>(picture.GetHeight());
    auto copy = std::make_shared<Gdiplus::Bitmap>(width, height, PixelFormat32bppARGB);
    if (copy->GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    Gdiplus::Graphics graphics(copy.get());
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    graphics.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
    if (graphics.DrawImage(&picture, Gdiplus::Rect(0, 0, width, height), 0, 0, width, height, Gdiplus::UnitPixel) !=
        Gdiplus::Ok)
        return nullptr;
    return copy;
}

// Box average of top-down RGB rows into RGB rows of the target size (target <= source).
bool AreaAverage(const Pixels& source, uint32_t width, uint32_t height, Pixels& out)
{
    out.width = width;
    out.height = height;
    out.channels = 3;
    out.data.assign(size_t(width) * height * 3, 0);
    const double sx = double(source.width) / width;
    const double sy = double(source.height) / height;
    // Horizontal pass into floats, then vertical.
    std::vector<float> rows(static_cast<size_t>(source.height) * width * 3, 0.0f);
    for (uint32_t j = 0; j < width; ++j) {
        const double from = j * sx, to = std::min<double>(source.width, (j + 1) * sx);
        for (uint32_t x = static_cast<uint32_t>(from); x < source.width && x < to; ++x) {
            const float w = static_cast<float>((std::min<double>(x + 1, to) - std::max<double>(x, from)) / sx);
            for (uint32_t y = 0; y < source.height; ++y) {
                const uint8_t* p = source.row(y) + size_t(x) * 3;
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
        uint8_t* target = out.row(i);
        for (size_t k = 0; k < sum.size(); ++k)
            target[k] = static_cast<uint8_t>(std::min(255.0f, sum[k] + 0.5f));
    }
    return true;
}

Jpeg::Outcome JpegThumbnail(const PictureFile& file, int turns, int boxWidth, int boxHeight,
                            const std::atomic<bool>* stop, PictureSummary& summary)
{
    Jpeg::Header header;
    if (!Jpeg::ReadHeader(file.data(), file.size(), header))
        return Jpeg::Outcome::Failed;
    const Exif::Placement placement = file.Placement().Turned(turns);
    const bool sideways = placement.Swaps();
    const uint32_t shownW = sideways ? header.height : header.width;
    const uint32_t shownH = sideways ? header.width : header.height;
    const FittedSize fit = FitSize(static_cast<int>(shownW), static_cast<int>(shownH), boxWidth, boxHeight);
    const auto fitW = static_cast<uint32_t>(std::max(1, fit.width));
    const auto fitH = static_cast<uint32_t>(std::max(1, fit.height));
    const uint32_t targetW = sideways ? fitH : fitW;  // before placing
    const uint32_t targetH = sideways ? fitW : fitH;

    uint32_t scaledW = 0, scaledH = 0;
    Jpeg::ScaledSize(header, targetW, targetH, scaledW, scaledH);
    // The scaled rows, the area average's float rows and the small copies.
    const uint64_t bytes = Jpeg::DecodeBytes(header, scaledW, scaledH) + uint64_t(scaledH) * targetW * 12 +
                           uint64_t(targetW) * targetH * 12;
    const DecodeBudget::Share share = DecodeBudget::Process().Acquire(bytes, stop);
    if (!share)
        return Jpeg::Outcome::Stopped;
    Jpeg::Limits limits;
    limits.stop = stop;
    Pixels scaled;
    const Jpeg::Outcome outcome = Jpeg::DecodeBounded(file.data(), file.size(), targetW, targetH, limits, scaled);
    if (outcome != Jpeg::Outcome::Decoded)
        return outcome;
    Pixels small;
    if (!AreaAverage(scaled, targetW, targetH, small))
        return Jpeg::Outcome::Failed;
    scaled = Pixels{};
    Pixels placed;
    if (!PlacePixels(small, placement, placed))
        return Jpeg::Outcome::Failed;
    summary.thumbnail = BitmapFromPixels(placed);
    if (!summary.thumbnail)
        return Jpeg::Outcome::Failed;
    summary.decoded = true;
    summary.width = shownW;
    summary.height = shownH;
    return Jpeg::Outcome::Decoded;
}

// The first part of a file, where a JPEG keeps its EXIF block and its frame header.
bool ReadHead(const std::wstring& path, std::vector<uint8_t>& head)
{
    UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return false;
    head.resize(kPreviewHeadBytes);
    DWORD read = 0;
    if (!::ReadFile(file.get(), head.data(), static_cast<DWORD>(head.size()), &read, nullptr))
        return false;
    head.resize(read);
    return read > 4;
}

// WebP, HEIC and AVIF files: the thumbnail item the file carries when one serves, else the
// whole picture decoded and shrunk.
Codecs::Outcome CodecThumbnail(const PictureFile& file, int turns, int boxWidth, int boxHeight,
                               const std::atomic<bool>* stop, PictureSummary& summary)
{
    const Codecs::Codec codec = file.codec();
    const Exif::Placement placement = Exif::Placement{}.Turned(turns);
    Pixels decoded;
    uint32_t width = 0, height = 0;
    {
        // HEIF thumbnail items are small, but the file's structures are read whole; a WebP
        // decoded small still holds a lossless picture's whole rows.
        const uint64_t bytes =
            codec == Codecs::Codec::Webp ? Codecs::CodecDecodeBytes(codec, file.extent()) : uint64_t(4) << 20;
        const DecodeBudget::Share share = DecodeBudget::Process().Acquire(bytes, stop);
        if (!share)
            return Codecs::Outcome::Stopped;
        const auto longSide = static_cast<uint32_t>(std::max(boxWidth, boxHeight));
        Codecs::DecodeThumbnail(codec, file.data(), file.size(), longSide, decoded, width, height);
    }
    std::optional<DecodeBudget::Share> share;
    if (decoded.empty()) {
        share = DecodeBudget::Process().Acquire(Codecs::CodecDecodeBytes(codec, file.extent()), stop);
        if (!*share)
            return Codecs::Outcome::Stopped;
        const Codecs::Outcome outcome = Codecs::Decode(codec, file.data(), file.size(), decoded, stop);
        if (outcome != Codecs::Outcome::Decoded)
            return outcome;
        width = decoded.width;
        height = decoded.height;
    }
    const uint32_t shownW = placement.Swaps() ? height : width;
    const uint32_t shownH = placement.Swaps() ? width : height;
    const FittedSize fit = FitSize(static_cast<int>(shownW), static_cast<int>(shownH), boxWidth, boxHeight);
    const auto fitW = static_cast<uint32_t>(std::max(1, fit.width));
    const auto fitH = static_cast<uint32_t>(std::max(1, fit.height));
    Pixels small;
    if (!ResizePixels(decoded, placement.Swaps() ? fitH : fitW, placement.Swaps() ? fitW : fitH, small))
        return Codecs::Outcome::NoMemory;
    decoded = Pixels{};
    Pixels placed;
    if (!PlacePixels(small, placement, placed))
        return Codecs::Outcome::NoMemory;
    summary.thumbnail = BitmapFromPixels(placed);
    if (!summary.thumbnail)
        return Codecs::Outcome::NoMemory;
    summary.decoded = true;
    summary.width = shownW;
    summary.height = shownH;
    return Codecs::Outcome::Decoded;
}

// The whole picture of a WebP, HEIC or AVIF file as a platform bitmap, turned.
std::shared_ptr<Gdiplus::Bitmap> CodecPicture(const PictureFile& file, int turns)
{
    const Codecs::Codec codec = file.codec();
    const uint64_t bytes = Codecs::CodecDecodeBytes(codec, file.extent()) + PlatformDecodeBytes(file.extent());
    const DecodeBudget::Share share = DecodeBudget::Process().Acquire(bytes);
    Pixels decoded;
    if (Codecs::Decode(codec, file.data(), file.size(), decoded) != Codecs::Outcome::Decoded)
        return nullptr;
    const Exif::Placement placement = Exif::Placement{}.Turned(turns);
    if (!placement.IsIdentity()) {
        Pixels placed;
        if (!PlacePixels(decoded, placement, placed))
            return nullptr;
        decoded = std::move(placed);
    }
    return std::shared_ptr<Gdiplus::Bitmap>(BitmapFromPixels(decoded));
}

// The whole picture through libjpeg, within the decoder's work bounds, placed and turned.
// Failed leaves the file to GDI+; any other outcome but Decoded ends the load.
Jpeg::Outcome JpegPicture(const PictureFile& file, int turns, std::shared_ptr<Gdiplus::Bitmap>& picture)
{
    Jpeg::Header header;
    if (!Jpeg::ReadHeader(file.data(), file.size(), header))
        return Jpeg::Outcome::Failed;
    const Exif::Placement placement = file.Placement().Turned(turns);
    // Held while the caller holds the picture would be right, but the picture outlives this
    // call: the share covers the decode, the placed copy and the bitmap made of it.
    const uint64_t pixels = uint64_t(header.width) * header.height;
    uint64_t bytes = Jpeg::DecodeBytes(header, header.width, header.height) + pixels * 4;
    if (!placement.IsIdentity())
        bytes += pixels * 3;
    const DecodeBudget::Share share = DecodeBudget::Process().Acquire(bytes);
    Pixels decoded;
    const Jpeg::Outcome outcome =
        Jpeg::DecodeBounded(file.data(), file.size(), header.width, header.height, Jpeg::Limits{}, decoded);
    if (outcome != Jpeg::Outcome::Decoded)
        return outcome;
    if (!placement.IsIdentity()) {
        Pixels placed;
        if (!PlacePixels(decoded, placement, placed))
            return Jpeg::Outcome::NoMemory;
        decoded = std::move(placed);
    }
    std::unique_ptr<Gdiplus::Bitmap> bitmap = BitmapFromPixels(decoded);
    if (!bitmap)
        return Jpeg::Outcome::NoMemory;
    picture = std::move(bitmap);
    return Jpeg::Outcome::Decoded;
}

}  // namespace

bool PictureFile::Open(const std::wstring& path)
{
    failedForNow_ = false;
    UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        failedForNow_ = error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND && error != ERROR_INVALID_NAME;
        return false;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 ||
        static_cast<uint64_t>(size.QuadPart) > kMaxFileBytes)
        return false;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(size.QuadPart));
    if (!memory) {
        failedForNow_ = true;
        return false;
    }
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
        read != static_cast<DWORD>(size.QuadPart)) {
        failedForNow_ = true;  // a region locked by another program, a network folder gone for a moment
        return false;
    }
    size_ = read;
    ULARGE_INTEGER length{};
    length.QuadPart = read;
    stream_->SetSize(length);
    return true;
}

PictureFile::~PictureFile()
{
    if (data_)
        GlobalUnlock(memory_);
}

std::shared_ptr<Gdiplus::Bitmap> PictureFile::Decode() const
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

bool PictureFile::OpenChecked(const std::wstring& path)
{
    return Vantor::OpenChecked(path, *this, extent_);
}

Exif::Placement PictureFile::Placement() const
{
    if (!IsJpeg())
        return {};
    return Exif::PlacementOf(Exif::Read(data_, size_).orientation);
}

bool PlaceBitmap(Gdiplus::Bitmap& bitmap, Exif::Placement placement)
{
    // Two plain steps rather than GDI+'s combined turn-and-mirror types, which Wine maps
    // differently from Windows (Rotate270FlipX comes out as a plain transpose).
    static const Gdiplus::RotateFlipType kTurns[] = {Gdiplus::RotateNoneFlipNone, Gdiplus::Rotate90FlipNone,
                                                     Gdiplus::Rotate180FlipNone, Gdiplus::Rotate270FlipNone};
    if (placement.mirror && bitmap.RotateFlip(Gdiplus::RotateNoneFlipX) != Gdiplus::Ok)
        return false;
    const int turns = placement.quarterTurns & 3;
    return turns == 0 || bitmap.RotateFlip(kTurns[turns]) == Gdiplus::Ok;
}

bool PlacePicture(std::shared_ptr<Gdiplus::Bitmap>& picture, Exif::Placement placement)
{
    if (placement.IsIdentity())
        return true;
    if (!Gdiplus::IsIndexedPixelFormat(picture->GetPixelFormat())) {
        if (PlaceBitmap(*picture, placement))
            return true;
        if (placement.mirror)
            return false;  // it may be mirrored already: not copied in that state
    }
    std::shared_ptr<Gdiplus::Bitmap> copy = ArgbCopy(*picture);
    if (!copy || !PlaceBitmap(*copy, placement))
        return false;
    picture = std::move(copy);
    return true;
}

bool ExceedsPictureCeiling(uint32_t width, uint32_t height)
{
    return static_cast<float>(width) * static_cast<float>(height) * 3.0f > CxImage::kMaxMemory;
}

uint64_t PlatformDecodeBytes(const PictureExtent& extent, uint32_t extraPerPixel)
{
    return static_cast<uint64_t>(extent.width) * extent.height * (6u + extraPerPixel);
}

PictureSummary LoadThumbnail(const std::wstring& path, int quarterTurns, int boxWidth, int boxHeight,
                             const std::atomic<bool>* stop)
{
    PictureSummary summary;
    try {
        const int turns = NormalTurns(quarterTurns);
        PictureFile file;
        if (!file.OpenChecked(path)) {
            summary.retry = file.FailedForNow();
            return summary;
        }
        if (file.codec() != Codecs::Codec::None) {
            const Codecs::Outcome outcome = CodecThumbnail(file, turns, boxWidth, boxHeight, stop, summary);
            if (outcome == Codecs::Outcome::Decoded)
                return summary;
            summary = PictureSummary{};
            summary.retry = outcome != Codecs::Outcome::Failed;
            return summary;
        }
        if (file.IsJpeg()) {
            const Jpeg::Outcome outcome = JpegThumbnail(file, turns, boxWidth, boxHeight, stop, summary);
            if (outcome == Jpeg::Outcome::Decoded)
                return summary;
            summary = PictureSummary{};
            // Refused work is not handed to GDI+, nor memory that ran short.
            if (outcome != Jpeg::Outcome::Failed) {
                summary.retry = outcome != Jpeg::Outcome::TooMuchWork;
                return summary;
            }
        }
        // An indexed picture is placed through a 32-bit copy.
        const DecodeBudget::Share share = DecodeBudget::Process().Acquire(PlatformDecodeBytes(file.extent(), 4), stop);
        if (!share) {
            summary.retry = true;
            return summary;
        }
        std::shared_ptr<Gdiplus::Bitmap> picture = file.Decode();
        if (!picture || !PlacePicture(picture, file.Placement().Turned(turns)))
            return summary;
        summary.width = picture->GetWidth();
        summary.height = picture->GetHeight();
        summary.thumbnail = MakeThumbnail(*picture, boxWidth, boxHeight);
        summary.decoded = summary.thumbnail != nullptr;
    } catch (...) {  // a failed allocation: no picture for now
        summary = PictureSummary{};
        summary.retry = true;
    }
    return summary;
}

bool SameShape(uint32_t w1, uint32_t h1, uint32_t w2, uint32_t h2)
{
    // Within 1% of the picture's aspect ratio: w1 / h1 against w2 / h2, in integers.
    const uint64_t a = uint64_t(w1) * h2, b = uint64_t(w2) * h1;
    const uint64_t difference = a > b ? a - b : b - a;
    return difference * 100 <= b;
}

PictureSummary LoadPreview(const std::wstring& path, int quarterTurns, int boxWidth, int boxHeight)
{
    PictureSummary summary;
    try {
        std::vector<uint8_t> head;
        if (!ReadHead(path, head) || head[0] != 0xFF || head[1] != 0xD8 || head[2] != 0xFF)
            return summary;
        const Exif::Info exif = Exif::Read(head.data(), head.size());
        if (exif.previewLength == 0 || exif.previewOffset + exif.previewLength > head.size())
            return summary;
        Jpeg::Header picture, preview;
        if (!Jpeg::ReadHeader(head.data(), head.size(), picture) || picture.width == 0 || picture.height == 0)
            return summary;
        const uint8_t* previewData = head.data() + exif.previewOffset;
        if (!Jpeg::ReadHeader(previewData, exif.previewLength, preview) || preview.width == 0 || preview.height == 0 ||
            uint64_t(preview.width) * preview.height > kMaxPreviewPixels)
            return summary;
        // Both are stored as the camera saw them and placed alike, so their stored shapes must
        // agree: a preview of another shape was cropped or is stale.
        if (!SameShape(preview.width, preview.height, picture.width, picture.height))
            return summary;
        const Exif::Placement placement = Exif::PlacementOf(exif.orientation).Turned(NormalTurns(quarterTurns));
        const bool sideways = placement.Swaps();
        const uint32_t shownW = sideways ? picture.height : picture.width;
        const uint32_t shownH = sideways ? picture.width : picture.height;
        // Fitted as the decoded thumbnail will be, so that it takes its place without a change.
        const FittedSize fit = FitSize(static_cast<int>(shownW), static_cast<int>(shownH), boxWidth, boxHeight);
        const auto fitW = static_cast<uint32_t>(std::max(1, fit.width));
        const auto fitH = static_cast<uint32_t>(std::max(1, fit.height));
        const uint32_t targetW = sideways ? fitH : fitW;
        const uint32_t targetH = sideways ? fitW : fitH;
        if (preview.width < targetW || preview.height < targetH)
            return summary;  // it would have to be enlarged
        Jpeg::Limits limits;
        Pixels decoded;
        if (Jpeg::DecodeBounded(previewData, exif.previewLength, targetW, targetH, limits, decoded) !=
            Jpeg::Outcome::Decoded)
            return summary;
        Pixels small;
        if (!AreaAverage(decoded, targetW, targetH, small))
            return summary;
        Pixels placed;
        if (!PlacePixels(small, placement, placed))
            return summary;
        summary.thumbnail = BitmapFromPixels(placed);
        summary.decoded = summary.thumbnail != nullptr;
        summary.width = shownW;
        summary.height = shownH;
    } catch (...) {
        summary = PictureSummary{};
    }
    return summary;
}

std::shared_ptr<Gdiplus::Bitmap> LoadPicture(const std::wstring& path, int quarterTurns)
{
    try {
        const int turns = NormalTurns(quarterTurns);
        PictureFile file;
        if (!file.OpenChecked(path))
            return nullptr;
        if (file.codec() != Codecs::Codec::None)
            return CodecPicture(file, turns);
        if (file.IsJpeg()) {
            std::shared_ptr<Gdiplus::Bitmap> picture;
            const Jpeg::Outcome outcome = JpegPicture(file, turns, picture);
            if (outcome == Jpeg::Outcome::Decoded)
                return picture;
            if (outcome != Jpeg::Outcome::Failed)
                return nullptr;  // GDI+ would do the same work, or need the same memory
        }
        // The share covers the platform's decode and the placing, the peak of the two copies
        // (the picture outlives it, as in JpegPicture).
        const DecodeBudget::Share share = DecodeBudget::Process().Acquire(PlatformDecodeBytes(file.extent(), 4));
        std::shared_ptr<Gdiplus::Bitmap> picture = file.Decode();
        if (!picture || !PlacePicture(picture, file.Placement().Turned(turns)))
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
