// Placement and resampling of plain pixel rows.
#include "image/PixelOps.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace Vantor {

namespace {

bool Allocate(Pixels& out, uint32_t width, uint32_t height, uint32_t channels)
{
    try {
        out.width = width;
        out.height = height;
        out.channels = channels;
        out.data.assign(size_t(width) * height * channels, 0);
        return true;
    } catch (...) {
        out = Pixels{};
        return false;
    }
}

// --- Lanczos resampling ---

constexpr int kWeightBits = 14;
constexpr int32_t kWeightOne = 1 << kWeightBits;

double Sinc(double x)
{
    if (x == 0.0)
        return 1.0;
    x *= 3.14159265358979323846;
    return std::sin(x) / x;
}

double Lanczos3(double x)
{
    return x > -3.0 && x < 3.0 ? Sinc(x) * Sinc(x / 3.0) : 0.0;
}

// For every output position: the first input position it reads and its fixed-point weights.
struct Taps {
    int count = 0;                 // weights per output position (the same for all; even unless the input is shorter)
    std::vector<uint32_t> first;   // first input position per output position
    std::vector<int32_t> weights;  // count per output position, summing to kWeightOne
};

// Two neighbouring weights as the 16-bit pair the SSE2 multiply-add takes.
inline int32_t WeightPair(const int32_t* w)
{
    return static_cast<int32_t>((static_cast<uint32_t>(w[1]) << 16) | (static_cast<uint32_t>(w[0]) & 0xFFFFu));
}

bool HasSse2()
{
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("sse2") != 0;
    }();
    return has;
}

Taps MakeTaps(uint32_t in, uint32_t out)
{
    Taps taps;
    const double scale = double(in) / out;
    const double widen = std::max(1.0, scale);
    const double support = 3.0 * widen;
    // An even count lets the SSE2 passes take the weights two at a time.
    taps.count = std::min<int>(static_cast<int>(std::ceil(support)) * 2 + 2, static_cast<int>(in));
    taps.first.resize(out);
    taps.weights.assign(size_t(out) * taps.count, 0);
    std::vector<double> w(taps.count);
    for (uint32_t i = 0; i < out; ++i) {
        const double centre = (i + 0.5) * scale;
        int64_t first = static_cast<int64_t>(std::floor(centre - support + 0.5));
        first = std::clamp<int64_t>(first, 0, int64_t(in) - taps.count);
        double sum = 0;
        for (int k = 0; k < taps.count; ++k) {
            w[k] = Lanczos3((first + k + 0.5 - centre) / widen);
            sum += w[k];
        }
        int32_t* target = taps.weights.data() + size_t(i) * taps.count;
        int32_t total = 0;
        int biggest = 0;
        for (int k = 0; k < taps.count; ++k) {
            target[k] = static_cast<int32_t>(std::lround(w[k] / sum * kWeightOne));
            total += target[k];
            if (target[k] > target[biggest])
                biggest = k;
        }
        target[biggest] += kWeightOne - total;  // the rounding rest, so that flat areas stay flat
        taps.first[i] = static_cast<uint32_t>(first);
    }
    return taps;
}

inline uint8_t ClampRounded(int32_t sum)
{
    const int32_t v = (sum + (kWeightOne >> 1)) >> kWeightBits;
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Across: every row of the source to `width` pixels.
void ResizeAcross(const Pixels& source, const Taps& taps, Pixels& out)
{
    const uint32_t channels = source.channels;
    for (uint32_t y = 0; y < source.height; ++y) {
        const uint8_t* in = source.row(y);
        uint8_t* target = out.row(y);
        for (uint32_t x = 0; x < out.width; ++x) {
            const int32_t* w = taps.weights.data() + size_t(x) * taps.count;
            const uint8_t* p = in + size_t(taps.first[x]) * channels;
            if (channels == 3) {
                int32_t r = 0, g = 0, b = 0;
                for (int k = 0; k < taps.count; ++k, p += 3) {
                    r += w[k] * p[0];
                    g += w[k] * p[1];
                    b += w[k] * p[2];
                }
                target[0] = ClampRounded(r);
                target[1] = ClampRounded(g);
                target[2] = ClampRounded(b);
                target += 3;
            } else {
                for (uint32_t c = 0; c < channels; ++c) {
                    int32_t sum = 0;
                    for (int k = 0; k < taps.count; ++k)
                        sum += w[k] * p[size_t(k) * channels + c];
                    *target++ = ClampRounded(sum);
                }
            }
        }
    }
}

// Down: the rows of the source to `height` rows.
void ResizeDown(const Pixels& source, const Taps& taps, Pixels& out)
{
    const size_t rowBytes = source.rowBytes();
    std::vector<int32_t> sum(rowBytes);
    for (uint32_t y = 0; y < out.height; ++y) {
        const int32_t* w = taps.weights.data() + size_t(y) * taps.count;
        std::fill(sum.begin(), sum.end(), 0);
        for (int k = 0; k < taps.count; ++k) {
            const uint8_t* in = source.row(taps.first[y] + k);
            const int32_t weight = w[k];
            int32_t* s = sum.data();
            for (size_t i = 0; i < rowBytes; ++i)
                s[i] += weight * in[i];
        }
        uint8_t* target = out.row(y);
        for (size_t i = 0; i < rowBytes; ++i)
            target[i] = ClampRounded(sum[i]);
    }
}

// The same two passes four and eight bytes at a time. The arithmetic is the scalar one: the
// rounding half is added before the shift, and saturating packs clamp to 0..255.
__attribute__((target("sse2"))) void ResizeDownSse2(const Pixels& source, const Taps& taps, Pixels& out)
{
    const size_t rowBytes = source.rowBytes();
    const __m128i zero = _mm_setzero_si128();
    const __m128i half = _mm_set1_epi32(kWeightOne >> 1);
    std::vector<const uint8_t*> rows(taps.count);
    for (uint32_t y = 0; y < out.height; ++y) {
        const int32_t* w = taps.weights.data() + size_t(y) * taps.count;
        for (int k = 0; k < taps.count; ++k)
            rows[k] = source.row(taps.first[y] + k);
        uint8_t* target = out.row(y);
        size_t i = 0;
        for (; i + 8 <= rowBytes; i += 8) {
            __m128i lo = half, hi = half;
            for (int k = 0; k < taps.count; k += 2) {
                const __m128i a = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(rows[k] + i)), zero);
                const __m128i b =
                    _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(rows[k + 1] + i)), zero);
                const __m128i pair = _mm_set1_epi32(WeightPair(w + k));
                lo = _mm_add_epi32(lo, _mm_madd_epi16(_mm_unpacklo_epi16(a, b), pair));
                hi = _mm_add_epi32(hi, _mm_madd_epi16(_mm_unpackhi_epi16(a, b), pair));
            }
            const __m128i words = _mm_packs_epi32(_mm_srai_epi32(lo, kWeightBits), _mm_srai_epi32(hi, kWeightBits));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(target + i), _mm_packus_epi16(words, zero));
        }
        for (; i < rowBytes; ++i) {
            int32_t sum = 0;
            for (int k = 0; k < taps.count; ++k)
                sum += w[k] * rows[k][i];
            target[i] = ClampRounded(sum);
        }
    }
}

// Three-channel rows: each tap reads four bytes (its pixel and the next pixel's first byte,
// which gets weight in a lane that is thrown away), so the last row, whose last pixel has no
// byte after it, is left to the scalar pass.
__attribute__((target("sse2"))) void ResizeAcrossSse2(const Pixels& source, const Taps& taps, Pixels& out,
                                                      uint32_t rows)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i half = _mm_set1_epi32(kWeightOne >> 1);
    for (uint32_t y = 0; y < rows; ++y) {
        const uint8_t* in = source.row(y);
        uint8_t* target = out.row(y);
        for (uint32_t x = 0; x < out.width; ++x, target += 3) {
            const int32_t* w = taps.weights.data() + size_t(x) * taps.count;
            const uint8_t* p = in + size_t(taps.first[x]) * 3;
            __m128i sum = half;
            for (int k = 0; k < taps.count; k += 2, p += 6) {
                int32_t first, second;
                std::memcpy(&first, p, 4);
                std::memcpy(&second, p + 3, 4);
                const __m128i a = _mm_unpacklo_epi8(_mm_cvtsi32_si128(first), zero);
                const __m128i b = _mm_unpacklo_epi8(_mm_cvtsi32_si128(second), zero);
                sum = _mm_add_epi32(sum, _mm_madd_epi16(_mm_unpacklo_epi16(a, b), _mm_set1_epi32(WeightPair(w + k))));
            }
            const __m128i words = _mm_packs_epi32(_mm_srai_epi32(sum, kWeightBits), zero);
            const uint32_t rgb = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(words, zero)));
            target[0] = static_cast<uint8_t>(rgb);
            target[1] = static_cast<uint8_t>(rgb >> 8);
            target[2] = static_cast<uint8_t>(rgb >> 16);
        }
    }
}

void Down(const Pixels& source, const Taps& taps, Pixels& out)
{
    if (HasSse2() && taps.count % 2 == 0)
        ResizeDownSse2(source, taps, out);
    else
        ResizeDown(source, taps, out);
}

void Across(const Pixels& source, const Taps& taps, Pixels& out)
{
    if (!HasSse2() || taps.count % 2 != 0 || source.channels != 3 || source.height == 0) {
        ResizeAcross(source, taps, out);
        return;
    }
    ResizeAcrossSse2(source, taps, out, source.height - 1);
    // The last row by the scalar pass.
    Pixels lastIn, lastOut;
    lastIn.width = source.width;
    lastIn.height = 1;
    lastIn.channels = 3;
    lastIn.data.assign(source.row(source.height - 1), source.row(source.height - 1) + source.rowBytes());
    lastOut.width = out.width;
    lastOut.height = 1;
    lastOut.channels = 3;
    lastOut.data.resize(out.rowBytes());
    ResizeAcross(lastIn, taps, lastOut);
    std::memcpy(out.row(out.height - 1), lastOut.data.data(), out.rowBytes());
}

}  // namespace

bool PlacePixels(const Pixels& source, Exif::Placement placement, Pixels& out)
{
    const uint32_t w = source.width, h = source.height, n = source.channels;
    const bool swaps = placement.Swaps();
    if (!Allocate(out, swaps ? h : w, swaps ? w : h, n))
        return false;
    // Where stored pixel (x, y) lands, the mirror first (mx = w - 1 - x), then the clockwise
    // turns, written as out = origin + x * stepX + y * stepY in pixels of the output.
    const int64_t W = out.width;
    const int64_t mirrorSign = placement.mirror ? -1 : 1;
    const int64_t mirrorStart = placement.mirror ? int64_t(w) - 1 : 0;  // mx = mirrorStart + mirrorSign * x
    int64_t origin = 0, stepX = 0, stepY = 0;
    switch (placement.quarterTurns & 3) {
    case 1:  // (h - 1 - y, mx)
        origin = mirrorStart * W + (int64_t(h) - 1), stepX = mirrorSign * W, stepY = -1;
        break;
    case 2:  // (w - 1 - mx, h - 1 - y)
        origin = (int64_t(h) - 1) * W + (int64_t(w) - 1 - mirrorStart), stepX = -mirrorSign, stepY = -W;
        break;
    case 3:  // (y, w - 1 - mx)
        origin = (int64_t(w) - 1 - mirrorStart) * W, stepX = -mirrorSign * W, stepY = 1;
        break;
    default:  // (mx, y)
        origin = mirrorStart, stepX = mirrorSign, stepY = W;
        break;
    }
    // In tiles, so that a quarter turn's scattered writes stay in the cache.
    constexpr uint32_t kTile = 64;
    uint8_t* const target = out.data.data();
    for (uint32_t ty = 0; ty < h; ty += kTile)
        for (uint32_t tx = 0; tx < w; tx += kTile)
            for (uint32_t y = ty; y < std::min(h, ty + kTile); ++y) {
                const uint8_t* in = source.row(y) + size_t(tx) * n;
                int64_t at = origin + int64_t(tx) * stepX + int64_t(y) * stepY;
                const uint32_t end = std::min(w, tx + kTile);
                if (n == 3) {
                    for (uint32_t x = tx; x < end; ++x, in += 3, at += stepX) {
                        uint8_t* p = target + at * 3;
                        p[0] = in[0];
                        p[1] = in[1];
                        p[2] = in[2];
                    }
                } else {
                    for (uint32_t x = tx; x < end; ++x, in += n, at += stepX)
                        std::memcpy(target + at * n, in, n);
                }
            }
    return true;
}

bool ResizePixels(const Pixels& source, uint32_t width, uint32_t height, Pixels& out)
{
    if (width == 0 || height == 0 || source.empty())
        return false;
    if (width == source.width && height == source.height) {
        try {
            out = source;
            return true;
        } catch (...) {
            return false;
        }
    }
    try {
        // Across first when it shrinks more, so that the second pass has less to do.
        const Taps across = MakeTaps(source.width, width);
        const Taps down = MakeTaps(source.height, height);
        Pixels middle;
        if (uint64_t(width) * source.height <= uint64_t(source.width) * height) {
            if (!Allocate(middle, width, source.height, source.channels) ||
                !Allocate(out, width, height, source.channels))
                return false;
            Across(source, across, middle);
            Down(middle, down, out);
        } else {
            if (!Allocate(middle, source.width, height, source.channels) ||
                !Allocate(out, width, height, source.channels))
                return false;
            Down(source, down, middle);
            Across(middle, across, out);
        }
        return true;
    } catch (...) {
        out = Pixels{};
        return false;
    }
}

LimitedSize FitLimits(uint32_t width, uint32_t height, uint32_t maxWidth, uint32_t maxHeight)
{
    const bool wide = maxWidth != 0 && width > maxWidth;
    const bool tall = maxHeight != 0 && height > maxHeight;
    if (width == 0 || height == 0 || (!wide && !tall))
        return {width, height, false};
    // The side that limits more decides: compare width/maxWidth with height/maxHeight.
    const bool byWidth = wide && (!tall || uint64_t(width) * maxHeight >= uint64_t(height) * maxWidth);
    if (byWidth) {
        const uint64_t h = (uint64_t(height) * maxWidth + width / 2) / width;
        return {maxWidth, static_cast<uint32_t>(std::max<uint64_t>(1, h)), true};
    }
    const uint64_t w = (uint64_t(width) * maxHeight + height / 2) / height;
    return {static_cast<uint32_t>(std::max<uint64_t>(1, w)), maxHeight, true};
}

}  // namespace Vantor
