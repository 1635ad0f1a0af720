#pragma once
// The picture formats the platform does not decode (WebP, and HEIF with its HEIC and AVIF
// kinds), decoded by their own libraries into plain pixel rows.
//
// What comes out is the picture as seen: HEIF's own rotation and mirror (irot, imir) applied
// once by the library; an EXIF orientation inside a HEIF file is not applied on top (the
// container's transforms are the ones that count, and writers set both). Opaque pictures
// come as red, green, blue rows; pictures with alpha as blue, green, red, alpha rows with the
// colours premultiplied (the two forms BitmapFromPixels takes).
//
// The caller checks the file's extent against the size ceiling (ReadPictureExtent) and takes
// its share of the decode budget (CodecDecodeBytes) before calling Decode.
//
// Free of <windows.h>, like Pixels.h.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "image/JpegMetadata.h"
#include "image/PictureExtent.h"
#include "image/Pixels.h"

namespace Vantor::Codecs {

enum class Codec {
    None,  // a format these decoders do not read
    Webp,
    Heif,  // HEIC (HEVC) and AVIF (AV1) alike
};

// By the file's signature.
Codec CodecOf(const uint8_t* data, size_t size);

enum class Outcome {
    Decoded,
    Failed,    // damaged, truncated or not decodable
    NoMemory,  // the library's memory ran out: it may work later
    Stopped,   // the stop flag was set
};

// The whole main picture (an animated WebP's first frame).
Outcome Decode(Codec codec, const uint8_t* data, size_t size, Pixels& out, const std::atomic<bool>* stop = nullptr);

// The main picture's size as seen, from the file's structures (nothing decoded).
bool ReadSize(Codec codec, const uint8_t* data, size_t size, uint32_t& width, uint32_t& height);

// Whether a format name (the file's extension without its dot, lower case) is one of the
// kinds these decoders read: "webp", "heic", "heif", "avif".
bool IsCodecFormatName(const std::wstring& format);

// A small picture for quick showing, as seen: a HEIF file's thumbnail item when it has the
// main picture's aspect ratio and its longer side is at least `minLongSide`; a still WebP
// decoded straight to twice that size. False when there is none that serves (the whole
// picture is then decoded). `width` and `height` give the main picture's size as seen.
bool DecodeThumbnail(Codec codec, const uint8_t* data, size_t size, uint32_t minLongSide, Pixels& out,
                     uint32_t& width, uint32_t& height);

// The metadata of the main picture that may travel into a JPEG made of it: its EXIF block
// (a HEIF "Exif" item, a WebP EXIF chunk) and its ICC colour profile. Nothing decoded;
// empty when there is none or the file is damaged.
Jpeg::SourceMetadata Metadata(Codec codec, const uint8_t* data, size_t size);

// What a decode of a picture of this extent holds at its peak: the library's picture and
// working planes and the copy handed out.
uint64_t CodecDecodeBytes(Codec codec, const PictureExtent& extent);

}  // namespace Vantor::Codecs
