// Encoding a GDI+ picture to file bytes in memory through the platform's encoders.
#include "image/EncodeImage.h"

#include "image/JpegEncoder.h"
#include "platform/Handles.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>
#include <cwctype>
#include <unordered_map>

namespace Vantor {

namespace {

// The platform's built-in encoders: {557CF40x-1A04-11D3-9A73-0000F81EF32E}, x by format.
constexpr CLSID BuiltInEncoder(unsigned long format)
{
    return {0x557CF400 + format, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
}
constexpr CLSID kBmpEncoder = BuiltInEncoder(0);
constexpr CLSID kJpegEncoder = BuiltInEncoder(1);
constexpr CLSID kGifEncoder = BuiltInEncoder(2);
constexpr CLSID kTiffEncoder = BuiltInEncoder(5);
constexpr CLSID kPngEncoder = BuiltInEncoder(6);

bool EqualsIgnoringCase(const std::wstring& a, const wchar_t* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    return i == a.size() && b[i] == 0;
}

// The whole content of a memory stream, or nothing.
std::shared_ptr<const std::vector<uint8_t>> ReadAll(IStream* stream)
{
    ULARGE_INTEGER end{};
    const LARGE_INTEGER zero{};
    if (FAILED(stream->Seek(zero, STREAM_SEEK_END, &end)) || end.QuadPart == 0 || end.QuadPart > 0x7FFFFFFF)
        return nullptr;
    if (FAILED(stream->Seek(zero, STREAM_SEEK_SET, nullptr)))
        return nullptr;
    auto bytes = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(end.QuadPart), 0);
    ULONG read = 0;
    if (FAILED(stream->Read(bytes->data(), static_cast<ULONG>(bytes->size()), &read)) || read != bytes->size())
        return nullptr;
    return bytes;
}

std::shared_ptr<const std::vector<uint8_t>> Save(Gdiplus::Image& image, const EncoderChoice& choice)
{
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)))
        return nullptr;
    Gdiplus::EncoderParameters parameters{};
    ULONG quality = choice.quality;
    parameters.Count = 1;
    parameters.Parameter[0].Guid = EncoderQualityId();
    parameters.Parameter[0].Type = Gdiplus::EncoderParameterValueTypeLong;
    parameters.Parameter[0].NumberOfValues = 1;
    parameters.Parameter[0].Value = &quality;
    if (image.Save(stream.Get(), &choice.encoder, choice.withQuality ? &parameters : nullptr) != Gdiplus::Ok)
        return nullptr;
    return ReadAll(stream.Get());
}

// --- GIF: an 8-bit indexed copy ---

struct IndexedPicture {
    std::vector<Gdiplus::ARGB> palette;
    std::vector<uint8_t> indices;  // top-down, width per row
};

constexpr Gdiplus::ARGB kTransparent = 0x00000000;

Gdiplus::ARGB Opaque(uint32_t argb)
{
    return (argb >> 24) < 128 ? kTransparent : (argb | 0xFF000000u);
}

// A palette for a picture of many colours by median cut over a histogram of 5 bits per
// channel: the box of colours holding the most pixels over the widest range is split at
// its median until there are as many boxes as entries; each entry is its box's mean.
class MedianCut {
public:
    static constexpr int kBins = 32 * 32 * 32;

    static int Bin(uint32_t argb)
    {
        return static_cast<int>(((argb >> 9) & 0x7C00) | ((argb >> 6) & 0x03E0) | ((argb >> 3) & 0x001F));
    }

    void Add(uint32_t argb)
    {
        Cell& cell = cells_[Bin(argb)];
        ++cell.count;
        cell.r += (argb >> 16) & 0xFF;
        cell.g += (argb >> 8) & 0xFF;
        cell.b += argb & 0xFF;
    }

    // Up to `entries` opaque colours, and for every bin the index of its entry.
    std::vector<Gdiplus::ARGB> Palette(size_t entries, std::vector<uint8_t>& indexOfBin)
    {
        std::vector<Box> boxes{Shrink(Box{0, 31, 0, 31, 0, 31})};
        while (boxes.size() < entries) {
            // The box to split: most pixels times its widest side.
            size_t pick = boxes.size();
            uint64_t best = 0;
            for (size_t i = 0; i < boxes.size(); ++i) {
                const uint64_t score = boxes[i].pixels * static_cast<uint64_t>(boxes[i].Widest());
                if (score > best) {
                    best = score;
                    pick = i;
                }
            }
            if (pick == boxes.size())
                break;  // every box is a single bin
            Box low = boxes[pick], high = boxes[pick];
            SplitAtMedian(boxes[pick], low, high);
            boxes[pick] = Shrink(low);
            boxes.push_back(Shrink(high));
        }
        std::vector<Gdiplus::ARGB> palette;
        indexOfBin.assign(kBins, 0);
        for (const Box& box : boxes) {
            uint64_t n = 0, r = 0, g = 0, b = 0;
            ForEachBin(box, [&](int bin) {
                n += cells_[bin].count;
                r += cells_[bin].r;
                g += cells_[bin].g;
                b += cells_[bin].b;
                indexOfBin[bin] = static_cast<uint8_t>(palette.size());
            });
            if (n == 0)
                n = 1;
            palette.push_back(0xFF000000u | static_cast<uint32_t>((r / n) << 16) | static_cast<uint32_t>((g / n) << 8) |
                              static_cast<uint32_t>(b / n));
        }
        return palette;
    }

private:
    struct Cell {
        uint32_t count = 0;
        uint64_t r = 0, g = 0, b = 0;
    };
    struct Box {
        int r0, r1, g0, g1, b0, b1;
        uint64_t pixels = 0;
        int Widest() const { return std::max({r1 - r0, g1 - g0, b1 - b0}); }
    };

    template <typename F>
    void ForEachBin(const Box& box, F f) const
    {
        for (int r = box.r0; r <= box.r1; ++r)
            for (int g = box.g0; g <= box.g1; ++g)
                for (int b = box.b0; b <= box.b1; ++b)
                    f((r << 10) | (g << 5) | b);
    }

    // The box narrowed to the bins that hold pixels, with its pixel count.
    Box Shrink(Box box) const
    {
        Box out{32, -1, 32, -1, 32, -1, 0};
        ForEachBin(box, [&](int bin) {
            if (!cells_[bin].count)
                return;
            const int r = bin >> 10, g = (bin >> 5) & 31, b = bin & 31;
            out.r0 = std::min(out.r0, r), out.r1 = std::max(out.r1, r);
            out.g0 = std::min(out.g0, g), out.g1 = std::max(out.g1, g);
            out.b0 = std::min(out.b0, b), out.b1 = std::max(out.b1, b);
            out.pixels += cells_[bin].count;
        });
        return out.pixels ? out : box;
    }

    void SplitAtMedian(const Box& box, Box& low, Box& high) const
    {
        const int axis = box.r1 - box.r0 == box.Widest() ? 0 : box.g1 - box.g0 == box.Widest() ? 1 : 2;
        const int from = axis == 0 ? box.r0 : axis == 1 ? box.g0 : box.b0;
        const int to = axis == 0 ? box.r1 : axis == 1 ? box.g1 : box.b1;
        std::vector<uint64_t> slice(32, 0);
        ForEachBin(box, [&](int bin) {
            const int v = axis == 0 ? bin >> 10 : axis == 1 ? (bin >> 5) & 31 : bin & 31;
            slice[v] += cells_[bin].count;
        });
        uint64_t seen = 0;
        int cut = from;
        for (int v = from; v < to; ++v) {
            seen += slice[v];
            cut = v;
            if (seen * 2 >= box.pixels)
                break;
        }
        int* lowEnd = axis == 0 ? &low.r1 : axis == 1 ? &low.g1 : &low.b1;
        int* highStart = axis == 0 ? &high.r0 : axis == 1 ? &high.g0 : &high.b0;
        *lowEnd = cut;
        *highStart = cut + 1;
    }

    std::vector<Cell> cells_ = std::vector<Cell>(kBins);
};

// Exact colours when there are at most 256; otherwise a median-cut palette of 255 colours
// (plus one transparent entry when some pixel is mostly transparent).
IndexedPicture Quantize(const Gdiplus::BitmapData& data)
{
    const UINT width = data.Width;
    const UINT height = data.Height;
    IndexedPicture out;
    out.indices.resize(static_cast<size_t>(width) * height);
    auto row = [&](UINT y) {
        return reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(data.Scan0) + y * data.Stride);
    };

    std::unordered_map<Gdiplus::ARGB, uint8_t> exact;
    bool fits = true;
    for (UINT y = 0; y < height && fits; ++y) {
        const uint32_t* pixels = row(y);
        for (UINT x = 0; x < width; ++x) {
            const Gdiplus::ARGB c = Opaque(pixels[x]);
            auto found = exact.find(c);
            if (found == exact.end()) {
                if (exact.size() == 256) {
                    fits = false;
                    break;
                }
                found = exact.emplace(c, static_cast<uint8_t>(exact.size())).first;
                out.palette.push_back(c);
            }
            out.indices[static_cast<size_t>(y) * width + x] = found->second;
        }
    }
    if (fits)
        return out;

    auto histogram = std::make_unique<MedianCut>();
    for (UINT y = 0; y < height; ++y) {
        const uint32_t* pixels = row(y);
        for (UINT x = 0; x < width; ++x)
            if ((pixels[x] >> 24) >= 128)
                histogram->Add(pixels[x]);
    }
    std::vector<uint8_t> indexOfBin;
    out.palette = histogram->Palette(255, indexOfBin);
    histogram.reset();
    const auto transparentIndex = static_cast<uint8_t>(out.palette.size());
    out.palette.push_back(kTransparent);
    for (UINT y = 0; y < height; ++y) {
        const uint32_t* pixels = row(y);
        uint8_t* target = out.indices.data() + static_cast<size_t>(y) * width;
        for (UINT x = 0; x < width; ++x)
            target[x] = (pixels[x] >> 24) < 128 ? transparentIndex : indexOfBin[MedianCut::Bin(pixels[x])];
    }
    return out;
}

std::unique_ptr<Gdiplus::Bitmap> MakeIndexedCopy(Gdiplus::Image& image)
{
    if (image.GetType() != Gdiplus::ImageTypeBitmap)
        return nullptr;
    auto& source = static_cast<Gdiplus::Bitmap&>(image);
    const UINT width = source.GetWidth();
    const UINT height = source.GetHeight();
    if (width == 0 || height == 0)
        return nullptr;
    Gdiplus::Rect rect(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    Gdiplus::BitmapData data{};
    if (source.LockBits(&rect, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) != Gdiplus::Ok)
        return nullptr;
    IndexedPicture picture;
    try {
        picture = Quantize(data);
    } catch (...) {
        source.UnlockBits(&data);
        return nullptr;
    }
    source.UnlockBits(&data);

    auto indexed = std::make_unique<Gdiplus::Bitmap>(static_cast<INT>(width), static_cast<INT>(height),
                                                     PixelFormat8bppIndexed);
    if (indexed->GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    std::vector<uint8_t> paletteBlock(sizeof(Gdiplus::ColorPalette) + 256 * sizeof(Gdiplus::ARGB), 0);
    auto* palette = reinterpret_cast<Gdiplus::ColorPalette*>(paletteBlock.data());
    palette->Count = static_cast<UINT>(picture.palette.size());
    palette->Flags = 0;
    for (size_t i = 0; i < picture.palette.size(); ++i) {
        palette->Entries[i] = picture.palette[i];
        if ((picture.palette[i] >> 24) != 0xFF)
            palette->Flags |= Gdiplus::PaletteFlagsHasAlpha;
    }
    if (indexed->SetPalette(palette) != Gdiplus::Ok)
        return nullptr;
    Gdiplus::BitmapData target{};
    if (indexed->LockBits(&rect, Gdiplus::ImageLockModeWrite, PixelFormat8bppIndexed, &target) != Gdiplus::Ok)
        return nullptr;
    for (UINT y = 0; y < height; ++y)
        std::copy_n(picture.indices.data() + static_cast<size_t>(y) * width, width,
                    static_cast<uint8_t*>(target.Scan0) + static_cast<ptrdiff_t>(y) * target.Stride);
    indexed->UnlockBits(&target);
    return indexed;
}

// True when the bytes decode again to a picture of the given size.
bool DecodesTo(const std::vector<uint8_t>& bytes, UINT width, UINT height)
{
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)))
        return false;
    ULONG written = 0;
    if (FAILED(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written)) || written != bytes.size())
        return false;
    const LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    Gdiplus::Bitmap decoded(stream.Get());
    if (decoded.GetLastStatus() != Gdiplus::Ok || decoded.GetWidth() != width || decoded.GetHeight() != height)
        return false;
    // Reading the pixels makes the decoder go through the whole file.
    Gdiplus::Rect rect(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    Gdiplus::BitmapData data{};
    if (decoded.LockBits(&rect, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) != Gdiplus::Ok)
        return false;
    decoded.UnlockBits(&data);
    return true;
}

// JPEG through libjpeg-turbo from the bitmap's 32-bit rows (alpha is dropped).
std::shared_ptr<const std::vector<uint8_t>> SaveJpeg(Gdiplus::Image& image, int quality)
{
    if (image.GetType() != Gdiplus::ImageTypeBitmap)
        return nullptr;
    auto& bitmap = static_cast<Gdiplus::Bitmap&>(image);
    Gdiplus::Rect rect(0, 0, static_cast<INT>(bitmap.GetWidth()), static_cast<INT>(bitmap.GetHeight()));
    Gdiplus::BitmapData data{};
    if (bitmap.LockBits(&rect, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) != Gdiplus::Ok)
        return nullptr;
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    bool ok = false;
    try {
        ok = Jpeg::Encode(static_cast<const uint8_t*>(data.Scan0), data.Width, data.Height, data.Stride,
                          Jpeg::Layout::Bgra, quality, Jpeg::DefaultChromaStep(quality), *bytes);
    } catch (...) {
        ok = false;
    }
    bitmap.UnlockBits(&data);
    if (!ok)
        return nullptr;
    return bytes;
}

}  // namespace

const GUID& EncoderQualityId()
{
    // The platform's quality parameter, {1D5BE4B5-FA4A-452D-9CDD-5DB35105E7EB}.
    static constexpr GUID id = {0x1D5BE4B5, 0xFA4A, 0x452D, {0x9C, 0xDD, 0x5D, 0xB3, 0x51, 0x05, 0xE7, 0xEB}};
    return id;
}

ImageFormat FormatOfName(const std::wstring& format)
{
    if (EqualsIgnoringCase(format, L"png"))
        return ImageFormat::Png;
    if (EqualsIgnoringCase(format, L"gif"))
        return ImageFormat::Gif;
    if (EqualsIgnoringCase(format, L"bmp"))
        return ImageFormat::Bmp;
    if (EqualsIgnoringCase(format, L"tiff") || EqualsIgnoringCase(format, L"tif"))
        return ImageFormat::Tiff;
    return ImageFormat::Jpeg;
}

EncoderChoice ChooseEncoder(const std::wstring& format)
{
    switch (FormatOfName(format)) {
    case ImageFormat::Png: return {kPngEncoder, L"image/png", false, 0, false};
    case ImageFormat::Gif: return {kGifEncoder, L"image/gif", false, 0, true};
    case ImageFormat::Bmp: return {kBmpEncoder, L"image/bmp", false, 0, false};
    case ImageFormat::Tiff: return {kTiffEncoder, L"image/tiff", false, 0, false};
    case ImageFormat::Jpeg: break;
    }
    return {kJpegEncoder, L"image/jpeg", true, 100, false};
}

EncodedImage EncodeImage(Gdiplus::Image& image, const std::wstring& format, int jpegQuality)
{
    EncodedImage result;
    try {
        const EncoderChoice choice = ChooseEncoder(format);
        const UINT width = image.GetWidth();
        const UINT height = image.GetHeight();
        if (width == 0 || height == 0)
            return result;
        if (FormatOfName(format) == ImageFormat::Jpeg) {
            result.bytes = SaveJpeg(image, jpegQuality);
            return result;
        }
        if (choice.needsPalette) {
            std::unique_ptr<Gdiplus::Bitmap> indexed = MakeIndexedCopy(image);
            if (!indexed)
                return result;
            auto bytes = Save(*indexed, choice);
            indexed.reset();
            if (bytes && DecodesTo(*bytes, width, height))
                result.bytes = std::move(bytes);
            return result;
        }
        result.bytes = Save(image, choice);
    } catch (...) {  // a failed allocation: no bytes
        result.bytes.reset();
    }
    return result;
}

}  // namespace Vantor
