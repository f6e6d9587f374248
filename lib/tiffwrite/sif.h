// Writing one picture as a single-image TIFF file with LZW-compressed strips.
//
//   StoreImageFile(path, width, height, bits, rows, description)
//        one sample per pixel, bilevel (bits 1: 0 is white) or grey (0 is black);
//        library meshpix_sif
//   StoreImageFile_RGB(path, width, height, bits, red, green, blue, description)
//        three sample row tables, stored red, green, blue pixel by pixel;
//        library meshpix_sif_rgb
//   StoreImageFile_CM(path, width, height, bits, redMap, greenMap, blueMap, rows,
//                     description)
//        palette indices and a colour map of 2^bits 16-bit values per channel
//        (0..65535, stored unchanged); library meshpix_sif_cm
//
// A sample row table is `height` row pointers, top row first, each to `width`
// unsigned 16-bit samples. Bits per sample: 1 to 16 or 32 (palette: 1 to 16);
// samples are masked to that width. The description is a zero-terminated text, or
// null for none. Numbers are stored in the host's byte order ("II" or "MM").
//
// Every entry point takes, last, the size of a pixel, or null for none (no resolution
// tags): XResolution and YResolution, pixels per unit along x and y, each stored as
// a fraction of 32-bit terms (the simplest that gives the value back as a double, as
// 20 / 1 or 10 / 3, else the closest convergent that fits; values beyond 32-bit terms
// are held at 4294967295 / 1 and 1 / 4294967295), and ResolutionUnit (1: no absolute
// unit, 2: inch, 3: centimetre).
//
// Each entry point also takes its rows from a callback instead of a sample row table:
// fill(row, bytes, context) writes row `row` (0 = top) into bytes already serialised
// as the file holds it: one byte a sample at 8 bits (red, green, blue per pixel in the
// true-colour build), narrower samples packed most significant bit first with the
// row's last byte filled with zero bits; (width x bits x samples + 7) / 8 bytes.
//
// Each call writes one whole file. Each build has its own encoder state, so
// several builds can be linked into one program; one build writes one file at a
// time. Failures end the program with status 1: "<path> : no allocatable memory."
// when the strip table cannot be allocated, "<path> : file not stored." when the
// file cannot be created or written, a write, seek or close fails, the file would
// pass 4 GiB, or the size or sample width cannot be stored.
#pragma once

#include <cstdint>

using TiffRowFill = void (*)(int row, unsigned char* bytes, void* context);

struct TiffResolution {
  double x, y;  // pixels per unit, above 0
  int unit;     // 1 none, 2 inch, 3 centimetre
};
constexpr int kTiffNoUnit = 1;

void StoreImageFile(const char* path, int width, int height, int bits, const uint16_t* const* rows,
                    const char* description, const TiffResolution* resolution = nullptr);

void StoreImageFile_RGB(const char* path, int width, int height, int bits,
                        const uint16_t* const* red, const uint16_t* const* green,
                        const uint16_t* const* blue, const char* description,
                        const TiffResolution* resolution = nullptr);

void StoreImageFile_CM(const char* path, int width, int height, int bits, const uint16_t* redMap,
                       const uint16_t* greenMap, const uint16_t* blueMap,
                       const uint16_t* const* rows, const char* description,
                       const TiffResolution* resolution = nullptr);

void StoreImageFile(const char* path, int width, int height, int bits, TiffRowFill fill,
                    void* context, const char* description,
                    const TiffResolution* resolution = nullptr);
void StoreImageFile_RGB(const char* path, int width, int height, int bits, TiffRowFill fill,
                        void* context, const char* description,
                        const TiffResolution* resolution = nullptr);
void StoreImageFile_CM(const char* path, int width, int height, int bits, const uint16_t* redMap,
                       const uint16_t* greenMap, const uint16_t* blueMap, TiffRowFill fill,
                       void* context, const char* description,
                       const TiffResolution* resolution = nullptr);
