// GIF files for the picture program tests, written without any meshpix code.
//
//   TestGif gif{...}; GifFile(gif)    the bytes of a GIF file
//   OneImageGif(w, h, table, pixels)  a w x h screen holding one w x h image, with a
//                                     global table (or none when table is empty)
//   GrayTable(n), Table({r,g,b,...})  colour tables as bytes
//   LiteralData(m, pixels)            LZW data of literal codes only (a clear before
//                                     the table would widen the codes), in sub-blocks
//   DescribeGif(bytes)                the block structure as text, for mismatch reports
//   ReadGif(bytes, &gif, &why)        a GIF file read back: screen, tables, images with
//                                     their indices in row order (interlace undone)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TestImage {
  int left = 0, top = 0, width = 0, height = 0;
  std::vector<uint8_t> pixels;  // width x height indices, row by row in storage order
  std::string table;            // a local colour table (3 bytes an entry), or none
  bool interlace = false;
  int sizeField = 0;            // the size field of the flags when there is no table
  int codeSize = 8;
  std::string extensions;       // written before the image
  std::string data;             // the data sub-blocks; made from pixels when empty
};

struct TestGif {
  std::string version = "GIF89a";
  int width = 0, height = 0;
  int resolution = 8;
  std::string table;            // the global colour table, or none
  int sizeField = 0;            // the size field of the screen flags without a table
  std::vector<TestImage> images;
  std::string tail;             // after the last image, before the trailer
};

std::string GifFile(const TestGif& gif);
TestGif OneImageGif(int width, int height, const std::string& table, std::vector<uint8_t> pixels);
std::string Table(std::initializer_list<int> components);
std::string GrayTable(int entries);
std::string LiteralData(int codeSize, const std::vector<uint8_t>& pixels);
std::string DescribeGif(const std::string& bytes);

struct ReadBackImage {
  int left = 0, top = 0, width = 0, height = 0, flags = 0, codeSize = 0;
  std::string table;
  std::vector<uint8_t> pixels;  // row by row, top row first
};
struct ReadBack {
  std::string version;
  int width = 0, height = 0, flags = 0;
  std::string table;
  std::vector<ReadBackImage> images;
  std::vector<int> extensions;  // labels, in file order
};
bool ReadGif(const std::string& bytes, ReadBack* gif, std::string* why);
