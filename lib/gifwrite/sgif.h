// Writing GIF87a files: a header, any number of LZW-compressed images, a trailer.
//
//   InitStoreGIF(stream, width, height, red, green, blue)
//                      the header: logical screen width x height, with a global colour
//                      table when red, green and blue (256 bytes each) are all given
//   InitStoreGIF(stream, width, height, red, green, blue, true)
//                      the same signed "GIF89a", for a file that will hold extensions
//   StoreGIF(stream, left, top, width, height, red, green, blue, rows)
//                      one image of colour indices (height rows of width bytes, top row
//                      first) at (left, top), with a local colour table when red, green
//                      and blue are all given
//   StoreGIF_RGB(stream, left, top, width, height, redRows, greenRows, blueRows)
//                      one true-colour image; its local table holds its colours exactly
//                      when there are at most 256, else the means of at most 256 boxes
//                      of the colour cube
//   StoreGIF_Rows(stream, left, top, width, height, red, green, blue, source, context)
//   StoreGIF_RGBRows(stream, left, top, width, height, source, context)
//                      the same, with the rows asked for one at a time: source(r, rows,
//                      context) sets rows[0] (indices), or rows[0..2] (red, green, blue),
//                      to row r, valid until the next call; StoreGIF_RGBRows asks for
//                      every row twice, top to bottom
//   StoreGIF_Gray      the identity table (entry i is i): as red, green and blue, a grey
//                      palette
//   TermStoreGIF(stream)
//                      the trailer ";", then flush and close (standard output is flushed
//                      only); a failure ends the program with "bytes write error."
//
// Write failures end the program with status 1 and one of "byte write error.",
// "bytes write error.", "list memory allocation error." or "LUT memory allocation
// error.". A width, height or position outside 0..65535 ends it with "byte write
// error.". The encoder state is module-level: one image at a time.
#pragma once

#include <cstdio>

extern const unsigned char StoreGIF_Gray[256];

void InitStoreGIF(FILE* stream, int width, int height, const unsigned char* red,
                  const unsigned char* green, const unsigned char* blue, bool extensions = false);
void StoreGIF(FILE* stream, int left, int top, int width, int height, const unsigned char* red,
              const unsigned char* green, const unsigned char* blue,
              const unsigned char* const* rows);
void StoreGIF_RGB(FILE* stream, int left, int top, int width, int height,
                  const unsigned char* const* red, const unsigned char* const* green,
                  const unsigned char* const* blue);
using GIFRowSource = void (*)(int r, const unsigned char* rows[3], void* context);
void StoreGIF_Rows(FILE* stream, int left, int top, int width, int height, const unsigned char* red,
                   const unsigned char* green, const unsigned char* blue, GIFRowSource source,
                   void* context);
void StoreGIF_RGBRows(FILE* stream, int left, int top, int width, int height, GIFRowSource source,
                      void* context);
void TermStoreGIF(FILE* stream);
