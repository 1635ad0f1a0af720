#include "progressive_jpeg.h"

#include <cstdio>  // jpeglib.h needs FILE and size_t first

#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>

namespace testpics {

namespace {

struct Failure {
    jpeg_error_mgr base;
    jmp_buf jump;
};

void Leave(j_common_ptr info) { longjmp(reinterpret_cast<Failure*>(info->err)->jump, 1); }

bool Compress(jpeg_compress_struct& info, Failure& failure, uint32_t width, uint32_t height, int quality, bool grey,
              const std::function<void(uint32_t, uint32_t, uint8_t*)>& colour, std::vector<uint8_t>& row,
              unsigned char** buffer, unsigned long* length)
{
    if (setjmp(failure.jump))
        return false;
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, buffer, length);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    if (grey)
        jpeg_set_colorspace(&info, JCS_GRAYSCALE);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < height) {
        for (uint32_t x = 0; x < width; ++x)
            colour(x, info.next_scanline, row.data() + size_t(x) * 3);
        JSAMPROW rows = row.data();
        jpeg_write_scanlines(&info, &rows, 1);
    }
    jpeg_finish_compress(&info);
    return true;
}

// Entropy-coded bits, most significant first, with a zero byte after every 0xFF.
class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
    void Put(uint32_t value, int count)
    {
        for (int i = count - 1; i >= 0; --i) {
            byte_ = static_cast<uint8_t>((byte_ << 1) | ((value >> i) & 1));
            if (++bits_ == 8)
                Emit();
        }
    }
    void Flush()  // padded with ones
    {
        while (bits_ != 0)
            Put(1, 1);
    }

private:
    void Emit()
    {
        out_.push_back(byte_);
        if (byte_ == 0xFF)
            out_.push_back(0);
        byte_ = 0;
        bits_ = 0;
    }
    std::vector<uint8_t>& out_;
    uint8_t byte_ = 0;
    int bits_ = 0;
};

void Segment(std::vector<uint8_t>& out, uint8_t marker, const std::vector<uint8_t>& body)
{
    out.push_back(0xFF);
    out.push_back(marker);
    const size_t length = body.size() + 2;
    out.push_back(static_cast<uint8_t>(length >> 8));
    out.push_back(static_cast<uint8_t>(length));
    out.insert(out.end(), body.begin(), body.end());
}

}  // namespace

std::vector<uint8_t> ProgressiveJpeg(uint32_t width, uint32_t height, int quality, bool grey,
                                     const std::function<void(uint32_t x, uint32_t y, uint8_t rgb[3])>& colour)
{
    jpeg_compress_struct info{};
    Failure failure{};
    info.err = jpeg_std_error(&failure.base);
    failure.base.error_exit = Leave;
    std::vector<uint8_t> row(size_t(width) * 3);
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    const bool ok = Compress(info, failure, width, height, quality, grey, colour, row, &buffer, &length);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> file;
    if (ok && buffer)
        file.assign(buffer, buffer + length);
    std::free(buffer);
    return file;
}

std::vector<uint8_t> ScanBomb(uint32_t side, int acScans)
{
    const uint32_t blocks = (side / 8) * (side / 8);
    std::vector<uint8_t> out{0xFF, 0xD8};
    std::vector<uint8_t> table{0x00};
    table.insert(table.end(), 64, 1);
    Segment(out, 0xDB, table);
    Segment(out, 0xC2, {8, uint8_t(side >> 8), uint8_t(side), uint8_t(side >> 8), uint8_t(side), 1, 1, 0x11, 0});
    // DC: one symbol, category 0 (no difference), coded as a single 0 bit.
    std::vector<uint8_t> dc{0x00, 1};
    dc.insert(dc.end(), 15, 0);
    dc.push_back(0x00);
    Segment(out, 0xC4, dc);
    // AC: the end-of-band runs EOB0 to EOB14, symbol r << 4 coded as r in four bits.
    std::vector<uint8_t> ac{0x10, 0, 0, 0, 15};
    ac.insert(ac.end(), 12, 0);
    for (uint8_t r = 0; r <= 14; ++r)
        ac.push_back(static_cast<uint8_t>(r << 4));
    Segment(out, 0xC4, ac);

    Segment(out, 0xDA, {1, 1, 0x00, 0, 0, 0x00});
    {
        BitWriter bits(out);
        for (uint32_t i = 0; i < blocks; ++i)
            bits.Put(0, 1);
        bits.Flush();
    }
    for (int scan = 0; scan < acScans; ++scan) {
        Segment(out, 0xDA, {1, 1, 0x00, 1, 63, 0x00});
        BitWriter bits(out);
        for (uint32_t left = blocks; left > 0;) {
            int r = 0;
            while (r < 14 && (uint32_t(2) << r) <= left)
                ++r;
            const uint32_t run = std::min<uint32_t>(left, (uint32_t(2) << r) - 1);
            bits.Put(static_cast<uint32_t>(r), 4);
            if (r > 0)
                bits.Put(run - (uint32_t(1) << r), r);
            left -= run;
        }
        bits.Flush();
    }
    out.push_back(0xFF);
    out.push_back(0xD9);
    return out;
}

int ScanCount(const std::vector<uint8_t>& jpeg)
{
    int scans = 0;
    for (size_t i = 0; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA)
            ++scans;
    return scans;
}

}  // namespace testpics
