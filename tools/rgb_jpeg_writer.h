// Writes an RGB picture as a baseline JPEG file, one row at a time from a callback, so
// that even very large pictures need only one row in memory.
#pragma once

#include <cstdio>
#include <vector>

#include <jpeglib.h>

// fill_row(y, row) writes width RGB triples into row. Returns false when the file
// cannot be written; libjpeg's own faults end the program with its message.
template <typename FillRow>
bool WriteRgbJpeg(const char* path, int width, int height, int quality, FillRow fill_row) {
    FILE* out = std::fopen(path, "wb");
    if (!out) return false;
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, out);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        fill_row(y, row.data());
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    const bool written = !std::ferror(out);
    return std::fclose(out) == 0 && written;
}
