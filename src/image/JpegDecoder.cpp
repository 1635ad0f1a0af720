// JPEG decoding through libjpeg-turbo. libjpeg reports errors by longjmp: the frames that
// call setjmp hold nothing with a destructor, and the output vector lives in the caller.
#include "image/JpegDecoder.h"

#include <cstdio>  // jpeglib.h needs FILE and size_t first

#include <jpeglib.h>
#include <jerror.h>

#include <csetjmp>
#include <new>

namespace Vantor::Jpeg {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    jmp_buf jump;
    Outcome reason = Outcome::Failed;  // why the decode was left
};

[[noreturn]] void Leave(j_common_ptr info, Outcome reason)
{
    auto* error = reinterpret_cast<ErrorManager*>(info->err);
    error->reason = reason;
    longjmp(error->jump, 1);
}

void OnError(j_common_ptr info)
{
    Leave(info, info->err->msg_code == JERR_OUT_OF_MEMORY ? Outcome::NoMemory : Outcome::Failed);
}

// Called by the library before every row of blocks it reads (of every scan) and every row it
// puts out: the stop flag, the scan count and the blocks worked on so far.
struct Monitor {
    jpeg_progress_mgr base{};
    Limits limits;
    uint64_t workLimit = 0;
    uint64_t work = 0;
    int scan = -1;
    JDIMENSION row = 0;
};

void OnProgress(j_common_ptr common)
{
    auto* info = reinterpret_cast<j_decompress_ptr>(common);
    auto* monitor = reinterpret_cast<Monitor*>(common->progress);
    if (monitor->limits.stop && monitor->limits.stop->load())
        Leave(common, Outcome::Stopped);
    if (info->input_scan_number > monitor->limits.maxScans)
        Leave(common, Outcome::TooMuchWork);
    if (info->input_scan_number == monitor->scan && info->input_iMCU_row == monitor->row)
        return;  // an output row, or the same input row again
    monitor->scan = info->input_scan_number;
    monitor->row = info->input_iMCU_row;
    if (info->comps_in_scan <= 0)
        return;
    // A row of blocks of the scan: one MCU row when interleaved, the component's vertical
    // sampling factor of block rows when not.
    uint64_t blocks = static_cast<uint64_t>(info->MCUs_per_row) * static_cast<uint64_t>(info->blocks_in_MCU);
    if (info->comps_in_scan == 1 && info->cur_comp_info[0])
        blocks *= static_cast<uint64_t>(info->cur_comp_info[0]->v_samp_factor);
    monitor->work += blocks;
    if (monitor->work > monitor->workLimit)
        Leave(common, Outcome::TooMuchWork);
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
    Monitor monitor{};
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

unsigned ScaleFor(uint32_t width, uint32_t height, uint32_t minWidth, uint32_t minHeight)
{
    for (unsigned m = 1; m <= 8; ++m) {
        // The scaled size libjpeg produces: ceil(side * m / 8).
        const uint64_t w = (static_cast<uint64_t>(width) * m + 7) / 8;
        const uint64_t h = (static_cast<uint64_t>(height) * m + 7) / 8;
        if (w >= minWidth && h >= minHeight)
            return m;
    }
    return 8;
}

void ReadSizes(const jpeg_decompress_struct& info, Header& header)
{
    header.width = info.image_width;
    header.height = info.image_height;
    header.components = info.num_components;
    header.multiScan = jpeg_has_multiple_scans(const_cast<j_decompress_ptr>(&info)) != FALSE;
    uint64_t blocks = 0, stored = 0;
    for (int i = 0; i < info.num_components; ++i) {
        const jpeg_component_info& c = info.comp_info[i];
        blocks += static_cast<uint64_t>(c.width_in_blocks) * c.height_in_blocks;
        // The whole-picture buffer is padded to whole MCUs of the component.
        const auto h = static_cast<uint64_t>(c.h_samp_factor > 0 ? c.h_samp_factor : 1);
        const auto v = static_cast<uint64_t>(c.v_samp_factor > 0 ? c.v_samp_factor : 1);
        stored += (c.width_in_blocks + h - 1) / h * h * ((c.height_in_blocks + v - 1) / v * v);
    }
    header.blocks = blocks;
    header.coefficientBytes = header.multiScan ? stored * sizeof(JBLOCK) : 0;
}

bool DecodeRows(Decompressor& d, uint32_t minWidth, uint32_t minHeight, const Limits& limits, std::vector<uint8_t>& rgb,
                uint32_t& width, uint32_t& height)
{
    if (setjmp(d.error.jump))
        return false;
    if (d.info.num_components != 1 && d.info.num_components != 3)
        return false;
    Header header;
    ReadSizes(d.info, header);
    d.monitor.limits = limits;
    d.monitor.workLimit = header.blocks * (header.multiScan ? limits.maxPasses : 1u) + header.blocks / 8 + 64;
    d.monitor.base.progress_monitor = OnProgress;
    d.info.progress = &d.monitor.base;
    d.info.out_color_space = JCS_RGB;
    d.info.scale_denom = 8;
    d.info.scale_num = ScaleFor(d.info.image_width, d.info.image_height, minWidth, minHeight);
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
        ReadSizes(d.info, header);
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

Outcome DecodeBounded(const uint8_t* data, size_t size, uint32_t minWidth, uint32_t minHeight, const Limits& limits,
                      Pixels& out)
{
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return Outcome::Failed;
    Decompressor d;
    Outcome outcome = Outcome::Failed;
    try {
        if (StartHeader(d, data, size) && DecodeRows(d, minWidth, minHeight, limits, out.data, out.width, out.height))
            outcome = Outcome::Decoded;
        else
            outcome = d.error.reason;
        out.channels = 3;
    } catch (const std::bad_alloc&) {  // the rows could not be allocated
        outcome = Outcome::NoMemory;
    } catch (...) {
        outcome = Outcome::Failed;
    }
    jpeg_destroy_decompress(&d.info);
    if (outcome != Outcome::Decoded)
        out = Pixels{};
    return outcome;
}

bool DecodeScaled(const uint8_t* data, size_t size, uint32_t minWidth, uint32_t minHeight, Pixels& out)
{
    return DecodeBounded(data, size, minWidth, minHeight, Limits{}, out) == Outcome::Decoded;
}

void ScaledSize(const Header& header, uint32_t minWidth, uint32_t minHeight, uint32_t& width, uint32_t& height)
{
    const unsigned m = ScaleFor(header.width, header.height, minWidth, minHeight);
    width = static_cast<uint32_t>((static_cast<uint64_t>(header.width) * m + 7) / 8);
    height = static_cast<uint32_t>((static_cast<uint64_t>(header.height) * m + 7) / 8);
}

uint64_t DecodeBytes(const Header& header, uint32_t outputWidth, uint32_t outputHeight)
{
    // Working rows: a few rows of every component at full width, for upsampling and colours.
    const uint64_t working = static_cast<uint64_t>(header.width) * 3 * 48;
    return header.coefficientBytes + static_cast<uint64_t>(outputWidth) * outputHeight * 3 + working;
}

}  // namespace Vantor::Jpeg
