// libjpeg behind one error boundary. Everything that may reach libjpeg's error exit runs
// in the stage functions below, called from Guarded(); they and the Job they work on
// hold no C++ object, so the long jump skips no destructor. The caller destroys the
// decompressor on every path.
#include "platform/jpeg/jpeg_decoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

#include "platform/jpeg/cmyk.h"

namespace platform::jpeg {
namespace {

constexpr std::size_t kSourceBlock = 4096;
const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

// Reads the data block by block as libjpeg asks for it; what libjpeg skips is never read.
struct SourceManager {
    jpeg_source_mgr pub;
    ByteSource* data;
    std::uint64_t position;  // of the byte after the block in `block`
    JOCTET block[kSourceBlock];
};

struct ProgressMonitor {
    jpeg_progress_mgr pub;
    int max_scans;
};

// Plain data only: see the comment at the top.
struct Job {
    jpeg_decompress_struct cinfo;
    ErrorManager error;
    SourceManager source;
    ProgressMonitor progress;
    bool created;
    long max_memory;

    // Decoding only.
    int target_width;
    int target_height;
    bool low_colour_display;
    long long max_quantised_pixels;
    std::uint8_t* pixels;  // target_width * target_height * 3 bytes, zeroed
    bool started;
    bool indexed;
    int palette_size;
    std::uint8_t palette[256 * 3];

    // Header only.
    Header* header;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1); }

// Warnings and trace messages are of no use to the viewer: a damaged file shows what
// could be decoded.
void DiscardMessage(j_common_ptr, int) {}
void DiscardOutput(j_common_ptr) {}

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
    const std::size_t n = src->data->ReadAt(src->position, src->block);
    if (n == 0) {
        // Out of data: end the image here, so that what came so far is shown.
        src->pub.next_input_byte = kEndOfImage;
        src->pub.bytes_in_buffer = sizeof kEndOfImage;
        return TRUE;
    }
    src->pub.next_input_byte = src->block;
    src->pub.bytes_in_buffer = n;
    src->position += n;
    return TRUE;
}

// Skipped segments are stepped over, not read: a file may hold hundreds of megabytes of
// them. Past the end, the next fill ends the image.
void SkipInput(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
    const auto wanted = static_cast<unsigned long>(count);
    if (wanted <= src->pub.bytes_in_buffer) {
        src->pub.next_input_byte += wanted;
        src->pub.bytes_in_buffer -= wanted;
        return;
    }
    src->position += wanted - src->pub.bytes_in_buffer;
    src->pub.bytes_in_buffer = 0;
}

// A progressive file can carry any number of scans, each a pass over the whole
// coefficient buffer: stop well past what real encoders write.
void WatchScans(j_common_ptr cinfo) {
    if (!cinfo->is_decompressor) return;
    auto* monitor = reinterpret_cast<ProgressMonitor*>(cinfo->progress);
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > monitor->max_scans)
        ERREXIT(cinfo, JERR_BAD_PROGRESSION);
}

void Open(Job* job) {
    j_decompress_ptr cinfo = &job->cinfo;
    jpeg_create_decompress(cinfo);
    job->created = true;
    cinfo->mem->max_memory_to_use = job->max_memory;

    job->progress.pub.progress_monitor = WatchScans;
    cinfo->progress = &job->progress.pub;

    SourceManager& src = job->source;
    src.pub.init_source = InitSource;
    src.pub.fill_input_buffer = FillInput;
    src.pub.skip_input_data = SkipInput;
    src.pub.resync_to_restart = jpeg_resync_to_restart;
    src.pub.term_source = TermSource;
    src.pub.next_input_byte = nullptr;
    src.pub.bytes_in_buffer = 0;
    cinfo->src = &src.pub;

    jpeg_read_header(cinfo, TRUE);
    // Two components have no defined colour meaning.
    if (cinfo->num_components == 2 || cinfo->num_components > 4) ERREXIT(cinfo, JERR_CONVERSION_NOTIMPL);
}

void HeaderStage(Job* job) {
    Open(job);
    const jpeg_decompress_struct& cinfo = job->cinfo;
    job->header->width = static_cast<int>(cinfo.image_width);
    job->header->height = static_cast<int>(cinfo.image_height);
}

void TakePalette(Job* job) {
    const jpeg_decompress_struct& cinfo = job->cinfo;
    job->palette_size = cinfo.actual_number_of_colors;
    bool inverted = cinfo.saw_Adobe_marker;
    for (int i = 0; i < job->palette_size; ++i) {
        std::uint8_t* rgb = job->palette + 3 * i;
        if (cinfo.out_color_components == 1) {
            rgb[0] = rgb[1] = rgb[2] = cinfo.colormap[0][i];
        } else if (cinfo.out_color_components == 3) {
            for (int c = 0; c < 3; ++c) rgb[c] = cinfo.colormap[c][i];
        } else {
            JSAMPLE cmyk[4];
            for (int c = 0; c < 4; ++c) cmyk[c] = cinfo.colormap[c][i];
            CmykToRgb(cmyk, inverted, rgb);
        }
    }
}

void StoreRow(Job* job, const JSAMPLE* row, const JDIMENSION* columns, int target_row) {
    const jpeg_decompress_struct& cinfo = job->cinfo;
    const int width = job->target_width;
    if (job->indexed) {
        std::uint8_t* out = job->pixels + static_cast<std::size_t>(target_row) * width;
        for (int x = 0; x < width; ++x) out[x] = row[columns[x]];
        return;
    }
    std::uint8_t* out = job->pixels + static_cast<std::size_t>(target_row) * width * 3;
    const int components = cinfo.output_components;
    const bool inverted = cinfo.saw_Adobe_marker;
    for (int x = 0; x < width; ++x, out += 3) {
        const JSAMPLE* in = row + columns[x] * components;
        if (components == 3) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
        } else if (components == 1) {
            out[0] = out[1] = out[2] = in[0];
        } else {
            CmykToRgb(in, inverted, out);
        }
    }
}

// Reads (or, where nothing depends on them, skips) source rows up to `row`.
void AdvanceTo(j_decompress_ptr cinfo, JDIMENSION row, bool can_skip, JSAMPARRAY buffer) {
    if (row <= cinfo->output_scanline) return;
    if (can_skip) {
        jpeg_skip_scanlines(cinfo, row - cinfo->output_scanline);
        return;
    }
    while (cinfo->output_scanline < row) jpeg_read_scanlines(cinfo, buffer, 1);
}

// Sets libjpeg up for the decode and starts it; returns whether colours are quantised.
bool StartDecoding(Job* job) {
    j_decompress_ptr cinfo = &job->cinfo;
    // The decoder has no arithmetic decoding; refuse it as a library without it would.
    if (cinfo->arith_code) ERREXIT(cinfo, JERR_ARITH_NOTIMPL);

    cinfo->scale_num = 1;
    cinfo->scale_denom = 1;
    cinfo->dct_method = JDCT_FLOAT;
    cinfo->do_block_smoothing = TRUE;
    const bool quantise = cinfo->out_color_space == JCS_GRAYSCALE || job->low_colour_display;
    if (quantise) {
        if (static_cast<long long>(cinfo->image_width) * cinfo->image_height > job->max_quantised_pixels)
            ERREXIT1(cinfo, JERR_IMAGE_TOO_BIG, static_cast<unsigned>(cinfo->image_width));
        cinfo->quantize_colors = TRUE;
        cinfo->desired_number_of_colors = kQuantisedColours;
    }
    jpeg_start_decompress(cinfo);

    job->indexed = quantise;
    if (quantise) TakePalette(job);
    job->started = true;
    return quantise;
}

// For each target column, the source column it shows; in libjpeg's image pool.
JDIMENSION* ColumnMap(Job* job) {
    j_decompress_ptr cinfo = &job->cinfo;
    auto* columns = static_cast<JDIMENSION*>(
        (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                   sizeof(JDIMENSION) * static_cast<std::size_t>(job->target_width)));
    for (int x = 0; x < job->target_width; ++x)
        columns[x] = static_cast<JDIMENSION>(static_cast<unsigned long long>(x) * cinfo->output_width /
                                             static_cast<unsigned>(job->target_width));
    return columns;
}

void DecodeStage(Job* job) {
    Open(job);
    j_decompress_ptr cinfo = &job->cinfo;
    const bool quantise = StartDecoding(job);

    const JDIMENSION height = cinfo->output_height;
    JSAMPARRAY buffer = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                    cinfo->output_width * cinfo->output_components, 1);
    const JDIMENSION* columns = ColumnMap(job);

    // Dithering carries its error from row to row, so a quantised picture must see
    // every row; otherwise rows that no target row samples are skipped. Not in a
    // progressive picture: libjpeg's skipping loops forever on some of them (its scans
    // are read whole into memory before any row anyway, within the memory limit).
    const bool can_skip = !quantise && !cinfo->progressive_mode;
    const std::size_t target_row_bytes = static_cast<std::size_t>(job->target_width) * (quantise ? 1 : 3);
    JDIMENSION last_read = 0;
    bool have_row = false;
    for (int y = 0; y < job->target_height; ++y) {
        const auto source_row = static_cast<JDIMENSION>(static_cast<unsigned long long>(y) * height /
                                                        static_cast<unsigned>(job->target_height));
        if (have_row && source_row == last_read) {
            std::memcpy(job->pixels + y * target_row_bytes, job->pixels + (y - 1) * target_row_bytes, target_row_bytes);
            continue;
        }
        AdvanceTo(cinfo, source_row, can_skip, buffer);
        jpeg_read_scanlines(cinfo, buffer, 1);
        StoreRow(job, buffer[0], columns, y);
        last_read = source_row;
        have_row = true;
    }
    // The rows after the last one sampled are skipped but for the last, which is read:
    // skipping to the end would leave the markers after the scan unread, and errors in
    // them unreported. Reading them all would cost a picture that claims a huge size
    // (its missing data decodes as grey) seconds of work for rows nobody sees.
    AdvanceTo(cinfo, height - 1, can_skip, buffer);
    AdvanceTo(cinfo, height, false, buffer);
    jpeg_finish_decompress(cinfo);
}

void PrepareJob(Job* job, ByteSource& data, long max_memory, int max_scans) {
    job->cinfo.err = jpeg_std_error(&job->error.pub);
    job->error.pub.error_exit = ErrorExit;
    job->error.pub.emit_message = DiscardMessage;
    job->error.pub.output_message = DiscardOutput;
    job->source.data = &data;
    job->source.position = 0;
    job->max_memory = max_memory;
    job->progress.max_scans = max_scans;
}

// The one place that catches libjpeg's error exit. Returns 0 or the message code.
int Guarded(Job* job, void (*stage)(Job*)) {
    if (setjmp(job->error.jump) != 0) return job->error.pub.msg_code;
    stage(job);
    return 0;
}

int Run(Job* job, void (*stage)(Job*)) {
    int code = Guarded(job, stage);
    if (job->created) jpeg_destroy_decompress(&job->cinfo);
    return code;
}

}  // namespace

int ReadHeader(ByteSource& data, Header& header) {
    Job job{};
    const Limits limits;
    PrepareJob(&job, data, limits.max_memory, limits.max_scans);
    Header found;
    job.header = &found;
    int code = Run(&job, HeaderStage);
    if (code == 0) header = found;
    return code;
}

int DecodeStretched(ByteSource& data, int width, int height, bool low_colour_display, Stretched& out,
                    const Limits& limits) {
    out = Stretched{};
    if (width <= 0 || height <= 0) return 0;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 3);
    Job job{};
    PrepareJob(&job, data, limits.max_memory, limits.max_scans);
    job.target_width = width;
    job.target_height = height;
    job.low_colour_display = low_colour_display;
    job.max_quantised_pixels = limits.max_quantised_pixels;
    job.pixels = pixels.data();
    int code = Run(&job, DecodeStage);
    if (!job.started) return code;

    out.width = width;
    out.height = height;
    out.indexed = job.indexed;
    if (job.indexed) {
        pixels.resize(static_cast<std::size_t>(width) * height);
        out.palette.assign(job.palette, job.palette + 3 * job.palette_size);
    }
    out.pixels = std::move(pixels);
    return code;
}

int ReadHeader(std::span<const std::uint8_t> data, Header& header) {
    MemorySource source(data);
    return ReadHeader(source, header);
}

int DecodeStretched(std::span<const std::uint8_t> data, int width, int height, bool low_colour_display, Stretched& out,
                    const Limits& limits) {
    MemorySource source(data);
    return DecodeStretched(source, width, height, low_colour_display, out, limits);
}

}  // namespace platform::jpeg
