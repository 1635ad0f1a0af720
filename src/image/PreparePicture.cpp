// Preparing one picture file for upload: the JPEG path through libjpeg-turbo, the GDI+ path
// for everything else, and the cases where the file's own bytes go out.
#include "image/PreparePicture.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "image/DecodeBudget.h"
#include "image/GdiplusBridge.h"
#include "image/JpegDecoder.h"
#include "image/JpegEncoder.h"
#include "image/JpegMetadata.h"
#include "image/PictureLoader.h"
#include "image/PictureCodecs.h"
#include "image/PixelOps.h"

namespace Vantor {

namespace {

// The format the bytes themselves are in, by signature; false for anything else.
bool FormatOfBytes(const uint8_t* data, size_t size, ImageFormat& format)
{
    auto starts = [&](const char* signature, size_t length) {
        return size >= length && std::memcmp(data, signature, length) == 0;
    };
    if (starts("\xFF\xD8\xFF", 3))
        format = ImageFormat::Jpeg;
    else if (starts("\x89PNG\r\n\x1a\n", 8))
        format = ImageFormat::Png;
    else if (starts("GIF87a", 6) || starts("GIF89a", 6))
        format = ImageFormat::Gif;
    else if (starts("BM", 2))
        format = ImageFormat::Bmp;
    else if (starts("II*\0", 4) || starts("MM\0*", 4))
        format = ImageFormat::Tiff;
    else
        return false;
    return true;
}

bool KeepsFormat(const PictureFile& file, ImageFormat sentAs)
{
    ImageFormat own;
    return FormatOfBytes(file.data(), file.size(), own) && own == sentAs;
}

PreparedPicture Original(const PictureFile& file, uint32_t width, uint32_t height)
{
    PreparedPicture result;
    result.encoded.bytes = std::make_shared<const std::vector<uint8_t>>(file.data(), file.data() + file.size());
    result.width = width;
    result.height = height;
    result.original = true;
    return result;
}

// The encoded JPEG with what the page keeps of its source's metadata; unchanged for none.
// False when memory ran out.
bool CarryMetadata(EncodedImage& encoded, const Jpeg::SourceMetadata& source, MetadataKept kept, uint32_t width,
                   uint32_t height)
{
    if (kept == MetadataKept::None || source.empty() || encoded.empty())
        return true;
    try {
        const std::vector<uint8_t> segments = Jpeg::MetadataSegments(source, kept, width, height);
        if (segments.empty())
            return true;
        auto bytes = std::make_shared<std::vector<uint8_t>>(*encoded.bytes);
        if (Jpeg::InsertSegments(*bytes, segments))
            encoded.bytes = std::move(bytes);
        return true;
    } catch (...) {
        return false;
    }
}

Jpeg::SourceMetadata MetadataOfFile(const PictureFile& file)
{
    if (file.IsJpeg())
        return Jpeg::ReadMetadata(file.data(), file.size());
    if (file.codec() != Codecs::Codec::None)
        return Codecs::Metadata(file.codec(), file.data(), file.size());
    return {};
}

// The metadata of the user's own picture: the file prepared, or the one an edit was made of.
Jpeg::SourceMetadata MetadataOf(const PictureFile& file, const PictureSource& source)
{
    if (source.metadataPath.empty() || source.metadataPath == source.path)
        return MetadataOfFile(file);
    PictureFile own;
    if (!own.OpenChecked(source.metadataPath))
        return {};
    return MetadataOfFile(own);
}

// The decoded picture shrunk to the size; null on failure.
std::unique_ptr<Gdiplus::Bitmap> Shrunk(Gdiplus::Bitmap& bitmap, uint32_t width, uint32_t height)
{
    Pixels source;
    if (!PremultipliedPixelsOf(bitmap, source))
        return nullptr;
    Pixels small;
    if (!ResizePixels(source, width, height, small))
        return nullptr;
    source = Pixels{};
    return BitmapFromPixels(small);
}

uint32_t FrameCount(Gdiplus::Image& image)
{
    const UINT dimensions = image.GetFrameDimensionsCount();
    if (dimensions == 0)
        return 0;
    std::vector<GUID> ids(dimensions);
    if (image.GetFrameDimensionsList(ids.data(), dimensions) != Gdiplus::Ok)
        return 0;
    return image.GetFrameCount(&ids[0]);
}

// JPEG files: decoded at the smallest DCT scale that still covers the size sent, resampled
// to it exactly, placed, encoded. Failed when libjpeg cannot decode the file cleanly (GDI+
// may still); any other outcome but Decoded ends the preparation.
Jpeg::Outcome PrepareJpeg(const PictureFile& file, const Jpeg::Header& header, Exif::Placement placement,
                          const LimitedSize& size, const std::wstring& format, int quality, MetadataKept kept,
                          const std::atomic<bool>* stop, PreparedPicture& result)
{
    const uint32_t decodeWidth = placement.Swaps() ? size.height : size.width;  // before placing
    const uint32_t decodeHeight = placement.Swaps() ? size.width : size.height;

    // At the peak: the decode, then a resampled and a placed copy, then the encoded bytes
    // (the library's growing buffer and the copy taken of it).
    uint32_t scaledW = 0, scaledH = 0;
    Jpeg::ScaledSize(header, decodeWidth, decodeHeight, scaledW, scaledH);
    const uint64_t rows = uint64_t(decodeWidth) * decodeHeight * 3;
    uint64_t bytes = Jpeg::DecodeBytes(header, scaledW, scaledH) + rows / 2;
    if (scaledW != decodeWidth || scaledH != decodeHeight)
        bytes += rows + uint64_t(scaledW) * scaledH * 3;
    if (!placement.IsIdentity())
        bytes += rows;
    const DecodeBudget::Share share = DecodeBudget::Process().Acquire(bytes, stop);
    if (!share)
        return Jpeg::Outcome::Stopped;

    Jpeg::Limits limits;
    limits.stop = stop;
    Pixels pixels;
    const Jpeg::Outcome decoded =
        Jpeg::DecodeBounded(file.data(), file.size(), decodeWidth, decodeHeight, limits, pixels);
    if (decoded != Jpeg::Outcome::Decoded)
        return decoded;
    const Jpeg::Outcome failed = stop && stop->load() ? Jpeg::Outcome::Stopped : Jpeg::Outcome::NoMemory;
    if (pixels.width != decodeWidth || pixels.height != decodeHeight) {
        Pixels resized;
        if (!ResizePixels(pixels, decodeWidth, decodeHeight, resized))
            return failed;
        pixels = std::move(resized);
    }
    if (!placement.IsIdentity()) {
        Pixels placed;
        if (!PlacePixels(pixels, placement, placed))
            return failed;
        pixels = std::move(placed);
    }
    result.width = pixels.width;
    result.height = pixels.height;
    if (FormatOfName(format) == ImageFormat::Jpeg) {
        // As much colour detail as the source had, unless the quality asked is low.
        const Jpeg::ChromaStep fallback = Jpeg::DefaultChromaStep(quality);
        Jpeg::ChromaStep step{std::max(header.chromaStepX, fallback.x), std::max(header.chromaStepY, fallback.y)};
        if (placement.Swaps())
            std::swap(step.x, step.y);
        auto encoded = std::make_shared<std::vector<uint8_t>>();
        if (!Jpeg::Encode(pixels.data.data(), pixels.width, pixels.height, static_cast<ptrdiff_t>(pixels.rowBytes()),
                          Jpeg::Layout::Rgb, quality, step, *encoded, stop))
            return stop && stop->load() ? Jpeg::Outcome::Stopped : Jpeg::Outcome::NoMemory;
        result.encoded.bytes = std::move(encoded);
        if (kept != MetadataKept::None &&
            !CarryMetadata(result.encoded, Jpeg::ReadMetadata(file.data(), file.size()), kept, result.width,
                           result.height))
            return Jpeg::Outcome::NoMemory;
        return Jpeg::Outcome::Decoded;
    }
    // A JPEG file sent as another format (its name says so): through the platform's encoder.
    std::unique_ptr<Gdiplus::Bitmap> bitmap = BitmapFromPixels(pixels);
    pixels = Pixels{};
    if (!bitmap)
        return failed;
    result.encoded = EncodeImage(*bitmap, format, quality);
    return result.encoded.empty() ? failed : Jpeg::Outcome::Decoded;
}

// An untouched JPEG's own compressed data with only the metadata kept, once a bounded decode at the
// smallest scale has read all of it cleanly (a damaged file is not sent as it stands).
Jpeg::Outcome KeptJpegData(const PictureFile& file, const Jpeg::Header& header, MetadataKept kept,
                           const std::atomic<bool>* stop, PreparedPicture& result)
{
    uint32_t scaledW = 0, scaledH = 0;
    Jpeg::ScaledSize(header, 1, 1, scaledW, scaledH);
    const DecodeBudget::Share share =
        DecodeBudget::Process().Acquire(Jpeg::DecodeBytes(header, scaledW, scaledH) + file.size(), stop);
    if (!share)
        return Jpeg::Outcome::Stopped;
    Jpeg::Limits limits;
    limits.stop = stop;
    Pixels check;
    const Jpeg::Outcome outcome = Jpeg::DecodeBounded(file.data(), file.size(), 1, 1, limits, check);
    if (outcome != Jpeg::Outcome::Decoded)
        return outcome;
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    if (!Jpeg::WithMetadata(file.data(), file.size(), kept, *bytes))
        return Jpeg::Outcome::Failed;
    result.encoded.bytes = std::move(bytes);
    result.width = header.width;
    result.height = header.height;
    return Jpeg::Outcome::Decoded;
}

// WebP, HEIC and AVIF files: their own bytes when the page asks for originals and nothing
// changes them; otherwise decoded by their library, turned, shrunk and encoded, as JPEG
// unless the user chose another format in the editor.
PreparedPicture PrepareCodec(const PictureFile& file, const PictureSource& source, const PrepareOptions& options,
                             const std::atomic<bool>* stop)
{
    const Codecs::Codec codec = file.codec();
    const Exif::Placement placement = Exif::Placement{}.Turned(source.quarterTurns);
    uint32_t width = 0, height = 0;
    if (!Codecs::ReadSize(codec, file.data(), file.size(), width, height))
        return {};
    if (placement.Swaps())
        std::swap(width, height);
    const LimitedSize size = FitLimits(width, height, options.maxWidth, options.maxHeight);
    const bool untouched = !source.edited && source.quarterTurns % 4 == 0;
    const bool original =
        options.sendOriginal && untouched && !size.shrunk && Codecs::IsCodecFormatName(source.format);

    // The library's planes and picture, a shrunk and a turned copy, the encoded bytes.
    const uint64_t rows = uint64_t(width) * height * 4;
    const DecodeBudget::Share share =
        DecodeBudget::Process().Acquire(Codecs::CodecDecodeBytes(codec, file.extent()) + rows * 2, stop);
    if (!share)
        return {};
    // An original too is decoded first: a file whose structures read well but whose picture
    // does not decode (a damaged sequence header, coded data cut short) is not sent at all.
    Pixels pixels;
    if (Codecs::Decode(codec, file.data(), file.size(), pixels, stop) != Codecs::Outcome::Decoded)
        return {};
    if (original) {
        pixels = Pixels{};
        return Original(file, width, height);
    }
    if (size.shrunk) {
        Pixels resized;
        if (!ResizePixels(pixels, placement.Swaps() ? size.height : size.width,
                          placement.Swaps() ? size.width : size.height, resized))
            return {};
        pixels = std::move(resized);
    }
    if (!placement.IsIdentity()) {
        Pixels placed;
        if (!PlacePixels(pixels, placement, placed))
            return {};
        pixels = std::move(placed);
    }
    PreparedPicture result;
    result.width = pixels.width;
    result.height = pixels.height;
    const ImageFormat sentAs = Codecs::IsCodecFormatName(source.format) ? ImageFormat::Jpeg : FormatOfName(source.format);
    if (sentAs == ImageFormat::Jpeg) {
        auto encoded = std::make_shared<std::vector<uint8_t>>();
        if (!Jpeg::Encode(pixels.data.data(), pixels.width, pixels.height, static_cast<ptrdiff_t>(pixels.rowBytes()),
                          pixels.channels == 4 ? Jpeg::Layout::Bgra : Jpeg::Layout::Rgb, options.jpegQuality,
                          Jpeg::DefaultChromaStep(options.jpegQuality), *encoded, stop))
            return {};
        result.encoded.bytes = std::move(encoded);
        if (options.metadata != MetadataKept::None &&
            !CarryMetadata(result.encoded, Codecs::Metadata(codec, file.data(), file.size()), options.metadata,
                           result.width, result.height))
            return {};
        return result;
    }
    std::unique_ptr<Gdiplus::Bitmap> bitmap = BitmapFromPixels(pixels);
    pixels = Pixels{};
    if (!bitmap)
        return {};
    result.encoded = EncodeImage(*bitmap, source.format, options.jpegQuality);
    return result.encoded.empty() ? PreparedPicture{} : result;
}

}  // namespace

PreparedPicture PreparePicture(const PictureSource& source, const PrepareOptions& options,
                               const std::atomic<bool>* stop)
{
    try {
        PictureFile file;
        if (!file.OpenChecked(source.path))
            return {};
        if (file.codec() != Codecs::Codec::None)
            return PrepareCodec(file, source, options, stop);
        const ImageFormat sentAs = FormatOfName(source.format);
        const bool untouched = !source.edited && source.quarterTurns % 4 == 0;
        const Exif::Placement placement = file.Placement().Turned(source.quarterTurns);

        Jpeg::Header header;
        if (file.IsJpeg() && Jpeg::ReadHeader(file.data(), file.size(), header)) {
            const uint32_t width = placement.Swaps() ? header.height : header.width;
            const uint32_t height = placement.Swaps() ? header.width : header.height;
            const LimitedSize size = FitLimits(width, height, options.maxWidth, options.maxHeight);
            if (options.sendOriginal && untouched && !size.shrunk && sentAs == ImageFormat::Jpeg)
                return Original(file, width, height);
            if (options.keepJpegData && untouched && !size.shrunk && sentAs == ImageFormat::Jpeg &&
                placement.IsIdentity()) {
                PreparedPicture kept;
                const Jpeg::Outcome outcome = KeptJpegData(file, header, options.metadata, stop, kept);
                if (outcome == Jpeg::Outcome::Decoded)
                    return kept;
                if (outcome != Jpeg::Outcome::Failed)
                    return {};
            }
            PreparedPicture result;
            const Jpeg::Outcome outcome =
                PrepareJpeg(file, header, placement, size, source.format, options.jpegQuality, options.metadata,
                            stop, result);
            if (outcome == Jpeg::Outcome::Decoded)
                return result;
            if (outcome != Jpeg::Outcome::Failed)
                return {};  // GDI+ would do the same work, or need the same memory
        }

        // Every other format, and JPEG files libjpeg cannot read cleanly (CMYK, damaged): the
        // platform's copy and bitmap, a working copy for placing or shrinking, the encoding.
        const DecodeBudget::Share share = DecodeBudget::Process().Acquire(PlatformDecodeBytes(file.extent(), 8), stop);
        if (!share)
            return {};
        std::shared_ptr<Gdiplus::Bitmap> bitmap = file.Decode();
        if (!bitmap)
            return {};
        if (untouched && KeepsFormat(file, sentAs)) {
            const uint32_t width = placement.Swaps() ? bitmap->GetHeight() : bitmap->GetWidth();
            const uint32_t height = placement.Swaps() ? bitmap->GetWidth() : bitmap->GetHeight();
            const LimitedSize size = FitLimits(width, height, options.maxWidth, options.maxHeight);
            const bool animated = sentAs == ImageFormat::Gif && FrameCount(*bitmap) > 1;
            if (animated || (options.sendOriginal && !size.shrunk))
                return Original(file, width, height);
        }
        if (!PlacePicture(bitmap, placement))
            return {};
        const LimitedSize size = FitLimits(bitmap->GetWidth(), bitmap->GetHeight(), options.maxWidth, options.maxHeight);
        std::unique_ptr<Gdiplus::Bitmap> small;
        if (size.shrunk) {
            small = Shrunk(*bitmap, size.width, size.height);
            if (!small)
                return {};
            bitmap.reset();
        }
        Gdiplus::Bitmap& picture = small ? *small : *bitmap;
        PreparedPicture result;
        result.width = picture.GetWidth();
        result.height = picture.GetHeight();
        result.encoded = EncodeImage(picture, source.format, options.jpegQuality);
        if (result.encoded.empty())
            return {};
        if (sentAs == ImageFormat::Jpeg && options.metadata != MetadataKept::None &&
            !CarryMetadata(result.encoded, MetadataOf(file, source), options.metadata, result.width, result.height))
            return {};
        return result;
    } catch (...) {
        return {};
    }
}

}  // namespace Vantor
