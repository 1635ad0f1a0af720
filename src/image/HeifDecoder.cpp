#include "image/HeifDecoder.h"

#include <libheif/heif.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace Vantor::Heif {
namespace {

// Beyond what the size ceiling lets through; the library's own check is a second guard.
constexpr int kLibraryWidthLimit = 1 << 16;
// Larger metadata than a JPEG can carry is not read.
constexpr size_t kLongestProfile = 4u << 20;
constexpr size_t kLongestExif = 1u << 20;

struct ContextFree {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleFree {
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageFree {
    void operator()(heif_image* image) const { heif_image_release(image); }
};
struct OptionsFree {
    void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
};
using Context = std::unique_ptr<heif_context, ContextFree>;
using Handle = std::unique_ptr<heif_image_handle, HandleFree>;
using Image = std::unique_ptr<heif_image, ImageFree>;

Codecs::Outcome OutcomeOf(const heif_error& error)
{
    if (error.code == heif_error_Ok)
        return Codecs::Outcome::Decoded;
    return error.code == heif_error_Memory_allocation_error ? Codecs::Outcome::NoMemory : Codecs::Outcome::Failed;
}

// The file's context (read without a copy: the bytes outlive it) and its primary picture.
Codecs::Outcome Open(const uint8_t* data, size_t size, Context& context, Handle& primary)
{
    context.reset(heif_context_alloc());
    if (!context)
        return Codecs::Outcome::NoMemory;
    heif_context_set_maximum_image_size_limit(context.get(), kLibraryWidthLimit);
    // Tiles in the calling thread: the decode budget counts one decode per thread.
    heif_context_set_max_decoding_threads(context.get(), 0);
    Codecs::Outcome outcome =
        OutcomeOf(heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr));
    if (outcome != Codecs::Outcome::Decoded)
        return outcome;
    heif_image_handle* handle = nullptr;
    outcome = OutcomeOf(heif_context_get_primary_image_handle(context.get(), &handle));
    primary.reset(handle);
    return outcome == Codecs::Outcome::Decoded && !primary ? Codecs::Outcome::Failed : outcome;
}

// Decodes the picture as seen into rows of our own.
Codecs::Outcome DecodeHandle(heif_image_handle* handle, Pixels& out)
{
    std::unique_ptr<heif_decoding_options, OptionsFree> options(heif_decoding_options_alloc());
    if (!options)
        return Codecs::Outcome::NoMemory;
    options->ignore_transformations = 0;
    const bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
    heif_image* decoded = nullptr;
    const Codecs::Outcome outcome = OutcomeOf(heif_decode_image(
        handle, &decoded, heif_colorspace_RGB, alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
        options.get()));
    Image image(decoded);
    if (outcome != Codecs::Outcome::Decoded)
        return outcome;
    if (!image)
        return Codecs::Outcome::Failed;
    const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    if (!plane || width <= 0 || height <= 0 || stride < width * (alpha ? 4 : 3))
        return Codecs::Outcome::Failed;
    out.width = static_cast<uint32_t>(width);
    out.height = static_cast<uint32_t>(height);
    out.channels = alpha ? 4 : 3;
    out.data.resize(out.rowBytes() * out.height);
    for (uint32_t y = 0; y < out.height; ++y) {
        const uint8_t* source = plane + size_t(stride) * y;
        uint8_t* target = out.row(y);
        if (!alpha) {
            std::memcpy(target, source, out.rowBytes());
            continue;
        }
        // Straight red, green, blue, alpha into premultiplied blue, green, red, alpha.
        for (uint32_t x = 0; x < out.width; ++x, source += 4, target += 4) {
            const uint32_t a = source[3];
            target[0] = static_cast<uint8_t>((source[2] * a + 127) / 255);
            target[1] = static_cast<uint8_t>((source[1] * a + 127) / 255);
            target[2] = static_cast<uint8_t>((source[0] * a + 127) / 255);
            target[3] = static_cast<uint8_t>(a);
        }
    }
    return Codecs::Outcome::Decoded;
}

}  // namespace

Codecs::Outcome Decode(const uint8_t* data, size_t size, Pixels& out)
{
    Context context;
    Handle primary;
    const Codecs::Outcome opened = Open(data, size, context, primary);
    if (opened != Codecs::Outcome::Decoded)
        return opened;
    return DecodeHandle(primary.get(), out);
}

bool ReadSize(const uint8_t* data, size_t size, uint32_t& width, uint32_t& height)
{
    Context context;
    Handle primary;
    if (Open(data, size, context, primary) != Codecs::Outcome::Decoded)
        return false;
    const int w = heif_image_handle_get_width(primary.get());
    const int h = heif_image_handle_get_height(primary.get());
    if (w <= 0 || h <= 0)
        return false;
    width = static_cast<uint32_t>(w);
    height = static_cast<uint32_t>(h);
    return true;
}

bool DecodeThumbnail(const uint8_t* data, size_t size, uint32_t minLongSide, Pixels& out, uint32_t& width,
                     uint32_t& height)
{
    Context context;
    Handle primary;
    if (Open(data, size, context, primary) != Codecs::Outcome::Decoded)
        return false;
    const int mainW = heif_image_handle_get_width(primary.get());
    const int mainH = heif_image_handle_get_height(primary.get());
    if (mainW <= 0 || mainH <= 0)
        return false;
    const int count = heif_image_handle_get_number_of_thumbnails(primary.get());
    if (count <= 0)
        return false;
    std::vector<heif_item_id> ids(static_cast<size_t>(count));
    const int listed = heif_image_handle_get_list_of_thumbnail_IDs(primary.get(), ids.data(), count);
    for (int i = 0; i < listed; ++i) {
        heif_image_handle* found = nullptr;
        if (heif_image_handle_get_thumbnail(primary.get(), ids[i], &found).code != heif_error_Ok)
            continue;
        Handle thumbnail(found);
        const int w = heif_image_handle_get_width(thumbnail.get());
        const int h = heif_image_handle_get_height(thumbnail.get());
        if (w <= 0 || h <= 0 || static_cast<uint32_t>(std::max(w, h)) < minLongSide)
            continue;
        // The same picture shrunk: its aspect within the rounding of its smaller size. A
        // thumbnail cut to another shape (or left unturned) would show the wrong picture.
        const double expectedH = double(w) * mainH / mainW;
        const double expectedW = double(h) * mainW / mainH;
        if (std::abs(expectedH - h) > 1.0 && std::abs(expectedW - w) > 1.0)
            continue;
        if (DecodeHandle(thumbnail.get(), out) != Codecs::Outcome::Decoded)
            continue;
        width = static_cast<uint32_t>(mainW);
        height = static_cast<uint32_t>(mainH);
        return true;
    }
    out = Pixels{};
    return false;
}

void ReadMetadata(const uint8_t* data, size_t size, std::vector<uint8_t>& exif, std::vector<uint8_t>& icc)
{
    exif.clear();
    icc.clear();
    Context context;
    Handle primary;
    if (Open(data, size, context, primary) != Codecs::Outcome::Decoded)
        return;
    const heif_color_profile_type profile = heif_image_handle_get_color_profile_type(primary.get());
    const size_t profileSize = heif_image_handle_get_raw_color_profile_size(primary.get());
    if ((profile == heif_color_profile_type_prof || profile == heif_color_profile_type_rICC) && profileSize > 0 &&
        profileSize <= kLongestProfile) {
        icc.resize(profileSize);
        if (heif_image_handle_get_raw_color_profile(primary.get(), icc.data()).code != heif_error_Ok)
            icc.clear();
    }
    heif_item_id id = 0;
    if (heif_image_handle_get_list_of_metadata_block_IDs(primary.get(), "Exif", &id, 1) != 1)
        return;
    const size_t blockSize = heif_image_handle_get_metadata_size(primary.get(), id);
    if (blockSize < 4 + 8 || blockSize > kLongestExif)
        return;
    std::vector<uint8_t> block(blockSize);
    if (heif_image_handle_get_metadata(primary.get(), id, block.data()).code != heif_error_Ok)
        return;
    // A big-endian count of the bytes before the TIFF structure, after the count itself.
    const size_t skip = (size_t(block[0]) << 24) | (size_t(block[1]) << 16) | (size_t(block[2]) << 8) | block[3];
    if (skip > blockSize - 4 - 8)
        return;
    exif.assign(block.begin() + static_cast<ptrdiff_t>(4 + skip), block.end());
}

}  // namespace Vantor::Heif
