// Colour adjustments: brightness and contrast, saturation, grey conversion.
#include "image/CxImage.h"

#include <algorithm>
#include <cstring>

namespace Vantor {

namespace {

uint8_t ClampByte(long v)
{
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

uint8_t GreyOf(uint8_t r, uint8_t g, uint8_t b)
{
    return static_cast<uint8_t>((r * 306 + g * 601 + b * 117) >> 10);
}

}  // namespace

bool CxImage::Light(int32_t brightness, int32_t contrast)
{
    if (!IsValid())
        return false;
    uint8_t table[256];
    const float factor = (100.0f + static_cast<float>(contrast)) / 100.0f;
    const float offset = static_cast<float>(brightness + 128) + 0.5f;
    for (int i = 0; i < 256; ++i) {
        const float v = static_cast<float>(i - 128) * factor + offset;
        table[i] = ClampByte(static_cast<long>(v));  // truncated toward zero
    }

    if (colors_ == 0) {
        // Every byte of the rows, padding included: blue, green and red alike.
        uint8_t* bits = GetBits(0);
        const size_t total = static_cast<size_t>(stride_) * height_;
        for (size_t i = 0; i < total; ++i)
            bits[i] = table[bits[i]];
        return true;
    }
    const bool wasGrey = IsGrayScale();
    RGBQUAD* palette = GetPalette();
    for (uint32_t i = 0; i < colors_; ++i) {
        palette[i].rgbBlue = table[palette[i].rgbBlue];
        palette[i].rgbGreen = table[palette[i].rgbGreen];
        palette[i].rgbRed = table[palette[i].rgbRed];
    }
    if (wasGrey)
        GrayScale();
    return true;
}

RGBQUAD CxImage::RGBtoHSL(RGBQUAD color)
{
    const int R = color.rgbRed;
    const int G = color.rgbGreen;
    const int B = color.rgbBlue;
    const int cMax = std::max(std::max(R, G), B);
    const int cMin = std::min(std::min(R, G), B);
    const int L = ((cMax + cMin) * 255 + 255) / 510;
    int H = 170;
    int S = 0;
    if (cMax != cMin) {
        if (L <= 127)
            S = ((cMax - cMin) * 255 + (cMax + cMin) / 2) / (cMax + cMin);
        else
            S = ((cMax - cMin) * 255 + (510 - cMax - cMin) / 2) / (510 - cMax - cMin);
        const int d = cMax - cMin;
        const int Rdelta = ((cMax - R) * 42 + d / 2) / d;
        const int Gdelta = ((cMax - G) * 42 + d / 2) / d;
        const int Bdelta = ((cMax - B) * 42 + d / 2) / d;
        if (R == cMax)
            H = Bdelta - Gdelta;
        else if (G == cMax)
            H = 85 + Rdelta - Bdelta;
        else
            H = 170 + Gdelta - Rdelta;
    }
    return RGBQUAD{static_cast<uint8_t>(L), static_cast<uint8_t>(S), static_cast<uint8_t>(H & 0xFF), 0};
}

namespace {

float HueToChannel(float m1, float m2, float h)
{
    if (h > 360.0f)
        h -= 360.0f;
    if (h < 0.0f)
        h += 360.0f;
    if (h < 60.0f)
        return m1 + (m2 - m1) * h / 60.0f;
    if (h < 180.0f)
        return m2;
    if (h < 240.0f)
        return m1 + (m2 - m1) * (240.0f - h) / 60.0f;
    return m1;
}

// The per-pixel conversions of Saturate, with the same arithmetic as RGBtoHSL and HSLtoRGB
// but with the divisions taken from tables: integer quotients by exact reciprocals
// (numerators stay below 2^16, divisors below 512), the byte-to-unit scales precomputed.
class FastHsl {
public:
    static const FastHsl& instance()
    {
        static const FastHsl tables;
        return tables;
    }

    uint32_t Divide(uint32_t n, uint32_t d) const
    {
        if (d == 1)
            return n;
        return static_cast<uint32_t>((static_cast<uint64_t>(n) * reciprocal_[d]) >> 32);
    }

    // Bytes in the order blue, green, red; returns L, S, H like RGBtoHSL.
    void ToHsl(const uint8_t* bgr, int& H, int& S, int& L) const
    {
        const int R = bgr[2], G = bgr[1], B = bgr[0];
        const int cMax = std::max(std::max(R, G), B);
        const int cMin = std::min(std::min(R, G), B);
        L = ((cMax + cMin) * 255 + 255) / 510;
        if (cMax == cMin) {
            S = 0;
            H = 170;
            return;
        }
        const uint32_t sum = cMax + cMin;
        const uint32_t d = cMax - cMin;
        if (L <= 127)
            S = Divide(d * 255 + sum / 2, sum);
        else
            S = Divide(d * 255 + (510 - sum) / 2, 510 - sum);
        const auto delta = [&](int X) { return static_cast<int>(Divide((cMax - X) * 42 + d / 2, d)); };
        if (R == cMax)
            H = delta(B) - delta(G);
        else if (G == cMax)
            H = 85 + delta(R) - delta(B);
        else
            H = 170 + delta(G) - delta(R);
        H &= 0xFF;
    }

    void ToRgb(int H, int S, int L, uint8_t* bgr) const
    {
        const float l = unit_[L];
        if (S == 0) {
            bgr[0] = bgr[1] = bgr[2] = static_cast<uint8_t>(l * 255.0f);
            return;
        }
        const float s = unit_[S];
        const float h = degrees_[H];
        const float m2 = l <= 0.5f ? l * (1.0f + s) : l + s - l * s;
        const float m1 = 2.0f * l - m2;
        const float slope = (m2 - m1) * (1.0f / 60.0f);
        const auto channel = [&](float x) {
            if (x > 360.0f)
                x -= 360.0f;
            if (x < 0.0f)
                x += 360.0f;
            float v = m1;
            if (x < 60.0f)
                v = m1 + slope * x;
            else if (x < 180.0f)
                v = m2;
            else if (x < 240.0f)
                v = m1 + slope * (240.0f - x);
            return static_cast<uint8_t>(v * 255.0f);
        };
        bgr[2] = channel(h + 120.0f);
        bgr[1] = channel(h);
        bgr[0] = channel(h - 120.0f);
    }

private:
    FastHsl()
    {
        reciprocal_[0] = 0;
        reciprocal_[1] = 0;  // Divide handles 1 itself
        for (uint32_t d = 2; d < 512; ++d)
            reciprocal_[d] = static_cast<uint32_t>(((uint64_t(1) << 32) + d - 1) / d);
        for (int i = 0; i < 256; ++i) {
            unit_[i] = static_cast<float>(i) / 255.0f;
            degrees_[i] = static_cast<float>(i) * 360.0f / 255.0f;
        }
    }

    uint32_t reciprocal_[512];
    float unit_[256];
    float degrees_[256];
};

}  // namespace

RGBQUAD CxImage::HSLtoRGB(RGBQUAD hsl)
{
    const float h = static_cast<float>(hsl.rgbRed) * 360.0f / 255.0f;
    const float s = static_cast<float>(hsl.rgbGreen) / 255.0f;
    const float l = static_cast<float>(hsl.rgbBlue) / 255.0f;
    const float m2 = l <= 0.5f ? l * (1.0f + s) : l + s - l * s;
    const float m1 = 2.0f * l - m2;
    RGBQUAD out{0, 0, 0, 0};
    if (hsl.rgbGreen == 0) {
        const auto v = static_cast<uint8_t>(l * 255.0f);
        out.rgbRed = out.rgbGreen = out.rgbBlue = v;
        return out;
    }
    out.rgbRed = static_cast<uint8_t>(HueToChannel(m1, m2, h + 120.0f) * 255.0f);
    out.rgbGreen = static_cast<uint8_t>(HueToChannel(m1, m2, h) * 255.0f);
    out.rgbBlue = static_cast<uint8_t>(HueToChannel(m1, m2, h - 120.0f) * 255.0f);
    return out;
}

bool CxImage::Saturate(int32_t saturation, int32_t colorSpace)
{
    if (!IsValid())
        return false;
    if (colorSpace != 1 && colorSpace != 2) {
        SetError("Saturate: wrong colorspace");
        return false;
    }
    uint8_t table[256];
    for (int k = 0; k < 256; ++k)
        table[k] = ClampByte(static_cast<long>(k) + saturation);

    if (colorSpace == 2) {
        // YUV: the chroma channels are scaled around their neutral value.
        for (uint32_t y = 0; y < height_; ++y) {
            for (uint32_t x = 0; x < width_; ++x) {
                RGBQUAD c = GetPixelColor(x, y);
                const float Y = 0.299f * c.rgbRed + 0.587f * c.rgbGreen + 0.114f * c.rgbBlue;
                const float U = (c.rgbBlue - Y) * 0.565f;
                const float V = (c.rgbRed - Y) * 0.713f;
                const float k = static_cast<float>(table[128]) / 128.0f;
                const float u = U * k;
                const float v = V * k;
                c.rgbRed = ClampByte(static_cast<long>(Y + 1.403f * v));
                c.rgbGreen = ClampByte(static_cast<long>(Y - 0.344f * u - 0.714f * v));
                c.rgbBlue = ClampByte(static_cast<long>(Y + 1.770f * u));
                if (bpp_ == 24) {
                    uint8_t* p = GetBits(y) + 3 * x;
                    p[0] = c.rgbBlue;
                    p[1] = c.rgbGreen;
                    p[2] = c.rgbRed;
                } else {
                    SetPixelIndex(x, y, NearestIndex(c));
                }
            }
        }
        return true;
    }

    const FastHsl& hsl = FastHsl::instance();
    for (uint32_t y = 0; y < height_; ++y) {
        uint8_t* row = GetBits(y);
        if (bpp_ == 24) {
            for (uint32_t x = 0; x < width_; ++x, row += 3) {
                int H, S, L;
                hsl.ToHsl(row, H, S, L);
                hsl.ToRgb(H, table[S], L, row);
            }
        } else {
            for (uint32_t x = 0; x < width_; ++x) {
                RGBQUAD color = RGBtoHSL(GetPixelColor(x, y));
                color.rgbGreen = table[color.rgbGreen];
                SetPixelIndex(x, y, NearestIndex(HSLtoRGB(color)));
            }
        }
    }
    return true;
}

bool CxImage::GrayScale()
{
    if (!IsValid())
        return false;
    if (bpp_ <= 8) {
        RGBQUAD* palette = GetPalette();
        uint8_t remap[256];
        for (uint32_t i = 0; i < colors_; ++i)
            remap[i] = GreyOf(palette[i].rgbRed, palette[i].rgbGreen, palette[i].rgbBlue);
        if (bpp_ == 8) {
            for (uint32_t i = 0; i < 256; ++i)
                palette[i] = RGBQUAD{static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0};
            for (uint32_t y = 0; y < height_; ++y) {
                uint8_t* row = GetBits(y);
                for (uint32_t x = 0; x < width_; ++x)
                    row[x] = remap[row[x]];
            }
            if (bkIndex_ >= 0)
                bkIndex_ = remap[bkIndex_];
        } else {
            // 1 and 4 bits keep their indices; the entries themselves turn grey.
            for (uint32_t i = 0; i < colors_; ++i)
                palette[i] = RGBQUAD{remap[i], remap[i], remap[i], 0};
        }
        return true;
    }

    CxImage grey;
    if (!grey.Create(width_, height_, 8)) {
        SetError(grey.GetLastError());
        return false;
    }
    RGBQUAD* palette = grey.GetPalette();
    for (uint32_t i = 0; i < 256; ++i)
        palette[i] = RGBQUAD{static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0};
    for (uint32_t y = 0; y < height_; ++y) {
        const uint8_t* source = GetBits(y);
        uint8_t* target = grey.GetBits(y);
        for (uint32_t x = 0; x < width_; ++x, source += 3)
            target[x] = GreyOf(source[2], source[1], source[0]);
    }
    grey.alpha_ = std::move(alpha_);
    grey.CopyAttributes(*this);
    grey.bkIndex_ = -1;
    grey.lastError_ = std::move(lastError_);
    *this = std::move(grey);
    return true;
}

}  // namespace Vantor
