#include "jpeg_fixtures.h"

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include <fcntl.h>
#include <jerror.h>
#include <jpeglib.h>
#include <unistd.h>

namespace fixtures {
namespace {

std::uint8_t Clamp(int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// Stored (Adobe-inverted) CMYK that gives back `rgb` as R = C * K / 255.
void RgbToInvertedCmyk(const std::uint8_t rgb[3], JSAMPLE cmyk[4]) {
    int k = std::max({int{rgb[0]}, int{rgb[1]}, int{rgb[2]}});
    for (int c = 0; c < 3; ++c) cmyk[c] = Clamp(k == 0 ? 0 : (rgb[c] * 255 + k / 2) / k);
    cmyk[3] = static_cast<JSAMPLE>(k);
}

void WriteAt(int fd, std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
    if (pwrite(fd, data, size, static_cast<off_t>(offset)) != static_cast<ssize_t>(size))
        throw std::runtime_error("cannot write a large file fixture");
}

struct RefJob {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    std::jmp_buf jump;
    const Bytes* bytes;
    bool quantise;
    Decoded* out;  // rows must have been sized by the caller after the header
    bool created;
};

void RefError(j_common_ptr cinfo) {
    auto* job = reinterpret_cast<RefJob*>(reinterpret_cast<char*>(cinfo->err) - offsetof(RefJob, err));
    std::longjmp(job->jump, 1);
}
void RefSilent(j_common_ptr, int) {}

void RefStart(RefJob* job) {
    j_decompress_ptr cinfo = &job->cinfo;
    jpeg_create_decompress(cinfo);
    job->created = true;
    jpeg_mem_src(cinfo, job->bytes->data(), job->bytes->size());
    jpeg_read_header(cinfo, TRUE);
    cinfo->dct_method = JDCT_FLOAT;
    cinfo->do_block_smoothing = TRUE;
    if (job->quantise || cinfo->out_color_space == JCS_GRAYSCALE) {
        cinfo->quantize_colors = TRUE;
        cinfo->desired_number_of_colors = 236;
    }
    jpeg_start_decompress(cinfo);
    Decoded& d = *job->out;
    d.started = true;
    d.width = static_cast<int>(cinfo->output_width);
    d.height = static_cast<int>(cinfo->output_height);
    d.components = cinfo->output_components;
    d.indexed = cinfo->quantize_colors;
}

void RefRows(RefJob* job) {
    j_decompress_ptr cinfo = &job->cinfo;
    Decoded& d = *job->out;
    if (d.indexed) {
        for (int i = 0; i < cinfo->actual_number_of_colors; ++i)
            for (int c = 0; c < 3; ++c)
                d.palette[3 * i + c] = cinfo->colormap[cinfo->out_color_components == 1 ? 0 : c][i];
    }
    const std::size_t stride = static_cast<std::size_t>(d.width) * d.components;
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = d.rows.data() + cinfo->output_scanline * stride;
        jpeg_read_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_decompress(cinfo);
}

int RefGuarded(RefJob* job, void (*stage)(RefJob*)) {
    if (setjmp(job->jump) != 0) return job->err.msg_code;
    stage(job);
    return 0;
}

// A compressor writing to memory; libjpeg's standard error handler ends the test
// program on a fault, which only a broken fixture can cause.
struct MemoryCompressor {
    MemoryCompressor() {
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_compress(&cinfo);
        jpeg_mem_dest(&cinfo, &buffer, &size);
    }
    ~MemoryCompressor() {
        jpeg_destroy_compress(&cinfo);
        std::free(buffer);
    }
    Bytes Take() const { return Bytes(buffer, buffer + size); }

    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
};

}  // namespace

void PatternRgb(int x, int y, int width, int height, std::uint8_t rgb[3]) {
    rgb[0] = static_cast<std::uint8_t>(width > 1 ? x * 255 / (width - 1) : 128);
    rgb[1] = static_cast<std::uint8_t>(height > 1 ? y * 255 / (height - 1) : 64);
    rgb[2] = static_cast<std::uint8_t>(((x / 8 + y / 8) & 1) ? 220 : 30);
}

Bytes Encode(const EncodeOptions& o) {
    MemoryCompressor compressor;
    jpeg_compress_struct& cinfo = compressor.cinfo;
    cinfo.image_width = static_cast<JDIMENSION>(o.width);
    cinfo.image_height = static_cast<JDIMENSION>(o.height);
    switch (o.colour) {
        case Colour::Grey:
            cinfo.input_components = 1;
            cinfo.in_color_space = JCS_GRAYSCALE;
            break;
        case Colour::Rgb:
            cinfo.input_components = 3;
            cinfo.in_color_space = JCS_RGB;
            break;
        case Colour::Cmyk:
        case Colour::Ycck:
            cinfo.input_components = 4;
            cinfo.in_color_space = JCS_CMYK;
            break;
        case Colour::TwoComponents:
            cinfo.input_components = 2;
            cinfo.in_color_space = JCS_UNKNOWN;
            break;
    }
    jpeg_set_defaults(&cinfo);
    if (o.colour == Colour::Ycck) jpeg_set_colorspace(&cinfo, JCS_YCCK);
    jpeg_set_quality(&cinfo, o.quality, TRUE);
    if (o.colour == Colour::Rgb || o.colour == Colour::Ycck) {
        cinfo.comp_info[0].h_samp_factor = o.h_sampling;
        cinfo.comp_info[0].v_samp_factor = o.v_sampling;
    }
    if (o.progressive) jpeg_simple_progression(&cinfo);
    cinfo.arith_code = o.arithmetic ? TRUE : FALSE;
    cinfo.restart_interval = static_cast<unsigned>(o.restart_interval);
    jpeg_start_compress(&cinfo, TRUE);

    std::vector<JSAMPLE> row(static_cast<std::size_t>(o.width) * cinfo.input_components);
    for (int y = 0; y < o.height; ++y) {
        for (int x = 0; x < o.width; ++x) {
            std::uint8_t rgb[3];
            PatternRgb(x, y, o.width, o.height, rgb);
            JSAMPLE* px = row.data() + static_cast<std::size_t>(x) * cinfo.input_components;
            if (cinfo.input_components <= 2)
                std::memcpy(px, rgb, static_cast<std::size_t>(cinfo.input_components));
            else if (cinfo.input_components == 3)
                std::memcpy(px, rgb, 3);
            else
                RgbToInvertedCmyk(rgb, px);
        }
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_compress(&cinfo);
    return compressor.Take();
}

Bytes TablesOnly() {
    MemoryCompressor compressor;
    jpeg_compress_struct& cinfo = compressor.cinfo;
    cinfo.in_color_space = JCS_RGB;
    cinfo.input_components = 3;
    jpeg_set_defaults(&cinfo);
    jpeg_write_tables(&cinfo);
    return compressor.Take();
}

long FindMarker(const Bytes& bytes, std::uint8_t code) {
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == code) return static_cast<long>(i);
    return -1;
}

static long FindFrame(const Bytes& bytes) {
    for (std::uint8_t code : {0xC0, 0xC1, 0xC2, 0xC9, 0xCA})
        if (long at = FindMarker(bytes, code); at >= 0) return at;
    throw std::runtime_error("no frame header");
}

Bytes WithFrame(Bytes bytes, int sof_type, int precision, int width, int height) {
    const auto at = static_cast<std::size_t>(FindFrame(bytes));
    if (sof_type >= 0) bytes[at + 1] = static_cast<std::uint8_t>(sof_type);
    if (precision >= 0) bytes[at + 4] = static_cast<std::uint8_t>(precision);
    if (height >= 0) {
        bytes[at + 5] = static_cast<std::uint8_t>(height >> 8);
        bytes[at + 6] = static_cast<std::uint8_t>(height);
    }
    if (width >= 0) {
        bytes[at + 7] = static_cast<std::uint8_t>(width >> 8);
        bytes[at + 8] = static_cast<std::uint8_t>(width);
    }
    return bytes;
}

Bytes Truncated(Bytes bytes, double fraction) {
    bytes.resize(static_cast<std::size_t>(static_cast<double>(bytes.size()) * fraction));
    return bytes;
}

Bytes WithFrameInScan(Bytes bytes) {
    const auto frame = static_cast<std::size_t>(FindFrame(bytes));
    const std::size_t frame_length = 2 + (bytes[frame + 2] << 8 | bytes[frame + 3]);
    const Bytes segment(bytes.begin() + static_cast<long>(frame),
                        bytes.begin() + static_cast<long>(frame + frame_length));
    const auto sos = static_cast<std::size_t>(FindMarker(bytes, 0xDA));
    const std::size_t data = sos + 2 + (bytes[sos + 2] << 8 | bytes[sos + 3]);
    std::size_t middle = data + (bytes.size() - 2 - data) / 2;
    while (bytes[middle - 1] == 0xFF) ++middle;
    bytes.insert(bytes.begin() + static_cast<long>(middle), segment.begin(), segment.end());
    return bytes;
}

Bytes WithRepeatedLastScan(Bytes bytes, int times) {
    long sos = -1;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA) sos = static_cast<long>(i);
    const std::size_t end = bytes.size() - 2;  // the EOI
    const Bytes scan(bytes.begin() + sos, bytes.begin() + static_cast<long>(end));
    Bytes out(bytes.begin(), bytes.begin() + static_cast<long>(end));
    for (int i = 0; i < times; ++i) out.insert(out.end(), scan.begin(), scan.end());
    out.push_back(0xFF);
    out.push_back(0xD9);
    return out;
}

Decoded ReferenceDecode(const Bytes& bytes, bool quantise) {
    Decoded decoded;
    RefJob job{};
    job.cinfo.err = jpeg_std_error(&job.err);
    job.err.error_exit = RefError;
    job.err.emit_message = RefSilent;
    job.bytes = &bytes;
    job.quantise = quantise;
    job.out = &decoded;
    decoded.code = RefGuarded(&job, RefStart);
    if (decoded.code == 0) {
        decoded.rows.assign(static_cast<std::size_t>(decoded.width) * decoded.height * decoded.components, 0);
        decoded.palette.assign(256 * 3, 0);
        decoded.code = RefGuarded(&job, RefRows);
    }
    if (job.created) jpeg_destroy_decompress(&job.cinfo);
    return decoded;
}

std::vector<std::uint8_t> StretchToRgb(const Decoded& d, int w, int h) {
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y) {
        const long sy = static_cast<long>(y) * d.height / h;
        for (int x = 0; x < w; ++x) {
            const long sx = static_cast<long>(x) * d.width / w;
            const std::uint8_t* in = d.rows.data() + (sy * d.width + sx) * d.components;
            std::uint8_t* out = rgb.data() + (static_cast<std::size_t>(y) * w + x) * 3;
            if (d.indexed)
                std::memcpy(out, d.palette.data() + 3 * in[0], 3);
            else if (d.components == 1)
                out[0] = out[1] = out[2] = in[0];
            else
                std::memcpy(out, in, 3);
        }
    }
    return rgb;
}

void WriteLargeFile(const std::filesystem::path& path, const Bytes& picture, std::uint64_t segments,
                    std::uint64_t trailing) {
    // A new file: truncating one with unwritten blocks makes ext4 write them out first.
    std::filesystem::remove(path);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error("cannot create " + path.string());
    const std::uint8_t app1[4] = {0xFF, 0xE1, 0xFF, 0xFF};
    WriteAt(fd, 0, picture.data(), 2);
    for (std::uint64_t i = 0; i < segments; ++i) WriteAt(fd, 2 + i * kApp1SegmentSize, app1, sizeof app1);
    const std::uint64_t rest = 2 + segments * kApp1SegmentSize;
    WriteAt(fd, rest, picture.data() + 2, picture.size() - 2);
    const bool sized = ftruncate(fd, static_cast<off_t>(rest + picture.size() - 2 + trailing)) == 0;
    close(fd);
    if (!sized) throw std::runtime_error("cannot size " + path.string());
}

}  // namespace fixtures
