#include "image/WebpDecoder.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace Vantor::Webp {
namespace {

struct AnimDecoderFree {
    void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};
struct DemuxFree {
    void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};

// The first chunk of the kind, copied; empty when there is none.
std::vector<uint8_t> Chunk(const WebPDemuxer* demux, const char* kind)
{
    std::vector<uint8_t> bytes;
    WebPChunkIterator chunk;
    if (WebPDemuxGetChunk(demux, kind, 1, &chunk)) {
        try {
            bytes.assign(chunk.chunk.bytes, chunk.chunk.bytes + chunk.chunk.size);
        } catch (...) {
            bytes.clear();
        }
        WebPDemuxReleaseChunkIterator(&chunk);
    }
    return bytes;
}

Codecs::Outcome FirstFrame(const uint8_t* data, size_t size, Pixels& out)
{
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options))
        return Codecs::Outcome::Failed;
    options.color_mode = MODE_bgrA;
    options.use_threads = 0;
    const WebPData bytes{data, size};
    std::unique_ptr<WebPAnimDecoder, AnimDecoderFree> decoder(WebPAnimDecoderNew(&bytes, &options));
    if (!decoder)
        return Codecs::Outcome::Failed;
    WebPAnimInfo info;
    if (!WebPAnimDecoderGetInfo(decoder.get(), &info) || info.canvas_width == 0 || info.canvas_height == 0)
        return Codecs::Outcome::Failed;
    uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp) || !canvas)
        return Codecs::Outcome::Failed;
    out.width = info.canvas_width;
    out.height = info.canvas_height;
    out.channels = 4;
    out.data.assign(canvas, canvas + size_t(out.width) * out.height * 4);
    return Codecs::Outcome::Decoded;
}

}  // namespace

bool ReadSize(const uint8_t* data, size_t size, uint32_t& width, uint32_t& height)
{
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(data, size, &features) != VP8_STATUS_OK || features.width <= 0 || features.height <= 0)
        return false;
    width = static_cast<uint32_t>(features.width);
    height = static_cast<uint32_t>(features.height);
    return true;
}

Codecs::Outcome Decode(const uint8_t* data, size_t size, Pixels& out)
{
    WebPBitstreamFeatures features;
    const VP8StatusCode status = WebPGetFeatures(data, size, &features);
    if (status != VP8_STATUS_OK || features.width <= 0 || features.height <= 0)
        return Codecs::Outcome::Failed;
    if (features.has_animation)
        return FirstFrame(data, size, out);

    out.width = static_cast<uint32_t>(features.width);
    out.height = static_cast<uint32_t>(features.height);
    out.channels = features.has_alpha ? 4 : 3;
    out.data.resize(out.rowBytes() * out.height);
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        return Codecs::Outcome::Failed;
    config.output.colorspace = features.has_alpha ? MODE_bgrA : MODE_RGB;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = out.data.data();
    config.output.u.RGBA.stride = static_cast<int>(out.rowBytes());
    config.output.u.RGBA.size = out.data.size();
    const VP8StatusCode decoded = WebPDecode(data, size, &config);
    WebPFreeDecBuffer(&config.output);
    if (decoded == VP8_STATUS_OUT_OF_MEMORY)
        return Codecs::Outcome::NoMemory;
    return decoded == VP8_STATUS_OK ? Codecs::Outcome::Decoded : Codecs::Outcome::Failed;
}

bool DecodeSmall(const uint8_t* data, size_t size, uint32_t minLongSide, Pixels& out, uint32_t& width,
                 uint32_t& height)
{
    out = Pixels{};
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(data, size, &features) != VP8_STATUS_OK || features.width <= 0 || features.height <= 0 ||
        features.has_animation)
        return false;
    const auto w = static_cast<uint32_t>(features.width);
    const auto h = static_cast<uint32_t>(features.height);
    const uint64_t target = uint64_t(minLongSide) * 2;
    const uint32_t longSide = std::max(w, h);
    if (minLongSide == 0 || target >= longSide)
        return false;
    const auto scaled = [&](uint32_t side) {
        return static_cast<uint32_t>(std::max<uint64_t>(1, (uint64_t(side) * target + longSide / 2) / longSide));
    };
    out.width = scaled(w);
    out.height = scaled(h);
    out.channels = features.has_alpha ? 4 : 3;
    out.data.resize(out.rowBytes() * out.height);
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) {
        out = Pixels{};
        return false;
    }
    config.options.use_scaling = 1;
    config.options.scaled_width = static_cast<int>(out.width);
    config.options.scaled_height = static_cast<int>(out.height);
    config.output.colorspace = features.has_alpha ? MODE_bgrA : MODE_RGB;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = out.data.data();
    config.output.u.RGBA.stride = static_cast<int>(out.rowBytes());
    config.output.u.RGBA.size = out.data.size();
    const VP8StatusCode decoded = WebPDecode(data, size, &config);
    WebPFreeDecBuffer(&config.output);
    if (decoded != VP8_STATUS_OK) {
        out = Pixels{};
        return false;
    }
    width = w;
    height = h;
    return true;
}

void ReadMetadata(const uint8_t* data, size_t size, std::vector<uint8_t>& exif, std::vector<uint8_t>& icc)
{
    exif.clear();
    icc.clear();
    const WebPData bytes{data, size};
    std::unique_ptr<WebPDemuxer, DemuxFree> demux(WebPDemux(&bytes));
    if (!demux)
        return;
    const uint32_t flags = WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS);
    if (flags & ICCP_FLAG)
        icc = Chunk(demux.get(), "ICCP");
    if (flags & EXIF_FLAG)
        exif = Chunk(demux.get(), "EXIF");
    if (exif.size() >= 6 && std::memcmp(exif.data(), "Exif\0\0", 6) == 0)
        exif.erase(exif.begin(), exif.begin() + 6);
}

}  // namespace Vantor::Webp
