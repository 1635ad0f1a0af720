// JPEG encoding through libjpeg-turbo. Errors arrive by longjmp: the frame that calls setjmp
// holds nothing with a destructor; the library's own output buffer is freed by the caller.
#include "image/JpegEncoder.h"

#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <cstdlib>

#include <jpeglib.h>

#include <algorithm>
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
void OutputNothing(j_common_ptr) {}

struct Compressor {
    jpeg_compress_struct info{};
    ErrorManager error{};
    unsigned char* buffer = nullptr;  // allocated by the library's memory destination
    unsigned long length = 0;
    Compressor()
    {
        info.err = jpeg_std_error(&error.base);
        error.base.error_exit = OnError;
        error.base.output_message = OutputNothing;
    }
};

bool Compress(Compressor& c, const uint8_t* pixels, uint32_t width, uint32_t height, ptrdiff_t stride, Layout layout,
              int quality, ChromaStep chroma, const std::atomic<bool>* stop)
{
    if (setjmp(c.error.jump))
        return false;
    jpeg_create_compress(&c.info);
    jpeg_mem_dest(&c.info, &c.buffer, &c.length);
    c.info.image_width = width;
    c.info.image_height = height;
    c.info.input_components = layout == Layout::Rgb ? 3 : 4;
    c.info.in_color_space = layout == Layout::Rgb ? JCS_RGB : JCS_EXT_BGRX;
    jpeg_set_defaults(&c.info);
    jpeg_set_quality(&c.info, quality, TRUE);
    c.info.comp_info[0].h_samp_factor = chroma.x == 1 ? 1 : 2;
    c.info.comp_info[0].v_samp_factor = chroma.y == 1 ? 1 : 2;
    c.info.dct_method = JDCT_ISLOW;
    jpeg_start_compress(&c.info, TRUE);
    while (c.info.next_scanline < c.info.image_height) {
        if (stop && stop->load())
            return false;
        JSAMPROW row = const_cast<JSAMPROW>(pixels + stride * static_cast<ptrdiff_t>(c.info.next_scanline));
        jpeg_write_scanlines(&c.info, &row, 1);
    }
    jpeg_finish_compress(&c.info);
    return true;
}

}  // namespace

ChromaStep DefaultChromaStep(int quality)
{
    return quality >= 90 ? ChromaStep{1, 1} : ChromaStep{2, 2};
}

bool Encode(const uint8_t* pixels, uint32_t width, uint32_t height, ptrdiff_t stride, Layout layout, int quality,
            ChromaStep chroma, std::vector<uint8_t>& out, const std::atomic<bool>* stop)
{
    out.clear();
    if (!pixels || width == 0 || height == 0 || width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION)
        return false;
    Compressor c;
    const bool ok = Compress(c, pixels, width, height, stride, layout, std::clamp(quality, 1, 100), chroma, stop);
    jpeg_destroy_compress(&c.info);
    try {
        if (ok && c.buffer && c.length > 0)
            out.assign(c.buffer, c.buffer + c.length);
    } catch (...) {
        out.clear();
    }
    std::free(c.buffer);
    return !out.empty();
}

}  // namespace Vantor::Jpeg
