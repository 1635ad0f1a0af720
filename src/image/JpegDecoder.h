#pragma once
// JPEG decoding through libjpeg-turbo, at full size or a reduced DCT scale.
//
// This header and its source stay free of <windows.h>: the library's `boolean` is an int,
// the platform headers' is an unsigned char, and the two must never meet in one unit.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/Pixels.h"

namespace Vantor::Jpeg {

struct Header {
    uint32_t width = 0;
    uint32_t height = 0;
    int components = 0;
    // Luma samples per chroma sample across and down: 1 and 1 for full colour detail (4:4:4),
    // 2 and 1 for 4:2:2, 2 and 2 for 4:2:0; 1 and 1 for grey pictures.
    int chromaStepX = 1;
    int chromaStepY = 1;
    // A progressive (or otherwise multi-scan) file keeps every coefficient of the picture
    // until its last scan: 128 bytes per 8 x 8 block of each component.
    bool multiScan = false;
    uint64_t coefficientBytes = 0;  // 0 for a single scan
    uint64_t blocks = 0;            // 8 x 8 blocks of all components together
};

// Reads the frame header only. False for anything that is not a readable JPEG.
bool ReadHeader(const uint8_t* data, size_t size, Header& header);

// Decodes into red, green, blue rows at the smallest scale M/8 (M = 1..8) whose result is
// at least minWidth x minHeight (the full size when none is smaller). Grey and colour pictures only (CMYK is left to the platform decoder). Fails on
// any error and on any warning (corrupt or truncated data), so that a damaged file is never
// shown as a half-grey picture.
bool DecodeScaled(const uint8_t* data, size_t size, uint32_t minWidth, uint32_t minHeight, Pixels& out);

// The bounds of one decode. A crafted progressive file can hold thousands of scans, each
// one a pass over every block of the picture: minutes of work for a file of a few hundred
// kilobytes. Encoders write about five passes over the picture's blocks (ten scans for
// colour), scan-optimising ones about seven; none comes near a few dozen scans.
struct Limits {
    static constexpr int kMaxScans = 256;
    static constexpr uint32_t kMaxPasses = 12;
    int maxScans = kMaxScans;
    // Blocks worked on, summed over the scans, at most this many times the picture's blocks.
    uint32_t maxPasses = kMaxPasses;
    const std::atomic<bool>* stop = nullptr;  // looked at for every row of blocks
};

enum class Outcome {
    Decoded,
    Failed,       // not decoded cleanly (unsupported colours, damaged data): another decoder may try
    TooMuchWork,  // beyond the limits: no decoder should do the same work
    NoMemory,     // the library's memory ran out: it may work later
    Stopped,      // the stop flag was set
};

// DecodeScaled within the limits.
Outcome DecodeBounded(const uint8_t* data, size_t size, uint32_t minWidth, uint32_t minHeight, const Limits& limits,
                      Pixels& out);

// The size DecodeScaled gives for the request: ceil(side * M / 8) at the chosen M.
void ScaledSize(const Header& header, uint32_t minWidth, uint32_t minHeight, uint32_t& width, uint32_t& height);

// What a decode at that output size holds at its peak: the coefficients it keeps and the
// output rows (3 bytes a pixel), with the library's working rows.
uint64_t DecodeBytes(const Header& header, uint32_t outputWidth, uint32_t outputHeight);

}  // namespace Vantor::Jpeg
