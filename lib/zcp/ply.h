// PLY files of any writer: a byte source that can read a header twice, the header read
// once into a table of elements and properties (byte offsets and a row stride where the
// rows have a fixed size), and the values of a row in each of the three encodings.
//
//   StartSource(&source, stream)   read stream through source; every byte stays for a
//                                  second reading of the header until SourceRelease
//   SourceGet(&source)             the next byte, or EOF
//   SourceUnget(&source)           gives back the byte SourceGet just returned
//   SourceRewind(&source)          back to the first byte; false when the bytes read
//                                  were more than kSourceKeepLimit and are gone
//   SourceRelease(&source)         the header is read: the bytes before the position go
//   SourceNeed(&source, size)      size bytes in a row at the position (not taken), or
//                                  null when the data ends first
//   SourceTake(&source, size)      passes over size bytes that SourceNeed gave
//   SourceRead(&source, out, size) copies up to size bytes; how many there were
//   SourceSkip(&source, size)      passes over size bytes; false when the data ends first
//   SourceBytesLeft(&source, &left) true, with the bytes after the position, when the
//                                  stream is a regular file
//
//   ParsePLYHeader(&source, &header)  "ply" up to and including the "end_header" line
//                                     into the table; false on any fault. Line ends with
//                                     or without a carriage return; "comment" and
//                                     "obj_info" lines anywhere; every scalar type by
//                                     either of its names
//   FindPLYModel(header, &layout)  the vertex and face elements of a triangle model and
//                                  the properties that matter (x, y, z, the index list,
//                                  the colours); false when the header holds none
//   ReadPLYValue(&source, format, type, &value)
//                                  one value: an ASCII word, or the type's bytes in the
//                                  file's byte order; false when the data ends or the
//                                  word is not a number
//   DecodePLYValue(bytes, type, big)  a binary value in either byte order
//   DecodePLYFloat(bytes, type, big)  the same as a float; a float value keeps its bits
//                                     (a signalling not-a-number stays one)
//   PLYColourByte(value, type)     a colour channel as a byte: an integer type holds 0 to
//                                  255, a float type 0 to 1; values outside are clamped
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Bytes kept for a second reading of the header; a longer header is no PLY header.
constexpr size_t kSourceKeepLimit = size_t{1} << 20;

struct PLYSource {
  FILE* stream = nullptr;
  std::vector<unsigned char> data;  // bytes read from the stream and not yet given up
  size_t at = 0;                    // the next byte to give
  size_t end = 0;                   // bytes held in data
  bool keep = false;                // header reading: bytes stay for a second reading
  bool kept = true;                 // every byte since the start is still in data
};

void StartSource(PLYSource* s, FILE* stream);
int SourceFill(PLYSource* s);  // SourceGet's slow path
inline int SourceGet(PLYSource* s) { return s->at < s->end ? s->data[s->at++] : SourceFill(s); }
inline void SourceUnget(PLYSource* s) { --s->at; }
bool SourceRewind(PLYSource* s);
void SourceRelease(PLYSource* s);
const unsigned char* SourceNeedMore(PLYSource* s, size_t size);
inline const unsigned char* SourceNeed(PLYSource* s, size_t size) {
  return s->end - s->at >= size ? s->data.data() + s->at : SourceNeedMore(s, size);
}
inline void SourceTake(PLYSource* s, size_t size) { s->at += size; }
size_t SourceRead(PLYSource* s, void* out, size_t size);
bool SourceSkip(PLYSource* s, uint64_t size);
bool SourceBytesLeft(const PLYSource* s, uint64_t* left);

enum PLYFormat { kPLYAscii, kPLYLittleEndian, kPLYBigEndian };

enum PLYType : uint8_t {
  kPLYNoType,  // the count type of a scalar property
  kPLYChar,
  kPLYUchar,
  kPLYShort,
  kPLYUshort,
  kPLYInt,
  kPLYUint,
  kPLYFloat,
  kPLYDouble,
};

constexpr size_t kPLYTypeSize[] = {0, 1, 1, 2, 2, 4, 4, 4, 8};
constexpr bool IsPLYInteger(PLYType t) { return t != kPLYNoType && t < kPLYFloat; }

constexpr uint32_t kPLYVariable = UINT32_MAX;  // no fixed offset or stride
constexpr size_t kPLYNone = SIZE_MAX;          // no such property or element

struct PLYProperty {
  std::string name;
  PLYType type;       // the value's type (a list's entries)
  PLYType countType;  // kPLYNoType for a scalar, else the type of the list's count
  uint32_t offset;    // from the row's start, kPLYVariable after a list
};

struct PLYElement {
  std::string name;
  uint32_t count;
  std::vector<PLYProperty> properties;
  uint32_t stride;  // bytes of every row when there is no list, else kPLYVariable
};

struct PLYHeader {
  PLYFormat format;
  std::vector<PLYElement> elements;
};

// Where a triangle model lies in the table: element and property positions.
struct PLYLayout {
  size_t vertex, face;
  size_t xyz[3];
  size_t vertexColour[3];  // red, green, blue; kPLYNone when the vertices have none
  size_t list;             // vertex_indices or vertex_index
  size_t faceColour[3];    // kPLYNone when the faces have none
};

bool ParsePLYHeader(PLYSource* s, PLYHeader* header);
bool FindPLYModel(const PLYHeader& header, PLYLayout* layout);

double DecodePLYValue(const unsigned char* bytes, PLYType type, bool big);
float DecodePLYFloat(const unsigned char* bytes, PLYType type, bool big);
bool ReadPLYValue(PLYSource* s, PLYFormat format, PLYType type, double* value);
unsigned char PLYColourByte(double value, PLYType type);
