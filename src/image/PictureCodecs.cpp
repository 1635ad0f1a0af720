// Dispatch to the WebP and HEIF decoders by the file's signature.
#include "image/PictureCodecs.h"

#include <cstring>

#include "image/HeifDecoder.h"
#include "image/WebpDecoder.h"

namespace Vantor::Codecs {

Codec CodecOf(const uint8_t* data, size_t size)
{
    if (!data)
        return Codec::None;
    if (size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WEBP", 4) == 0)
        return Codec::Webp;
    if (size >= 12 && std::memcmp(data + 4, "ftyp", 4) == 0)
        return Codec::Heif;
    return Codec::None;
}

Outcome Decode(Codec codec, const uint8_t* data, size_t size, Pixels& out, const std::atomic<bool>* stop)
{
    out = Pixels{};
    if (stop && stop->load())
        return Outcome::Stopped;
    Outcome outcome = Outcome::Failed;
    try {
        if (codec == Codec::Webp)
            outcome = Webp::Decode(data, size, out);
        else if (codec == Codec::Heif)
            outcome = Heif::Decode(data, size, out);
    } catch (...) {  // a copy that could not be allocated
        outcome = Outcome::NoMemory;
    }
    if (outcome == Outcome::Decoded && stop && stop->load())
        outcome = Outcome::Stopped;
    if (outcome != Outcome::Decoded)
        out = Pixels{};
    return outcome;
}

bool ReadSize(Codec codec, const uint8_t* data, size_t size, uint32_t& width, uint32_t& height)
{
    try {
        if (codec == Codec::Webp)
            return Webp::ReadSize(data, size, width, height);
        if (codec == Codec::Heif)
            return Heif::ReadSize(data, size, width, height);
    } catch (...) {
    }
    return false;
}

bool IsCodecFormatName(const std::wstring& format)
{
    return format == L"webp" || format == L"heic" || format == L"heif" || format == L"avif";
}

bool DecodeThumbnail(Codec codec, const uint8_t* data, size_t size, uint32_t minLongSide, Pixels& out,
                     uint32_t& width, uint32_t& height)
{
    try {
        if (codec == Codec::Webp)
            return Webp::DecodeSmall(data, size, minLongSide, out, width, height);
        return codec == Codec::Heif && Heif::DecodeThumbnail(data, size, minLongSide, out, width, height);
    } catch (...) {
        out = Pixels{};
        return false;
    }
}

Jpeg::SourceMetadata Metadata(Codec codec, const uint8_t* data, size_t size)
{
    Jpeg::SourceMetadata metadata;
    try {
        if (codec == Codec::Webp)
            Webp::ReadMetadata(data, size, metadata.exif, metadata.icc);
        else if (codec == Codec::Heif)
            Heif::ReadMetadata(data, size, metadata.exif, metadata.icc);
    } catch (...) {
        metadata = Jpeg::SourceMetadata{};
    }
    return metadata;
}

uint64_t CodecDecodeBytes(Codec codec, const PictureExtent& extent)
{
    const uint64_t pixels = uint64_t(extent.width) * extent.height;
    // WebP: the library's rows (or an animation's two canvases) and the copy. HEIF: the
    // decoded YCbCr planes with their reference frame, the RGBA picture and the copy.
    return pixels * (codec == Codec::Webp ? 12u : 16u);
}

}  // namespace Vantor::Codecs
