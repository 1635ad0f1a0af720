#pragma once
// Progressive JPEG files made by the tests: ordinary ones written by libjpeg-turbo, and a
// scan bomb assembled byte by byte. Free of <windows.h>, like the decoder.
#include <cstdint>
#include <functional>
#include <vector>

namespace testpics {

// A progressive JPEG (the library's standard script of scans) of the colours, written row by
// row so that no picture is held; 4:2:0 colour, or grey when `grey`.
std::vector<uint8_t> ProgressiveJpeg(uint32_t width, uint32_t height, int quality, bool grey,
                                     const std::function<void(uint32_t x, uint32_t y, uint8_t rgb[3])>& colour);

// A grey progressive JPEG of side x side pixels (a multiple of 8) holding a DC scan and then
// `acScans` scans of every AC coefficient that set nothing: each is a few dozen bytes and
// still a pass over every block of the picture. A valid file that decodes to flat grey.
std::vector<uint8_t> ScanBomb(uint32_t side, int acScans);

// How many start-of-scan markers the file holds (counted outside entropy-coded data).
int ScanCount(const std::vector<uint8_t>& jpeg);

}  // namespace testpics
