#pragma once
// Decoding picture files for one use: the size and thumbnail of a file when its record is
// made, and the whole picture when an upload, the editor or the preview needs it.
//
// A JPEG's EXIF orientation is applied wherever its pixels are decoded, and the user's quarter
// turns (counted clockwise, 0 to 3) on top of it, after decoding, so that a turned picture
// costs nothing while nobody looks at it. JPEG thumbnails come from libjpeg-turbo at
// a reduced DCT scale and are then area-averaged; every other format, and any JPEG that
// libjpeg cannot read cleanly, goes through GDI+, except WebP, HEIC and AVIF files, which
// their own libraries decode (a HEIC's thumbnail item serves for its thumbnail when it is
// large enough and has the picture's shape). Every decode takes its share of the
// process's decode budget (DecodeBudget) first, waiting for it when others hold too much; a
// JPEG beyond the decoder's work bounds is refused, and then not given to GDI+ either.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "image/Exif.h"
#include "image/PictureCodecs.h"
#include "image/PictureExtent.h"
#include "platform/Handles.h"

namespace Vantor {

// A picture file read whole into movable global memory, ready for libjpeg and, as a stream,
// for GDI+.
class PictureFile {
public:
    PictureFile() = default;
    PictureFile(const PictureFile&) = delete;
    PictureFile& operator=(const PictureFile&) = delete;
    ~PictureFile();

    // Reads the file; false when it cannot be read, is empty or is too large to be a picture.
    bool Open(const std::wstring& path);
    // Reads it and checks the picture size in its header before any decoder is trusted with
    // it: false also for a damaged header or a picture above the ceiling.
    bool OpenChecked(const std::wstring& path);

    // After a failed Open: the failure may pass (the file locked by another program, unreadable
    // for now, memory short), unlike a file that is missing, empty or too large.
    bool FailedForNow() const { return failedForNow_; }
    // After OpenChecked: the largest size the picture can decode to.
    const PictureExtent& extent() const { return extent_; }

    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    bool IsJpeg() const { return size_ >= 3 && data_[0] == 0xFF && data_[1] == 0xD8 && data_[2] == 0xFF; }
    // The library that decodes it when the platform does not (WebP, HEIF), or none.
    Codecs::Codec codec() const { return Codecs::CodecOf(data_, size_); }
    // How the stored pixels are placed to be seen: a JPEG's EXIF orientation, none otherwise.
    Exif::Placement Placement() const;

    // A GDI+ bitmap decoded from the bytes, not yet placed; it keeps the stream for as long as
    // it lives. Null when it does not decode.
    std::shared_ptr<Gdiplus::Bitmap> Decode() const;

private:
    ComPtr<IStream> stream_;
    HGLOBAL memory_ = nullptr;
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    bool failedForNow_ = false;
    PictureExtent extent_;
};

// Mirrors and turns a GDI+ bitmap in place as the placement says.
bool PlaceBitmap(Gdiplus::Bitmap& bitmap, Exif::Placement placement);
// The same for a decoded picture; one the platform cannot turn in place (an indexed picture
// under Wine) is replaced by a placed 32-bit copy.
bool PlacePicture(std::shared_ptr<Gdiplus::Bitmap>& picture, Exif::Placement placement);

// Largest picture decoded: the raster image's ceiling (width x height x 3 bytes <= 2^28).
bool ExceedsPictureCeiling(uint32_t width, uint32_t height);

// What the platform decoder holds at its peak for a picture of this extent: its own copy and
// the bitmap (about 6 bytes a pixel under Wine), plus `extraPerPixel` for the caller's copies.
uint64_t PlatformDecodeBytes(const PictureExtent& extent, uint32_t extraPerPixel = 0);

struct PictureSummary {
    bool decoded = false;  // the file holds a picture that can be decoded
    uint32_t width = 0;    // of the whole picture as turned
    uint32_t height = 0;
    std::shared_ptr<Gdiplus::Image> thumbnail;  // fitted into the box; null when not decoded
    // Not decoded for a reason that may pass: memory short, the file locked or unreadable,
    // the decode stopped. Worth trying again later, unlike a file that is no picture.
    bool retry = false;
};

// Reads the file and makes its thumbnail fitted into boxWidth x boxHeight (FitSize); the
// whole picture is released before returning. A set stop flag ends the wait for memory and
// the decode early (the summary then says retry).
PictureSummary LoadThumbnail(const std::wstring& path, int quarterTurns, int boxWidth, int boxHeight,
                             const std::atomic<bool>* stop = nullptr);

// The preview a JPEG carries in its EXIF block, as a stand-in thumbnail until the picture is
// decoded: fitted into the box exactly as LoadThumbnail will fit the picture (so one takes the
// other's place unchanged), placed by the EXIF orientation and the turns. Only the first part
// of the file is read, and the small preview decoded, without a share of the decode budget.
// Not decoded (no preview) when there is none, when it is smaller than the fitted size, or
// when its aspect ratio is more than 1% from the picture's (a stale or cropped preview).
PictureSummary LoadPreview(const std::wstring& path, int quarterTurns, int boxWidth, int boxHeight);

// The whole picture, placed as seen and turned; null when the file cannot be decoded, is above
// the ceiling, or is a JPEG beyond the decoder's work bounds. JPEGs go through libjpeg-turbo
// (GDI+ only for those it cannot read cleanly), everything else through GDI+. The caller
// holds it only for as long as the operation needs it.
std::shared_ptr<Gdiplus::Bitmap> LoadPicture(const std::wstring& path, int quarterTurns);

// A thumbnail of a picture already decoded (after an edit), turned and fitted.
std::shared_ptr<Gdiplus::Image> ThumbnailOf(Gdiplus::Bitmap& picture, int boxWidth, int boxHeight);

}  // namespace Vantor
