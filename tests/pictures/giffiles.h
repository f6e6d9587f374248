// GIF files for the picture program tests, written without any meshpix code.
//
//   TestGif gif{...}; GifBytes(gif)    the bytes of a GIF file
//   OneImageGif(w, h, table, pixels)  a w x h screen holding one w x h image, with a
//                                     global table (or none when table is empty)
//   ImageAt(left, top, w, h, pixels)  a w x h image at (left, top), no table of its own
//   GrayTable(n), Table({r,g,b,...})  colour tables as bytes
//   LiteralData(m, pixels)            LZW data of literal codes only (a clear before
//                                     the table would widen the codes), in sub-blocks
//   DescribeBlocks(bytes)                the block structure as text, for mismatch reports
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TestImage {
  int left = 0, top = 0, width = 0, height = 0;
  std::vector<uint8_t> pixels;  // width x height indices, row by row in storage order
  std::string table;            // a local colour table (3 bytes an entry), or none
  bool interlace = false;
  int sizeField = 0;  // the size field of the flags when there is no table
  int codeSize = 8;
  std::string extensions;  // written before the image
  std::string data;        // the data sub-blocks; made from pixels when empty
};

struct TestGif {
  std::string version = "GIF89a";
  int width = 0, height = 0;
  int resolution = 8;
  std::string table;  // the global colour table, or none
  int sizeField = 0;  // the size field of the screen flags without a table
  std::vector<TestImage> images;
  std::string tail;  // after the last image, before the trailer
};

std::string GifBytes(const TestGif& gif);
TestGif OneImageGif(int width, int height, const std::string& table, std::vector<uint8_t> pixels);
TestImage ImageAt(int left, int top, int width, int height, std::vector<uint8_t> pixels);
std::string Table(std::initializer_list<int> components);
std::string GrayTable(int entries);
std::string LiteralData(int codeSize, const std::vector<uint8_t>& pixels);
std::string DescribeBlocks(const std::string& bytes);
