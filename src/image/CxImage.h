#pragma once
// The in-memory raster image: 24-bit (or 1-, 4-, 8-bit palette) rows stored bottom-up in one
// block laid out as a DIB (BITMAPINFOHEADER, palette, pixels), plus an optional alpha plane.
//
// Every operation works in place, or writes into a destination image when one is given; a
// failed operation returns false, keeps a last-error text and leaves its input unchanged.
// Coordinates inside the pixel accessors count rows from the bottom, as stored; Crop takes
// top-down picture coordinates. Nothing here touches windows or threads.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace Vantor {

class CxImage {
public:
    // Largest pixel block Create accepts (bytes of the padded rows), and largest alpha plane.
    static constexpr float kMaxMemory = 268435456.0f;

    CxImage() = default;
    CxImage(const CxImage& other);
    CxImage& operator=(const CxImage& other);
    CxImage(CxImage&& other) noexcept;
    CxImage& operator=(CxImage&& other) noexcept;
    ~CxImage() = default;

    // --- building ---
    // A zero-filled image; depth 0-1 gives 1, 2-4 gives 4, 5-8 gives 8, above 8 gives 24.
    // An existing alpha plane is re-created (opaque) at the new size.
    bool Create(uint32_t width, uint32_t height, uint32_t bitsPerPixel);
    // From memory: depth 1, 4, 8, 24 or 32 (32 fills the alpha plane from the fourth byte).
    // With flip, the array's first row becomes the top row of the picture.
    bool CreateFromArray(const uint8_t* array, uint32_t width, uint32_t height, uint32_t bitsPerPixel,
                         uint32_t bytesPerRow, bool flip);
    // Makes this image a deep copy of the source.
    bool Copy(const CxImage& source, bool copyPixels = true, bool copySelection = true, bool copyAlpha = true);
    // Decodes a PNG file held in memory. Pictures with an alpha channel (or a transparent
    // colour) end as 24-bit pixels with an alpha plane; all others as plain 24-bit pixels.
    bool DecodePng(const void* data, size_t size);
    void Destroy();

    // --- what it holds ---
    bool IsValid() const { return block_ != nullptr; }
    uint32_t GetWidth() const { return width_; }
    uint32_t GetHeight() const { return height_; }
    uint32_t GetBpp() const { return bpp_; }
    uint32_t GetEffWidth() const { return stride_; }  // bytes per stored row
    uint32_t GetNumColors() const { return colors_; }
    // Start of stored row y (0 = bottom row); null when out of range.
    uint8_t* GetBits(uint32_t y = 0);
    const uint8_t* GetBits(uint32_t y = 0) const;
    const BITMAPINFOHEADER* GetInfoHeader() const;
    RGBQUAD* GetPalette();
    const RGBQUAD* GetPalette() const;
    void SetPaletteColor(uint8_t index, uint8_t r, uint8_t g, uint8_t b);
    void SetGrayPalette();
    // Colour of pixel (x, y), y counted from the bottom; alpha in rgbReserved (255 without a plane).
    RGBQUAD GetPixelColor(uint32_t x, uint32_t y) const;
    uint8_t GetPixelIndex(uint32_t x, uint32_t y) const;  // palette images only
    void SetPixelIndex(uint32_t x, uint32_t y, uint8_t index);

    bool AlphaIsValid() const { return alpha_ != nullptr; }
    void AlphaCreate();  // opaque plane; keeps an existing one
    void AlphaDelete() { alpha_.reset(); }
    uint8_t* AlphaGetPointer(uint32_t x = 0, uint32_t y = 0);
    const uint8_t* AlphaGetPointer(uint32_t x = 0, uint32_t y = 0) const;

    RGBQUAD GetBkColor() const { return bkColor_; }
    void SetBkColor(RGBQUAD color) { bkColor_ = color; }
    int32_t GetTransIndex() const { return bkIndex_; }
    void SetTransIndex(int32_t index) { bkIndex_ = index; }
    // Below 24 bits with a transparent index: that palette entry; otherwise the background colour.
    RGBQUAD GetTransColor() const;

    const char* GetLastError() const { return lastError_.c_str(); }

    // --- operations ---
    bool Light(int32_t brightness, int32_t contrast = 0);
    bool Saturate(int32_t saturation, int32_t colorSpace = 1);
    // Mode 1: nearest pixel; mode 0: bilinear, or area averaging for a 24-bit shrink both ways.
    bool Resample(int32_t newWidth, int32_t newHeight, int32_t mode = 1, CxImage* destination = nullptr);
    // Fits the picture into the box keeping its aspect (never enlarging) and pads it to the box.
    bool Thumbnail(int32_t width, int32_t height, RGBQUAD canvasColor, CxImage* destination = nullptr);
    // Enlarges the canvas around the centred picture.
    bool Expand(int32_t newWidth, int32_t newHeight, RGBQUAD canvasColor, CxImage* destination = nullptr);
    bool RotateLeft(CxImage* destination = nullptr);   // a quarter turn counter-clockwise
    bool RotateRight(CxImage* destination = nullptr);  // a quarter turn clockwise
    // Keeps the rectangle (top-down coordinates, right and bottom exclusive).
    bool Crop(int32_t left, int32_t top, int32_t right, int32_t bottom, CxImage* destination = nullptr);
    bool GrayScale();

    // --- GDI ---
    // A new DIB section holding the pixels (24-bit bottom-up, or 32-bit with alpha when
    // transparency is asked and there is a plane); the caller owns it. Null on failure.
    HBITMAP MakeBitmap(HDC dc = nullptr, bool transparency = false) const;
    // Paints at (x, y); a negative width or height means the picture's own size. Composites
    // by the alpha plane (or the transparent index) over what the device context holds.
    bool Draw(HDC dc, int32_t x, int32_t y, int32_t width = -1, int32_t height = -1) const;

    // Colour conversions used by Saturate (bytes H, S, L in 0..255 in rgbRed, rgbGreen, rgbBlue).
    static RGBQUAD RGBtoHSL(RGBQUAD color);
    static RGBQUAD HSLtoRGB(RGBQUAD hsl);

private:
    struct BlockDeleter {
        void operator()(uint8_t* block) const;
    };
    using Block = std::unique_ptr<uint8_t, BlockDeleter>;
    using Plane = std::unique_ptr<uint8_t, BlockDeleter>;

    static Block Allocate(size_t bytes);
    void SetError(const char* text);
    void TakeFrom(CxImage& other);  // exchange storage with a finished temporary
    void CopyAttributes(const CxImage& source);
    // Steps the geometry operations share. CreateLike makes `image` the given size in this
    // image's depth, palette and attributes; CreateAlphaIn gives it an opaque alpha plane; both
    // keep the error here and return false on failure. Deliver hands the finished image to the
    // destination, or (without one, or when it is this image) takes it in place of this one,
    // keeping this image's last error.
    bool CreateLike(CxImage& image, uint32_t width, uint32_t height);
    bool CreateAlphaIn(CxImage& image);
    void Deliver(CxImage& image, CxImage* destination);
    // The quarter turns' shared body: the two mappings name which source pixel lands where.
    template <typename SourceColumn, typename SourceRow>
    bool QuarterTurn(CxImage* destination, SourceColumn sourceColumn, SourceRow sourceRow);
    uint8_t NearestIndex(RGBQUAD color) const;
    bool IsGrayScale() const;

    Block block_;
    Plane alpha_;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    uint32_t bpp_ = 0;
    uint32_t stride_ = 0;
    uint32_t colors_ = 0;
    RGBQUAD bkColor_{0, 0, 0, 0};
    int32_t bkIndex_ = -1;
    std::string lastError_;
};

}  // namespace Vantor
