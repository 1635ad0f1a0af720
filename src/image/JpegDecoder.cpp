// JPEG decoding through libjpeg-turbo. libjpeg reports errors by longjmp: the frames that
// call setjmp hold nothing with a destructor, and the output vector lives in the caller.
#include "image/JpegDecoder.h"

#include <cstdio>  // jpeglib.h needs FILE and size_t first

#include <jpeglib.h>

#include <csetjmp>

namespace Vantor::Jpeg {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    jmp_buf jump;
};

void OnError(j_common_ptr info)
{
    longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

// Warnings (level -1) are counted, not printed; trace messages are dropped.
void OnMessage(j_common_ptr info, int level)
{
    if (level < 0)
        ++info->err->num_warnings;
}
void OutputNothing(j_common_ptr) {}

struct Decompressor {
    jpeg_decompress_struct info{};
    ErrorManager error{};
    Decompressor()
    {
        info.err = jpeg_std_error(&error.base);
        error.base.error_exit = OnError;
        error.base.emit_message = OnMessage;
        error.base.output_message = OutputNothing;
    }
};

// Largest side libjpeg accepts is 65500; the platform ceiling applies elsewhere.
bool StartHeader(Decompressor& d, const uint8_t* data, size_t size)
{
    if (setjmp(d.error.jump))
        return false;
    jpeg_create_decompress(&d.info);
    jpeg_mem_src(&d.info, data, static_cast<unsigned long>(size));
    return jpeg_read_header(&d.info, TRUE) == JPEG_HEADER_OK;
}

bool DecodeRows(Decompressor& d, uint32_t minWidth, uint32_t minHeight, std::vector<uint8_t>& rgb, uint32_t& width,
                uint32_t& height)
{
    if (setjmp(d.error.jump))
        return false;
    if (d.info.num_components != 1 && d.info.num_components != 3)
        return false;
    d.info.out_color_space = JCS_RGB;
    d.info.scale_denom = 8;
    d.info.scale_num = 8;
    for (unsigned m = 1; m <= 8; ++m) {
        // The scaled size libjpeg produces: ceil(side * m / 8).
        const uint64_t w = (static_cast<uint64_t>(d.info.image_width) * m + 7) / 8;
        const uint64_t h = (static_cast<uint64_t>(d.info.image_height) * m + 7) / 8;
        if (w >= minWidth && h >= minHeight) {
            d.info.scale_num = m;
            break;
        }
    }
    d.info.dct_method = JDCT_ISLOW;
    d.info.do_fancy_upsampling = TRUE;
    jpeg_start_decompress(&d.info);
    width = d.info.output_width;
    height = d.info.output_height;
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    if (d.info.output_components != 3 || rgb.max_size() / rowBytes < height)
        return false;
    rgb.resize(rowBytes * height);
    while (d.info.output_scanline < d.info.output_height) {
        JSAMPROW row = rgb.data() + rowBytes * d.info.output_scanline;
        if (jpeg_read_scanlines(&d.info, &row, 1) != 1)
            return false;
    }
    jpeg_finish_decompress(&d.info);
    return d.error.base.num_warnings == 0;
}

}  // namespace

bool ReadHeader(const uint8_t* data, size_t size, Header& header)
{
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return false;
    Decompressor d;
    const bool ok = StartHeader(d, data, size);
    if (ok) {
        header.width = d.info.image_width;
        header.height = d.info.image_height;
        header.components = d.info.num_components;
        if (d.info.num_components == 3) {
            const jpeg_component_info* c = d.info.comp_info;
            const int chromaH = c[1].h_samp_factor > 0 ? c[1].h_samp_factor : 1;
            const int chromaV = c[1].v_samp_factor > 0 ? c[1].v_samp_factor : 1;
            header.chromaStepX = c[0].h_samp_factor / chromaH > 1 ? 2 : 1;
            header.chromaStepY = c[0].v_samp_factor / chromaV > 1 ? 2 : 1;
        }
    }
    jpeg_destroy_decompress(&d.info);
    return ok && header.width > 0 && header.height > 0;
}

bool DecodeScaled(const uint8_t* data, size_t size, uint32_t minWidth, uint32_t minHeight, Pixels& out)
{
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return false;
    Decompressor d;
    bool ok = false;
    try {
        ok = StartHeader(d, data, size) && DecodeRows(d, minWidth, minHeight, out.data, out.width, out.height);
        out.channels = 3;
    } catch (...) {  // the rows could not be allocated
        ok = false;
    }
    jpeg_destroy_decompress(&d.info);
    if (!ok) {
        out = Pixels{};
        return false;
    }
    return true;
}

}  // namespace Vantor::Jpeg
