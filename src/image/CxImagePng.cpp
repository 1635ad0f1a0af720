// PNG decoding into the raster image, through libpng, for the skin's PNG resources.
//
// Every PNG is expanded to 8-bit RGB; a PNG with an alpha channel or a transparent colour
// also gets an alpha plane. libpng reports errors by longjmp, so nothing with a destructor
// lives in the frame that calls setjmp: the decode writes into plain storage owned outside.
#include "image/CxImage.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

namespace Vantor {

namespace {

struct MemoryReader {
    const uint8_t* data;
    size_t size;
    size_t offset;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length)
{
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (length > reader->size - reader->offset)
        png_error(png, "truncated PNG");
    std::memcpy(out, reader->data + reader->offset, length);
    reader->offset += length;
}

void IgnoreWarning(png_structp, png_const_charp) {}

// Largest side accepted before anything is allocated for the rows.
constexpr png_uint_32 kMaxSide = 65535;

struct DecodeState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<uint8_t>* rgba = nullptr;  // RGBA rows, top-down, filled by Decode
    std::vector<png_bytep>* rows = nullptr;
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    bool hasAlpha = false;
    char error[128] = {};
};

void StoreError(png_structp png, png_const_charp message)
{
    auto* state = static_cast<DecodeState*>(png_get_error_ptr(png));
    std::strncpy(state->error, message ? message : "PNG error", sizeof(state->error) - 1);
    png_longjmp(png, 1);
}

// Returns false with state.error set. Only trivially destructible locals live here.
bool Decode(DecodeState& state, MemoryReader& reader)
{
    if (setjmp(png_jmpbuf(state.png)))
        return false;
    png_set_read_fn(state.png, &reader, ReadFromMemory);
    png_set_user_limits(state.png, kMaxSide, kMaxSide);
    png_read_info(state.png, state.info);

    int bitDepth = 0;
    int colorType = 0;
    png_get_IHDR(state.png, state.info, &state.width, &state.height, &bitDepth, &colorType, nullptr, nullptr,
                 nullptr);
    state.hasAlpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(state.png, state.info, PNG_INFO_tRNS);
    if (static_cast<float>(state.width) * static_cast<float>(state.height) * 3.0f > CxImage::kMaxMemory) {
        std::strcpy(state.error, "CXIMAGE_MAX_MEMORY exceeded");
        return false;
    }

    png_set_expand(state.png);  // palette to RGB, grey below 8 bits to 8 bits, tRNS to alpha
    png_set_strip_16(state.png);
    png_set_gray_to_rgb(state.png);
    png_set_add_alpha(state.png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(state.png);
    png_read_update_info(state.png, state.info);

    state.rgba->resize(static_cast<size_t>(state.width) * state.height * 4);
    state.rows->resize(state.height);
    for (png_uint_32 y = 0; y < state.height; ++y)
        (*state.rows)[y] = state.rgba->data() + static_cast<size_t>(y) * state.width * 4;
    png_read_image(state.png, state.rows->data());
    png_read_end(state.png, nullptr);
    return true;
}

}  // namespace

bool CxImage::DecodePng(const void* data, size_t size)
{
    if (!data || size < 8 || png_sig_cmp(static_cast<png_const_bytep>(data), 0, 8) != 0) {
        SetError("not a PNG file");
        return false;
    }
    std::vector<uint8_t> rgba;
    std::vector<png_bytep> rows;
    DecodeState state;
    state.rgba = &rgba;
    state.rows = &rows;
    MemoryReader reader{static_cast<const uint8_t*>(data), size, 0};

    state.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, StoreError, IgnoreWarning);
    if (!state.png) {
        SetError("can't create the PNG reader");
        return false;
    }
    state.info = png_create_info_struct(state.png);
    bool ok = false;
    try {
        ok = state.info && Decode(state, reader);
    } catch (...) {  // a failed allocation of the rows
        std::strcpy(state.error, "CxImage::Create can't allocate memory");
        ok = false;
    }
    png_destroy_read_struct(&state.png, state.info ? &state.info : nullptr, nullptr);
    if (!ok) {
        SetError(state.error[0] ? state.error : "PNG error");
        return false;
    }

    // RGBA top-down to BGR bottom-up plus the alpha plane.
    CxImage image;
    if (!image.Create(state.width, state.height, 24)) {
        SetError(image.GetLastError());
        return false;
    }
    if (state.hasAlpha) {
        image.AlphaCreate();
        if (!image.AlphaIsValid()) {
            SetError("CxImage::Create can't allocate memory");
            return false;
        }
    }
    for (png_uint_32 r = 0; r < state.height; ++r) {
        const uint32_t y = state.height - 1 - r;
        const uint8_t* source = rows[r];
        uint8_t* target = image.GetBits(y);
        uint8_t* alpha = state.hasAlpha ? image.AlphaGetPointer(0, y) : nullptr;
        for (png_uint_32 x = 0; x < state.width; ++x, source += 4, target += 3) {
            target[0] = source[2];
            target[1] = source[1];
            target[2] = source[0];
            if (alpha)
                alpha[x] = source[3];
        }
    }
    image.lastError_ = std::move(lastError_);
    *this = std::move(image);
    return true;
}

}  // namespace Vantor
