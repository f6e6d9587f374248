// Writing binary STL while reading: the 80-byte header (zeros unless given) and a
// zero count, then one 50-byte record per facet, then the facet count patched in at
// offset 80. An output name beginning with "-" is standard output: where it can seek
// (a regular file), the count is patched there the same way; where it cannot (a pipe,
// a terminal), the records are held, in memory up to kSTLHoldBytes and in a temporary
// file beyond, until the count is known, and then written after the header with the
// count in place. The bytes are the same either way.
//
//   BeginSTL(writer, name [, header])   create the file ("file not stored") or take
//                                       stdout ("-..."); the header (80 bytes; zeros
//                                       when null) and a zero count
//   PutSTLFacet(writer, block, attribute)
//                                       normal and three vertices (12 floats), then the
//                                       attribute word ("STL facet data write error")
//   PutSTLFacetNormal(writer, v, attribute)
//                                       the same with the normal computed by CalcNormal
//   EndSTL(writer)                      check the data, patch the count, close
//                                       ("STL facet data write error",
//                                        "STL facet number write error",
//                                        "temporary file write error")
//   PackSTLHeader(head, header, count)  the 84 bytes that open the file: the header
//                                       (80 bytes; zeros when null) and the count
//   PackSTLFacet(record, block, attribute)
//                                       the 50 little-endian bytes of one facet record;
//                                       with PackSTLHeader, for writers of their own
//                                       (count known up front)
// Every failure ends the program through Abort (common/program.h) with the output's
// name, after the records gathered so far have gone to a file that can take them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "common/bytes.h"

constexpr size_t kSTLHeaderSize = 84;  // 80 header bytes and the 4-byte facet count
constexpr size_t kSTLRecordSize = 50;
constexpr size_t kSTLHeaderText = 80;  // the header proper, before the count
// Record bytes held in memory for an output that cannot seek; more go to a temporary
// file (in $TMPDIR, else /tmp), so a model of any size passes a pipe in bounded memory.
constexpr size_t kSTLHoldBytes = size_t{32} << 20;

struct STLWriter {
  static constexpr size_t kRecords = 1024;  // records gathered per block write

  FILE* stream;
  const char* name;
  uint32_t count;  // facets written so far
  // Where the records go: a named file (count patched by reopening it), standard
  // output that seeks (patched by seeking), or standard output that does not (held).
  enum Sink { kNamedFile, kSeekingStdout, kHeld } sink;
  long long start;  // kSeekingStdout: offset of the header in the file
  unsigned char header[kSTLHeaderText];
  unsigned char* held;  // kHeld: the first records, up to kSTLHoldBytes
  size_t heldUsed;
  FILE* spill;  // kHeld: the records after those, or null
  size_t used;  // bytes waiting in block
  unsigned char block[kRecords * kSTLRecordSize];
};
inline void PackSTLHeader(unsigned char head[kSTLHeaderSize], const unsigned char* header,
                          uint32_t count) {
  if (header != nullptr) {
    std::memcpy(head, header, kSTLHeaderText);
  } else {
    std::memset(head, 0, kSTLHeaderText);
  }
  PutLE32(head + kSTLHeaderText, count);
}
inline void PackSTLFacet(unsigned char record[kSTLRecordSize], const float block[12],
                         int16_t attribute) {
  if (HostIsLittleEndian()) {
    std::memcpy(record, block, 48);  // twelve floats, already in file order
  } else {
    for (int i = 0; i < 12; ++i) PutLEFloat(record + 4 * i, block[i]);
  }
  PutLE16(record + 48, static_cast<uint16_t>(attribute));
}

void BeginSTL(STLWriter* writer, const char* name, const unsigned char* header = nullptr);
void PutSTLFacet(STLWriter* writer, float block[12], int16_t attribute);
void PutSTLFacetNormal(STLWriter* writer, const float vertices[9], int16_t attribute);
void EndSTL(STLWriter* writer);
