// Reading back the TIFF files of the TIFF writer, for tests.
//
//   TiffFile tiff; ParseTiff(bytes, &tiff, &why)
//                                  header, IFD entries as written, strips decoded;
//                                  false with a reason when anything is malformed
//   tiff.Find(tag)                 the entry of a tag, or null
//   tiff.samples                   every sample, row by row (red, green, blue per
//                                  pixel in a true-colour file), unpacked
//   DecodeLZW(strip, &bytes, &trace, &why)
//                                  one TIFF LZW strip (codes widen one code early);
//                                  the trace keeps every code with its width
//   DescribeTiff(tiff)             a readable dump of the header and entries
//
// Only little-endian ("II") files are read: the tests run on such hosts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TiffEntry {
  uint16_t tag;
  uint16_t type;
  uint32_t count;
  uint32_t value;  // the 4 value bytes read as a LONG (a SHORT is its low half)
};

struct LZWTrace {
  std::vector<int> codes;
  std::vector<int> widths;
  std::vector<int> nextAtClear;  // for every Clear after the first: the decoder's next free code
  int highestEntry = 0;          // the highest code entered in the table
};

struct TiffFile {
  uint32_t ifdOffset = 0;
  std::vector<TiffEntry> entries;
  uint32_t width = 0, height = 0, bits = 0, samplesPerPixel = 1, rowsPerStrip = 0;
  std::vector<uint32_t> stripOffsets, stripCounts;
  std::vector<std::string> strips;  // decoded bytes of every strip
  std::vector<LZWTrace> traces;     // the code trace of every strip
  std::vector<uint32_t> samples;

  const TiffEntry* Find(int tag) const;
};

bool DecodeLZW(const std::string& strip, std::string* bytes, LZWTrace* trace, std::string* why);
bool ParseTiff(const std::string& bytes, TiffFile* tiff, std::string* why);
std::string DescribeTiff(const TiffFile& tiff);
