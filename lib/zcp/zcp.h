// The ZCP file: binary little-endian PLY with float vertices and triangles that carry
// one red, green and blue byte each. Header, vertex block, face block, nothing between.
//
//   PutZCPHeader(stream, n, m)       the twelve header lines, both counts with "%u"
//   FormatZCPHeader(text, n, m)      the same lines into text[kZCPHeaderRoom]; their length
//   ReadZCPHeader(source, &n, &m)    the strict header reader over a PLYSource
//                                    (zcp/ply.h); false on any fault (the programs
//                                    say "bad header.")
//   CheckZCPBody(left, name, n, m)   left bytes after the header cannot hold n vertices
//                                    and m faces: the program ends with the data error
//                                    it would meet while reading
//   DataError(name, kind, count, what)
//                                    "NAME : KIND data error after COUNT WHAT." (kind:
//                                    "ZCP" or "PLY"; what: "vertices" or "faces"),
//                                    status 1: the body ends before the header's counts
//   PackZCPVertex(record, v)         the 12 bytes of vertex v[3] (read back through the
//                                    PLY table of the header, zcp/model.h)
//   PackZCPFace(record, face)        the 16 bytes of one face (count byte 3)
//   CheckZCPFace(bytes, size, n, &face)
//                                    decodes the first size (up to 16) bytes of a face
//                                    record and returns kZCPFaceOK or its first fault
//   PutZCPVertex(stream, v), PutZCPFace(stream, face)
//                                    one record each; a failed write shows in the
//                                    stream's error flag, which CloseOutput reports
//   PutPointText(out, v, separator)  "%f<sep>%f<sep>%f\n" of vertex v[3]
//   ParseSurfaceColour(words, rgb)   three command-line words R G B, each a whole
//                                    number ("WORD : not a number." and status 1
//                                    otherwise); false unless all are 0 to 255
//   AttributeColour(attribute, fallback, rgb)
//                                    the face colour of an STL facet: its five-bit
//                                    channels widened to bytes when the attribute word
//                                    carries a colour, else the fallback colour
//
// The record functions keep the little-endian file order on any host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

constexpr size_t kZCPVertexSize = 12;
constexpr size_t kZCPFaceSize = 16;
constexpr unsigned char kZCPCorners = 3;  // the only vertex count a face may have

struct ZCPFace {
  unsigned char red, green, blue;
  uint32_t index[3];
};

// How a face record read, in the order the checks are made.
enum ZCPFaceResult {
  kZCPFaceOK,
  kZCPShortColour,  // the record ends within its three colour bytes
  kZCPBadCorners,   // the count byte is missing or is not 3
  kZCPShortIndex,   // the record ends within an index
  kZCPBadIndex,     // an index is not less than the vertex count
};

constexpr size_t kZCPHeaderRoom = 320;  // the header's text with two 10-digit counts

struct PLYSource;
void PutZCPHeader(FILE* stream, uint32_t n, uint32_t m);
size_t FormatZCPHeader(char text[kZCPHeaderRoom], uint32_t n, uint32_t m);
bool ReadZCPHeader(PLYSource* source, uint32_t* n, uint32_t* m);
void CheckZCPBody(uint64_t left, const char* name, uint32_t n, uint32_t m);
[[noreturn]] void DataError(const char* name, const char* kind, uint64_t count, const char* what);

void PackZCPVertex(unsigned char record[kZCPVertexSize], const float v[3]);
void PackZCPFace(unsigned char record[kZCPFaceSize], const ZCPFace& face);
ZCPFaceResult CheckZCPFace(const unsigned char* bytes, size_t size, uint32_t n, ZCPFace* face);

void PutZCPVertex(FILE* stream, const float v[3]);
void PutZCPFace(FILE* stream, const ZCPFace& face);

struct TextOut;
void PutPointText(TextOut* out, const float v[3], char separator);

bool ParseSurfaceColour(char* const words[3], unsigned char rgb[3]);
void AttributeColour(int16_t attribute, const unsigned char fallback[3], unsigned char rgb[3]);
