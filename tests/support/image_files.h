// image_files.h - builders of image files in memory, for the decoder tests, the fuzz
// seed generator and the benchmarks.
//
// BMP, TGA, DDS and "BGRA" files are laid out byte by byte from a small description, so a
// test can write exactly the header fields it wants to break. PNG and JPEG files are
// encoded with libpng's writer and libjpeg's compressor.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <jpeglib.h>

#include "library/file/stream.h"
#include "library/graph/graph_image.h"

namespace testimg {

using Bytes = std::vector<uint8_t>;

inline void PutLe16(Bytes& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
inline void PutLe32(Bytes& out, uint32_t v) {
    PutLe16(out, v & 0xFFFF);
    PutLe16(out, v >> 16);
}
inline void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

// Bytes of one stored BMP row: bits x width rounded up to whole 32-bit words.
inline int BmpStride(int bitCount, int width) { return (bitCount * width + 31) / 32 * 4; }

// Pads each row of `rowBytes` bytes (given back to back) to the BMP stride.
inline Bytes PadRows(const Bytes& rows, int rowBytes, int stride) {
    Bytes out;
    for (size_t at = 0; at < rows.size(); at += size_t(rowBytes)) {
        out.insert(out.end(), rows.begin() + at, rows.begin() + at + rowBytes);
        out.resize(out.size() + size_t(stride - rowBytes), 0);
    }
    return out;
}

struct BmpLayout {
    uint32_t headerSize = 40;  // 12: the OS/2 core header (16-bit sides, 3-byte colour entries)
    int32_t width = 1;
    int32_t height = 1;
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    uint32_t colorsUsed = 0;
    std::vector<uint32_t> palette;  // 0xXXRRGGBB entries, written B, G, R, X
    uint32_t masks[3] = {0, 0, 0};  // written for compression 3
    int64_t pixelOffset = -1;       // -1: right after the headers and the table
    Bytes pixels;                   // the stored pixel data
};

// The OS/2 core header and its colour table.
inline Bytes BmpCoreHeader(const BmpLayout& s) {
    Bytes info;
    PutLe32(info, 12);
    PutLe16(info, uint32_t(s.width));
    PutLe16(info, uint32_t(s.height));
    PutLe16(info, 1);
    PutLe16(info, s.bitCount);
    for (uint32_t entry : s.palette) {
        PutLe16(info, entry & 0xFFFF);
        info.push_back(uint8_t(entry >> 16));
    }
    return info;
}

// The info header (40 bytes or longer), its masks and its colour table.
inline Bytes BmpInfoHeader(const BmpLayout& s) {
    Bytes info;
    PutLe32(info, s.headerSize);
    PutLe32(info, uint32_t(s.width));
    PutLe32(info, uint32_t(s.height));
    PutLe16(info, 1);
    PutLe16(info, s.bitCount);
    PutLe32(info, s.compression);
    PutLe32(info, uint32_t(s.pixels.size()));
    PutLe32(info, 2835);
    PutLe32(info, 2835);
    PutLe32(info, s.colorsUsed);
    PutLe32(info, 0);
    Bytes masks;
    for (uint32_t m : s.masks) PutLe32(masks, m);
    if (s.headerSize > 40) {
        Append(info, masks);
        info.resize(s.headerSize, 0);
    } else if (s.compression == 3) {
        Append(info, masks);
    }
    for (uint32_t entry : s.palette) PutLe32(info, entry);
    return info;
}

inline Bytes BuildBmp(const BmpLayout& s) {
    const Bytes info = s.headerSize == 12 ? BmpCoreHeader(s) : BmpInfoHeader(s);
    Bytes out = {'B', 'M'};
    uint32_t offset = s.pixelOffset >= 0 ? uint32_t(s.pixelOffset) : uint32_t(14 + info.size());
    PutLe32(out, uint32_t(14 + info.size() + s.pixels.size()));
    PutLe32(out, 0);
    PutLe32(out, offset);
    Append(out, info);
    Append(out, s.pixels);
    return out;
}

struct TgaLayout {
    Bytes id;
    uint8_t type = 2;
    uint16_t mapFirst = 0;
    uint16_t mapLength = 0;
    uint8_t mapEntryBits = 0;
    uint16_t xOrigin = 0, yOrigin = 0;
    uint16_t width = 1, height = 1;
    uint8_t pixelDepth = 24;
    uint8_t descriptor = 0x20;  // top to bottom
    Bytes map;                  // colour-map entries as stored
    Bytes data;                 // pixels, indices or packets as stored
    bool footer = false;
    uint32_t extensionOffset = 0;
};

inline Bytes BuildTga(const TgaLayout& s) {
    Bytes out = {uint8_t(s.id.size()), uint8_t(s.mapLength ? 1 : 0), s.type};
    PutLe16(out, s.mapFirst);
    PutLe16(out, s.mapLength);
    out.push_back(s.mapEntryBits);
    PutLe16(out, s.xOrigin);
    PutLe16(out, s.yOrigin);
    PutLe16(out, s.width);
    PutLe16(out, s.height);
    out.push_back(s.pixelDepth);
    out.push_back(s.descriptor);
    Append(out, s.id);
    Append(out, s.map);
    Append(out, s.data);
    if (s.footer) {
        PutLe32(out, s.extensionOffset);
        PutLe32(out, 0);
        const char* signature = "TRUEVISION-XFILE";
        out.insert(out.end(), signature, signature + 16);
        out.push_back('.');
        out.push_back(0);
    }
    return out;
}

struct DdsLayout {
    uint32_t flags = 0x1007;  // caps, height, width, pixel format
    uint32_t width = 1, height = 1;
    uint32_t pitch = 0;
    uint32_t formatFlags = 0x40;
    uint32_t fourCC = 0;
    uint32_t bitCount = 32;
    uint32_t masks[4] = {0xFF0000, 0xFF00, 0xFF, 0};  // red, green, blue, alpha
    Bytes pixels;
};

inline Bytes BuildDds(const DdsLayout& s) {
    Bytes out = {'D', 'D', 'S', ' '};
    PutLe32(out, 124);
    PutLe32(out, s.flags);
    PutLe32(out, s.height);
    PutLe32(out, s.width);
    PutLe32(out, s.pitch);
    for (int i = 0; i < 13; i++) PutLe32(out, 0);  // depth, mip-maps, reserved
    PutLe32(out, 32);
    PutLe32(out, s.formatFlags);
    PutLe32(out, s.fourCC);
    PutLe32(out, s.bitCount);
    for (uint32_t m : s.masks) PutLe32(out, m);
    PutLe32(out, 0x1000);
    for (int i = 0; i < 4; i++) PutLe32(out, 0);
    Append(out, s.pixels);
    return out;
}

inline Bytes BuildBgra(uint32_t channels, int32_t width, int32_t height, const Bytes& pixels) {
    Bytes out = {'B', 'G', 'R', 'A'};
    PutLe32(out, channels);
    PutLe32(out, uint32_t(width));
    PutLe32(out, uint32_t(height));
    Append(out, pixels);
    return out;
}

struct PngLayout {
    int width = 1, height = 1;
    int bitDepth = 8;
    int colorType = PNG_COLOR_TYPE_RGB;
    bool interlaced = false;
    Bytes rows;                     // rows as PNG stores them (packed, big-endian 16-bit)
    std::vector<uint32_t> palette;  // 0x00RRGGBB
    Bytes transparency;             // tRNS bytes for palette images
    bool greyKey = false;           // tRNS with grey or RGB key 0 for the other types
};

// The jump point of the writer holds no object with a destructor.
inline void WritePng(png_structp png, png_infop info, const PngLayout& s, const png_color* palette,
                     png_bytep* rows, Bytes* out) {
    if (setjmp(png_jmpbuf(png))) {
        out->clear();
        return;
    }
    png_set_write_fn(
        png, out,
        [](png_structp p, png_bytep data, size_t length) {
            Bytes* o = static_cast<Bytes*>(png_get_io_ptr(p));
            o->insert(o->end(), data, data + length);
        },
        nullptr);
    png_set_IHDR(png, info, png_uint_32(s.width), png_uint_32(s.height), s.bitDepth, s.colorType,
                 s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!s.palette.empty()) png_set_PLTE(png, info, palette, int(s.palette.size()));
    png_color_16 key{};
    if (!s.transparency.empty() || s.greyKey) {
        png_set_tRNS(png, info, s.transparency.empty() ? nullptr : s.transparency.data(),
                     int(s.transparency.size()), s.greyKey ? &key : nullptr);
    }
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
}

inline Bytes EncodePng(const PngLayout& s) {
    std::vector<png_color> palette;
    for (uint32_t e : s.palette) palette.push_back(png_color{uint8_t(e >> 16), uint8_t(e >> 8), uint8_t(e)});
    size_t rowBytes = s.height > 0 ? s.rows.size() / size_t(s.height) : 0;
    std::vector<png_bytep> rows;
    for (int y = 0; y < s.height; y++) rows.push_back(const_cast<png_bytep>(s.rows.data() + rowBytes * y));
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    WritePng(png, info, s, palette.data(), rows.data(), &out);
    png_destroy_write_struct(&png, &info);
    return out;
}

struct JpegLayout {
    int width = 1, height = 1;
    int components = 3;  // 1 grey, 3 RGB, 4 CMYK
    int quality = 95;
    bool progressive = false;
    bool ycck = false;   // 4 components stored as YCCK
    Bytes pixels;        // width x components bytes per row, top row first
};

inline Bytes EncodeJpeg(const JpegLayout& s) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(s.width);
    cinfo.image_height = JDIMENSION(s.height);
    cinfo.input_components = s.components;
    cinfo.in_color_space = s.components == 1 ? JCS_GRAYSCALE : s.components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    if (s.ycck) jpeg_set_colorspace(&cinfo, JCS_YCCK);
    jpeg_set_quality(&cinfo, s.quality, TRUE);
    if (s.progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(s.pixels.data() + size_t(cinfo.next_scanline) * s.width * s.components);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    free(buffer);
    return out;
}

// A decode done with libjpeg alone, from memory: BGR rows (grey for one component).
// The reference the decoder is checked and measured against.
struct DirectImage {
    std::unique_ptr<uint8_t[]> pixels;
    int width = 0, height = 0, components = 0;
};

inline DirectImage DecodeJpegDirect(const Bytes& file) {
    DirectImage image;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), file.size());
    jpeg_read_header(&cinfo, TRUE);
    if (cinfo.out_color_space == JCS_RGB) cinfo.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&cinfo);
    image.width = int(cinfo.output_width), image.height = int(cinfo.output_height);
    image.components = cinfo.output_components;
    size_t rowBytes = size_t(image.width) * image.components;
    image.pixels.reset(new uint8_t[rowBytes * image.height]);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[16];
        JDIMENSION count = cinfo.output_height - cinfo.output_scanline;
        if (count > 16) count = 16;
        for (JDIMENSION i = 0; i < count; i++) rows[i] = image.pixels.get() + rowBytes * (cinfo.output_scanline + i);
        jpeg_read_scanlines(&cinfo, rows, count);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return image;
}

// A deterministic picture with smooth areas and edges, `components` bytes per pixel.
inline Bytes TestPicture(int width, int height, int components) {
    Bytes out(size_t(width) * height * components);
    uint32_t noise = 12345;
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            noise = noise * 1103515245u + 12345u;
            for (int c = 0; c < components; c++) {
                int v = (x * (c + 1) + y * (3 - c)) / 4 + ((x / 64 + y / 64) % 2) * 60 + int(noise >> 28);
                out[(size_t(y) * width + x) * components + c] = uint8_t(v);
            }
        }
    }
    return out;
}

using Decoder = int (*)(StreamSource*, GraphImage*);

// Runs one decoder over a memory stream of `file`.
inline int DecodeBytes(Decoder decoder, const Bytes& file, GraphImage* image) {
    StreamSource source;
    if (OpenMemoryStreamSource(&source, file.data(), int(file.size())) != 0) return -2;
    int result = decoder(&source, image);
    source.ops.close(source.handle);
    return result;
}

inline const uint8_t* PixelAt(const GraphImage& image, int x, int y) {
    return static_cast<const uint8_t*>(image.pixels) + size_t(y) * image.pitch + size_t(x) * image.format.bytesPerPixel;
}

}  // namespace testimg
