// Reading back the GIF files the tests write, independently of the writer: GIF87a or
// GIF89a, with no extensions but graphic controls and a loop extension.
//
//   GifFile gif; ParseGif(bytes, &gif)   false with gif.error set when malformed
//   DescribeGif(bytes)                   a readable dump of the blocks, for failure messages
//   Colour(gif, image, column, row)      the red, green, blue of one pixel
//   CountColour(gif, image, colour)      how many pixels of an image show that colour
//
// LZW is decoded the way every GIF reader does it: the code width grows when the next
// free code reaches 2^width (at most 12 bits), and a full table takes no new strings
// until a clear code. Every code is kept with the width it was read at.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct GifCode {
  int code;
  int width;
  int next;    // the decoder's next free code when this code arrived
  int length;  // pixels it stands for (0 for clear and end codes)
};

struct GifControl {
  int flags;  // -1: no graphic control extension before the image
  int delay;
  int index;
};

struct GifImage {
  GifControl control{-1, 0, 0};
  int left = 0, top = 0, width = 0, height = 0;
  int flags = 0;
  std::vector<uint8_t> table;  // 768 bytes when the image has a local table
  int minCodeSize = 0;
  std::vector<int> blocks;      // data sub-block sizes
  std::vector<GifCode> codes;   // every code, clear and end codes included
  long bits = 0;                // the bits of all codes, end code included
  std::vector<uint8_t> pixels;  // width * height indices, top row first
};

struct GifFile {
  std::string version;
  int width = 0, height = 0, flags = 0;
  int loop = -1;               // the loop extension's count, -1 without one
  std::vector<uint8_t> table;  // the global table, when present
  std::vector<GifImage> images;
  bool trailer = false;
  std::string error;
};

bool ParseGif(const std::string& bytes, GifFile* gif);
std::string DescribeGif(const std::string& bytes);
std::array<int, 3> Colour(const GifFile& gif, int image, int column, int row);
int CountColour(const GifFile& gif, int image, const std::array<int, 3>& colour);
