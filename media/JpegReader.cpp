// The JPEG reader over libjpeg's 6b interface. The library's default error handler ends the
// process, so errors (and the warnings that mean damaged data) jump back here instead, and
// the source is the file's bytes in memory, never read past their end. Output is scanline by
// scanline into bottom-up rows, with the floating-point inverse DCT.
#include "media/ImageReaders.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

namespace {

// Progressive files may hold any number of scans; past this many the file is taken as hostile
// (each scan costs a pass over the whole picture's coefficients).
constexpr int kMaxScans = 500;

struct Decoder {
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    jpeg_source_mgr source;
    jpeg_progress_mgr progress;
    jmp_buf escape;
    bool suppliedEnd = false; // the data ran out and a fake end marker was handed over
    uint8_t* pixels = nullptr;
    uint8_t* cmykRow = nullptr;
};

Decoder* DecoderOf(j_common_ptr info)
{
    // The error manager, source and progress records are members of the Decoder; libjpeg
    // hands back only the common pointer, whose client_data points at the Decoder.
    return static_cast<Decoder*>(info->client_data);
}

[[noreturn]] void OnError(j_common_ptr info) { std::longjmp(DecoderOf(info)->escape, 1); }

// Warnings about damaged entropy data mean libjpeg would go on with invented (grey) blocks;
// the picture is refused instead. Other warnings (extra bytes between markers, an unknown
// JFIF version) are harmless.
void OnMessage(j_common_ptr info, int level)
{
    if (level >= 0)
        return;
    switch (info->err->msg_code) {
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_JPEG_EOF:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
        std::longjmp(DecoderOf(info)->escape, 1);
    default:
        break;
    }
}

void OnProgress(j_common_ptr info)
{
    auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number > kMaxScans)
        std::longjmp(DecoderOf(info)->escape, 1);
}

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

// All bytes are in the buffer from the start, so a request for more means the data ended.
// A fake end marker is handed over, as libjpeg's own sources do: the entropy decoder reads
// ahead and may ask for more than it needs, and when it really needed the bytes it warns
// that it hit a marker, which ends decoding (OnMessage).
boolean FillInput(j_decompress_ptr info)
{
    static const JOCTET kEnd[2] = {0xFF, JPEG_EOI};
    DecoderOf(reinterpret_cast<j_common_ptr>(info))->suppliedEnd = true;
    info->src->next_input_byte = kEnd;
    info->src->bytes_in_buffer = 2;
    return TRUE;
}

void SkipInput(j_decompress_ptr info, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr* source = info->src;
    if (static_cast<unsigned long>(count) > source->bytes_in_buffer) {
        source->bytes_in_buffer = 0;
        FillInput(info);
        return;
    }
    source->next_input_byte += count;
    source->bytes_in_buffer -= static_cast<size_t>(count);
}

// Whether the scans of a progressive file brought every coefficient of every component to
// full precision: then the last scan was complete (a scan cut short warns that it hit the
// end, which ends decoding) and only what follows the scans can be missing. libjpeg keeps,
// per coefficient, the lowest bit decoded so far: -1 before any scan, 0 once complete.
bool EveryCoefficientComplete(const jpeg_decompress_struct& info)
{
    if (!info.progressive_mode || !info.coef_bits)
        return false;
    for (int c = 0; c < info.num_components; ++c)
        for (int k = 0; k < DCTSIZE2; ++k)
            if (info.coef_bits[c][k] != 0)
                return false;
    return true;
}

// CMYK (Adobe files store it inverted) to RGB, one row.
void CmykToRgb(const uint8_t* in, uint8_t* out, uint32_t count, bool inverted)
{
    for (uint32_t i = 0; i < count; ++i, in += 4, out += 3) {
        uint32_t c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        out[0] = static_cast<uint8_t>(c * k / 255);
        out[1] = static_cast<uint8_t>(m * k / 255);
        out[2] = static_cast<uint8_t>(y * k / 255);
    }
}

// Creates the decompressor and runs it; the only function that libjpeg's errors jump back
// into, so it holds nothing that needs destroying. Returns false on any error; the caller
// destroys the decompressor (safe on a zeroed one) and frees d's blocks.
bool Run(Decoder& d, const uint8_t* data, size_t size, uint64_t maxPixels, ImageFile& result)
{
    if (setjmp(d.escape))
        return false;
    jpeg_create_decompress(&d.info);
    d.source.next_input_byte = data;
    d.source.bytes_in_buffer = size;
    d.source.init_source = InitSource;
    d.source.fill_input_buffer = FillInput;
    d.source.skip_input_data = SkipInput;
    d.source.resync_to_restart = jpeg_resync_to_restart;
    d.source.term_source = TermSource;
    d.info.src = &d.source;
    d.progress.progress_monitor = OnProgress;
    d.info.progress = &d.progress;
    jpeg_read_header(&d.info, TRUE);

    result.width = static_cast<int32_t>(d.info.image_width);
    result.height = static_cast<int32_t>(d.info.image_height);
    const bool cmyk = d.info.jpeg_color_space == JCS_CMYK || d.info.jpeg_color_space == JCS_YCCK;
    const bool grey = d.info.jpeg_color_space == JCS_GRAYSCALE;
    const bool colour = d.info.jpeg_color_space == JCS_YCbCr || d.info.jpeg_color_space == JCS_RGB;
    result.bitsPerPixel = grey ? 8 : (cmyk || colour) ? 24 : d.info.num_components * 8;
    if (!(grey || cmyk || colour) || !ImageSizeAllowed(d.info.image_width, d.info.image_height, maxPixels))
        return false;

    d.info.out_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_RGB;
    d.info.dct_method = JDCT_FLOAT;
    // Coefficient buffers of multi-scan files must fit this; without a backing store,
    // libjpeg then fails instead of allocating.
    d.info.mem->max_memory_to_use = static_cast<long>(maxPixels * 8 + (16l << 20));
    jpeg_start_decompress(&d.info);
    // A multi-scan file is read whole by now. When its data ran out, scans may be missing and
    // the picture would be a coarse or partial one, unless only the end marker is missing.
    if (jpeg_has_multiple_scans(&d.info) && d.suppliedEnd && !EveryCoefficientComplete(d.info))
        return false;
    const uint32_t width = d.info.output_width, height = d.info.output_height;
    const uint32_t components = static_cast<uint32_t>(d.info.output_components);
    if (width != d.info.image_width || height != d.info.image_height || components != (grey ? 1u : cmyk ? 4u : 3u))
        return false;
    const uint32_t channels = grey ? 1 : 3;
    const size_t rowBytes = static_cast<size_t>(width) * channels;
    d.pixels = static_cast<uint8_t*>(std::malloc(rowBytes * height));
    if (cmyk)
        d.cmykRow = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(width) * 4));
    if (!d.pixels || (cmyk && !d.cmykRow))
        return false;
    while (d.info.output_scanline < height) {
        uint8_t* row = d.pixels + (height - 1 - d.info.output_scanline) * rowBytes;
        JSAMPROW target = cmyk ? d.cmykRow : row;
        if (jpeg_read_scanlines(&d.info, &target, 1) != 1)
            return false;
        if (cmyk)
            CmykToRgb(d.cmykRow, row, width, d.info.saw_Adobe_marker);
    }
    jpeg_finish_decompress(&d.info);
    return true;
}

} // namespace

ImageFile DecodeJPEG(const uint8_t* data, size_t size, uint64_t maxPixels)
{
    ImageFile result;
    if (!data || size < 2)
        return result;
    Decoder* d = new Decoder();
    d->info.err = jpeg_std_error(&d->errors);
    d->errors.error_exit = OnError;
    d->errors.emit_message = OnMessage;
    d->info.client_data = d;
    if (Run(*d, data, size, maxPixels, result)) {
        result.pixels = d->pixels;
        d->pixels = nullptr;
    }
    jpeg_destroy_decompress(&d->info);
    std::free(d->pixels);
    std::free(d->cmykRow);
    delete d;
    return result;
}
