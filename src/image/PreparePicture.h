#pragma once
// A picture file made ready for one upload: the bytes sent and the size they show.
//
// The picture sent is the picture as the user sees it: a JPEG's EXIF orientation applied,
// the user's quarter turns on top, shrunk to the page's limits, then encoded in the format
// its name asks for ("png", "gif", "bmp", "tif" and "tiff" keep theirs, anything else is
// JPEG). JPEG files are decoded, shrunk while decoding and encoded by libjpeg-turbo; other
// formats go through GDI+ (JPEG output always through libjpeg-turbo, at the quality asked).
// A picture encoded as JPEG carries what the page's choice of metadata keeps of its source's
// (JpegMetadata.h), never an orientation but 1, so no orientation is applied twice. A JPEG
// beyond the decoder's work bounds, or whose decode ran out of memory, is not given to GDI+.
//
// The file's own bytes go out instead when the page asks for originals and the file is
// untouched (not turned, not edited), needs no shrinking and keeps its format (a WebP, HEIC or
// AVIF file only once its picture has decoded, so a damaged one is not sent); and always for
// an untouched GIF of several frames, whose animation a re-encode would lose.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "image/EncodeImage.h"
#include "image/PrepareOptions.h"

namespace Vantor {

struct PictureSource {
    std::wstring path;     // the file decoded: the user's picture, or the lossless edit
    std::wstring format;   // the format name the picture is sent as ("jpg", "png", ...)
    int quarterTurns = 0;  // the user's, clockwise
    bool edited = false;   // path holds an edit, never sent as it is
    // The user's own picture, whose metadata travels (PrepareOptions::metadata) also when
    // path holds an edit; empty: path's.
    std::wstring metadataPath;
};

struct PreparedPicture {
    EncodedImage encoded;  // empty when the picture could not be prepared: nothing is sent
    uint32_t width = 0;    // of the picture as sent and seen
    uint32_t height = 0;
    bool original = false;  // the bytes are the file's own
};

// Never throws; any failure (unreadable, damaged, too large, out of memory) gives an empty
// result. The decode waits for its share of the process's decode budget; a set `stop` ends
// that wait, the decode and the encode within a few milliseconds, with an empty result.
PreparedPicture PreparePicture(const PictureSource& source, const PrepareOptions& options,
                               const std::atomic<bool>* stop = nullptr);

}  // namespace Vantor
