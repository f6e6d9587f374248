// The text lists that the list to ZCP conversion reads: a count line, vertex lines
// and face lines, each at most 1023 characters (a longer line reads as several).
//
//   ReadListLine(stream, &line)        the next line; false at the end of the input.
//                                      line.number counts the input's lines from 1: the
//                                      line the text comes from (the parts of a longer
//                                      line share its number), or at the end of the
//                                      input the number the missing line would have
//   ScanUnsigned(text, &pos, &value)   one unsigned decimal number from text[pos] on,
//                                      as "%u" reads it: white space, an optional sign
//                                      (a minus wraps around), digits; a value beyond
//                                      32 bits reads as 4294967295. false without digits
//   ParseCounts(line, &n, &m)          "N M", both above 0
//   ParseVertex(line, v)               "x y z" as floats
//   ParseFace(line, n, colour, &face)  "i j k [grey | r g b]": indices below n, colour
//                                      values at most 255; colour[] is the default
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "zcp/zcp.h"

constexpr size_t kListLineLimit = 1023;

struct ListLine {
  char text[kListLineLimit + 1];
  size_t length;        // up to the first NUL byte
  uint64_t number = 0;  // the input line of the text, from 1
  bool lineEnd = true;  // the text ended its input line (none read yet: true)
};

bool ReadListLine(FILE* stream, ListLine* line);
bool ScanUnsigned(std::string_view text, size_t* pos, uint32_t* value);
bool ParseCounts(const ListLine& line, uint32_t* n, uint32_t* m);
bool ParseVertex(const ListLine& line, float v[3]);
bool ParseFace(const ListLine& line, uint32_t n, const unsigned char colour[3], ZCPFace* face);
