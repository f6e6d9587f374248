// The TIFF writer: one file layout and one LZW encoder, compiled once per kind of
// picture. Without a definition this is the grey and bilevel build (sif); with
// MESHPIX_SIF_RGB the true-colour build (sif_rgb); with MESHPIX_SIF_CM the palette
// build (sif_cm). All state is file-local, so each build has its own.
#include "tiffwrite/sif.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/bytes.h"
#include "common/lzwtable.h"
#include "common/program.h"

namespace {

#if defined(MESHPIX_SIF_RGB) && defined(MESHPIX_SIF_CM)
#error "one build at a time"
#endif

#if defined(MESHPIX_SIF_RGB)
constexpr int kSamplesPerPixel = 3;
#else
constexpr int kSamplesPerPixel = 1;
#endif

// ---- File layout --------------------------------------------------------------
//
// The file as written (numbers in host order):
//   offset  size        field
//   0       2           byte-order mark "II" (little-endian host) or "MM"
//   2       2           42
//   4       4           offset of the image file directory (IFD), patched last
//   8       n (+1)      description of more than 3 characters, its zero, a pad
//                       byte when n is odd (only with such a description)
//   8 or 8+n  ...       the LZW strips, one after the other
//   ...     0 or 1      a zero byte when the strips end at an odd offset
//   ...     4 S         StripOffsets, only with more than one strip (S)
//   ...     4 S         StripByteCounts, likewise
//   ...     16          with a resolution: XResolution and YResolution, two rationals
//                       (numerator and denominator, 32 bits each)
//   ...     6           true colour: BitsPerSample, three times bits
//   ...     6 * 2^bits  palette: the red, green and blue colour maps
//   IFD     2           entry count
//           12 each     entries: tag 2, type 2, count 4, value or offset 4
//           4           next IFD: 0
constexpr unsigned char kLittleMark = 0x49;  // "II"
constexpr unsigned char kBigMark = 0x4D;     // "MM"
constexpr int kMagic = 42;
constexpr long kIFDOffsetAt = 4;
constexpr uint32_t kDescriptionAt = 8;
constexpr uint64_t kInlineText = 4;  // texts of up to 4 bytes, zero included, sit in the entry

constexpr int kTypeASCII = 2;
constexpr int kTypeShort = 3;
constexpr int kTypeLong = 4;
constexpr int kTypeRational = 5;
constexpr uint64_t kShortMax = 65535;

constexpr int kTagImageWidth = 256;
constexpr int kTagImageLength = 257;
constexpr int kTagBitsPerSample = 258;
constexpr int kTagCompression = 259;
constexpr int kTagPhotometric = 262;
constexpr int kTagImageDescription = 270;
constexpr int kTagStripOffsets = 273;
constexpr int kTagSamplesPerPixel = 277;
constexpr int kTagRowsPerStrip = 278;
constexpr int kTagStripByteCounts = 279;
constexpr int kTagXResolution = 282;
constexpr int kTagYResolution = 283;
constexpr int kTagPlanarConfiguration = 284;
constexpr int kTagResolutionUnit = 296;
[[maybe_unused]] constexpr int kTagColorMap = 320;

// Each build uses the photometric value and tags of its own kind of picture.
constexpr int kCompressionLZW = 5;
[[maybe_unused]] constexpr int kWhiteIsZero = 0;
[[maybe_unused]] constexpr int kBlackIsZero = 1;
[[maybe_unused]] constexpr int kPhotometricRGB = 2;
[[maybe_unused]] constexpr int kPhotometricPalette = 3;
constexpr int kChunky = 1;

#if defined(MESHPIX_SIF_CM)
constexpr int kBaseEntries = 11;
#else
constexpr int kBaseEntries = 10;
#endif
constexpr int kResolutionEntries = 3;  // XResolution, YResolution, ResolutionUnit

// A strip holds about this many uncompressed bytes (at least one row).
constexpr uint64_t kStripTarget = 8192;

// Every offset in the file is 32 bits, so a file must end below 4 GiB. Test
// builds lower the bound to reach it with small pictures.
#if defined(MESHPIX_SIF_MAX_FILE)
constexpr uint64_t kMaxFile = MESHPIX_SIF_MAX_FILE;
#else
constexpr uint64_t kMaxFile = 0xFFFFFFFFu;
#endif

// ---- Output --------------------------------------------------------------------

constexpr size_t kOutSize = 1 << 14;  // bytes gathered per write

const char* filePath;   // the file being written, for messages
FILE* out;              // its stream
uint32_t* stripCounts;  // byte count of every strip; lives for one call
unsigned char outBuf[kOutSize];
size_t outUsed;
uint64_t flushed;  // bytes handed to the stream before outBuf

void Release() {
  if (out != nullptr) std::fclose(out);
  out = nullptr;
  std::free(stripCounts);
  stripCounts = nullptr;
}

[[noreturn]] void NotStored() {
  Release();
  Fail("%s : file not stored.\n", filePath);
}

uint64_t Position() { return flushed + outUsed; }

void FlushOut() {
  flushed += outUsed;
  if (flushed > kMaxFile) NotStored();
  if (outUsed > 0 && std::fwrite(outBuf, 1, outUsed, out) != outUsed) NotStored();
  outUsed = 0;
}

inline void PutByte(unsigned value) {
  outBuf[outUsed++] = static_cast<unsigned char>(value);
  if (outUsed == kOutSize) FlushOut();
}

// The low 16 bits of value, in host order.
void Put2(uint32_t value) {
  const uint16_t v = static_cast<uint16_t>(value);
  unsigned char b[2];
  std::memcpy(b, &v, 2);
  PutByte(b[0]);
  PutByte(b[1]);
}

// A 32-bit value in host order.
void Put4(uint32_t value) {
  unsigned char b[4];
  std::memcpy(b, &value, 4);
  for (unsigned char c : b) PutByte(c);
}

// ---- LZW encoder -----------------------------------------------------------------
//
// TIFF LZW: codes 9 to 12 bits wide, most significant bit first; Clear 256 and
// end-of-information 257; the width grows one code early (when the next free code
// reaches 512, 1024, 2048). The string table is the encoders' shared LZWTable.
constexpr int kClearCode = 256;
constexpr int kEndCode = 257;
constexpr int kFirstFree = 258;
constexpr int kFullTable = 4094;  // the code never entered: the table restarts here
constexpr int kNoPrefix = 4096;
constexpr int kMinWidth = 9;
constexpr int kFirstLimit = 512;

uint64_t stripBytes;  // bytes written for the current strip
int pending;          // bits in the accumulator not yet written
uint32_t accumulator;
int codeWidth;
int nextCode;    // next free code
int widthLimit;  // next free code at which the width grows
int prefix;      // code of the string matched so far, kNoPrefix for none
LZWTable table;  // the strings entered since the last Clear

void LZWPutCode(int code) {
  accumulator = (accumulator << codeWidth) | static_cast<uint32_t>(code);
  pending += codeWidth;
  while (pending >= 8) {
    pending -= 8;
    PutByte((accumulator >> pending) & 0xFF);
    ++stripBytes;
  }
}

void ResetTable() {
  codeWidth = kMinWidth;
  LZWClear(table);
  nextCode = kFirstFree;
  widthLimit = kFirstLimit;
}

void InitEncode() {
  stripBytes = 0;
  pending = 0;
  accumulator = 0;
  codeWidth = kMinWidth;
  LZWPutCode(kClearCode);
  ResetTable();
  prefix = kNoPrefix;
}

// Feeds count bytes to the encoder. The string matched so far (prefix) grows while
// the table knows it; at the first byte that makes a new string, the longest known
// one is written and the new one entered, or, at the full table, a Clear follows.
void Encode(const unsigned char* bytes, size_t count) {
  size_t i = 0;
  if (count == 0) return;
  if (prefix == kNoPrefix) prefix = bytes[i++];
  for (;;) {
    i += LZWMatch(table, &prefix, bytes + i, count - i);
    if (i == count) return;
    const int k = bytes[i++];
    LZWPutCode(prefix);
    if (nextCode == kFullTable) {
      LZWPutCode(kClearCode);  // still at 12 bits
      ResetTable();
    } else {
      LZWEnter(table, prefix, k, nextCode);
      if (++nextCode == widthLimit) {
        ++codeWidth;
        widthLimit <<= 1;
      }
    }
    prefix = k;
  }
}

uint64_t TermEncode() {
  if (prefix != kNoPrefix) {
    LZWPutCode(prefix);
    if (++nextCode == widthLimit) ++codeWidth;  // the decoder enters one more string
  }
  LZWPutCode(kEndCode);
  if (pending > 0) {
    PutByte((accumulator << (8 - pending)) & 0xFF);
    ++stripBytes;
  }
  return stripBytes;
}

// ---- Rows ------------------------------------------------------------------------

// Bytes serialised from sample rows gather here before they go to the encoder.
constexpr size_t kRowChunk = 4096;
unsigned char rowChunk[kRowChunk + 8];
size_t rowChunkUsed;

inline void RowByte(unsigned value) {
  rowChunk[rowChunkUsed++] = static_cast<unsigned char>(value);
  if (rowChunkUsed >= kRowChunk) {
    Encode(rowChunk, rowChunkUsed);
    rowChunkUsed = 0;
  }
}

// Feeds one row to the encoder: the samples of every pixel (red, green, blue in
// the true-colour build), masked to the sample width. 8 bits: a byte each; 16 and
// 32 bits: two or four bytes in host order; other widths: one bit string a row,
// most significant bit first, its last byte filled with zero bits.
void EncodeSamples(const uint16_t* const planes[kSamplesPerPixel], uint64_t width, int bits) {
  rowChunkUsed = 0;
  if (bits == 8) {
    for (uint64_t x = 0; x < width; ++x) {
      for (int c = 0; c < kSamplesPerPixel; ++c) RowByte(planes[c][x] & 0xFF);
    }
  } else if (bits == 16 || bits == 32) {
    unsigned char b[4];
    for (uint64_t x = 0; x < width; ++x) {
      for (int c = 0; c < kSamplesPerPixel; ++c) {
        if (bits == 16) {
          std::memcpy(b, &planes[c][x], 2);
        } else {
          const uint32_t wide = planes[c][x];
          std::memcpy(b, &wide, 4);
        }
        for (int i = 0; i < bits / 8; ++i) RowByte(b[i]);
      }
    }
  } else {
    const uint32_t mask = (1u << bits) - 1;
    uint32_t acc = 0;
    int held = 0;  // bits in acc, below 8 between samples
    for (uint64_t x = 0; x < width; ++x) {
      for (int c = 0; c < kSamplesPerPixel; ++c) {
        acc = (acc << bits) | (planes[c][x] & mask);
        held += bits;
        while (held >= 8) {
          held -= 8;
          RowByte((acc >> held) & 0xFF);
        }
      }
    }
    if (held > 0) RowByte((acc << (8 - held)) & 0xFF);
  }
  Encode(rowChunk, rowChunkUsed);
}

// Where the rows come from: sample row tables, or a callback that serialises each row
// itself into a buffer of one row's bytes.
struct RowSource {
  const uint16_t* const* planes[kSamplesPerPixel];
  TiffRowFill fill;
  void* context;
  unsigned char* buffer;
  uint64_t rowBytes;
};

void EncodeRow(const RowSource& rows, uint64_t r, uint64_t width, int bits) {
  if (rows.fill != nullptr) {
    rows.fill(static_cast<int>(r), rows.buffer, rows.context);
    Encode(rows.buffer, rows.rowBytes);
    return;
  }
  const uint16_t* row[kSamplesPerPixel];
  for (int c = 0; c < kSamplesPerPixel; ++c) row[c] = rows.planes[c][r];
  EncodeSamples(row, width, bits);
}

// ---- IFD entries ---------------------------------------------------------------

// An entry holding one SHORT: the value, then 16 zero bits.
void ShortEntry(int tag, uint32_t count, uint32_t value) {
  Put2(tag);
  Put2(kTypeShort);
  Put4(count);
  Put2(value);
  Put2(0);
}

void LongEntry(int tag, uint32_t count, uint32_t value) {
  Put2(tag);
  Put2(kTypeLong);
  Put4(count);
  Put4(value);
}

// An entry of SHORT values that do not fit in its four bytes: the full 32-bit
// offset of the array (on a little-endian host the same bytes as a SHORT value with
// 16 zero bits as long as the offset is below 64 KiB).
[[maybe_unused]] void ShortArrayEntry(int tag, uint32_t count, uint64_t offset) {
  Put2(tag);
  Put2(kTypeShort);
  Put4(count);
  Put4(static_cast<uint32_t>(offset));
}

// ImageWidth and ImageLength: SHORT while they fit, LONG above 65535.
void SizeEntry(int tag, uint64_t value) {
  if (value > kShortMax) {
    LongEntry(tag, 1, static_cast<uint32_t>(value));
  } else {
    ShortEntry(tag, 1, static_cast<uint32_t>(value));
  }
}

void DescriptionEntry(const char* text, uint64_t count) {
  Put2(kTagImageDescription);
  Put2(kTypeASCII);
  Put4(static_cast<uint32_t>(count));
  if (count > kInlineText) {
    Put4(kDescriptionAt);
  } else {
    for (uint64_t i = 0; i < kInlineText; ++i) PutByte(i < count ? text[i] : 0);  // zero-padded
  }
}

// ---- Resolution ----------------------------------------------------------------

// A RATIONAL: two 32-bit terms.
struct Rational {
  uint32_t numerator, denominator;
};

// A fraction of 32-bit terms for v > 0, from the convergents of its continued
// fraction: the first that gives v back as a double (so 20 is 20 / 1 and 1 / 0.3 is
// 10 / 3), else the last whose terms fit. Values beyond the terms are held at the ends.
Rational ToRational(double v) {
  constexpr double kMax = 4294967295.0;
  if (!(v < kMax)) return {0xFFFFFFFFu, 1};  // also not-a-number
  if (!(v > 1 / kMax)) return {1, 0xFFFFFFFFu};
  uint64_t p0 = 0, q0 = 1;  // the convergents before the current one
  uint64_t p1 = 1, q1 = 0;
  double x = v;
  for (;;) {
    const double a = std::floor(x);
    if (a > kMax) break;
    const uint64_t p2 = static_cast<uint64_t>(a) * p1 + p0;
    const uint64_t q2 = static_cast<uint64_t>(a) * q1 + q0;
    if (p2 > 0xFFFFFFFFu || q2 > 0xFFFFFFFFu) break;
    p0 = p1;
    q0 = q1;
    p1 = p2;
    q1 = q2;
    if (static_cast<double>(p1) / static_cast<double>(q1) == v || x == a) break;
    x = 1 / (x - a);
  }
  return {static_cast<uint32_t>(p1), static_cast<uint32_t>(q1)};
}

// The two rationals, returning the offset of the first.
uint64_t PutResolution(const TiffResolution& resolution) {
  const uint64_t at = Position();
  for (double v : {resolution.x, resolution.y}) {
    const Rational r = ToRational(v);
    Put4(r.numerator);
    Put4(r.denominator);
  }
  return at;
}

void RationalEntry(int tag, uint64_t offset) {
  Put2(tag);
  Put2(kTypeRational);
  Put4(1);
  Put4(static_cast<uint32_t>(offset));
}

// ---- The whole file ------------------------------------------------------------

bool SupportedBits(int bits) {
#if defined(MESHPIX_SIF_CM)
  return bits >= 1 && bits <= 16;  // the colour map has 2^bits entries
#else
  return (bits >= 1 && bits <= 16) || bits == 32;
#endif
}

// Strip geometry, in 64 bits. An empty row counts as one byte, and an empty
// picture still has one (empty) strip.
struct Strips {
  uint64_t width, height;
  uint64_t rowsPerStrip;
  uint64_t count;
};

Strips StripGeometry(int width, int height, int bits) {
  Strips s;
  s.width = static_cast<uint64_t>(width);
  s.height = static_cast<uint64_t>(height);
  const uint64_t rowBytes = (s.width * static_cast<uint64_t>(bits) * kSamplesPerPixel + 7) / 8;
  s.rowsPerStrip = rowBytes > kStripTarget ? 1 : kStripTarget / (rowBytes > 0 ? rowBytes : 1);
  s.count = (s.height + s.rowsPerStrip - 1) / s.rowsPerStrip;
  if (s.count == 0) s.count = 1;
  return s;
}

// Header: the byte-order mark, 42, the IFD offset (patched at the end), then a
// description too long for its entry, of textCount bytes with its zero.
void PutHeader(const char* description, uint64_t textCount) {
  const unsigned char mark = HostIsLittleEndian() ? kLittleMark : kBigMark;
  PutByte(mark);
  PutByte(mark);
  Put2(kMagic);
  Put4(0);
  if (textCount > kInlineText) {
    for (uint64_t i = 0; i < textCount; ++i) PutByte(static_cast<unsigned char>(description[i]));
    if (textCount % 2 != 0) PutByte(0);  // keep the strips on an even offset
  }
}

// The strips, each an LZW stream of its own, their byte counts in stripCounts, and a
// zero byte when they end at an odd offset. Returns the offset of the first strip.
uint64_t PutStrips(const RowSource& rows, const Strips& strips, int bits) {
  const uint64_t firstStrip = Position();
  if (strips.height == 0) {
    InitEncode();
    stripCounts[0] = static_cast<uint32_t>(TermEncode());
  }
  for (uint64_t r = 0; r < strips.height; ++r) {
    if (r % strips.rowsPerStrip == 0) InitEncode();
    EncodeRow(rows, r, strips.width, bits);
    if ((r + 1) % strips.rowsPerStrip == 0 || r + 1 == strips.height) {
      stripCounts[r / strips.rowsPerStrip] = static_cast<uint32_t>(TermEncode());
    }
  }
  if (Position() % 2 != 0) PutByte(0);  // word alignment
  return firstStrip;
}

// What the StripOffsets and StripByteCounts entries hold: the offsets of their arrays,
// or with a single strip its offset and byte count themselves.
struct StripEntries {
  uint64_t offsets, counts;
};

StripEntries PutStripArrays(const Strips& strips, uint64_t firstStrip) {
  StripEntries entries{firstStrip, stripCounts[0]};
  if (strips.count > 1) {
    entries.offsets = Position();
    uint64_t offset = firstStrip;
    for (uint64_t k = 0; k < strips.count; ++k) {
      Put4(static_cast<uint32_t>(offset));
      offset += stripCounts[k];
    }
    entries.counts = Position();
    for (uint64_t k = 0; k < strips.count; ++k) Put4(stripCounts[k]);
  }
  return entries;
}

// The SHORT arrays that sit right before the IFD: BitsPerSample in the true-colour
// build, the red, green and blue colour maps in the palette build.
void PutSampleArrays([[maybe_unused]] int bits,
                     [[maybe_unused]] const uint16_t* const colourMap[3]) {
#if defined(MESHPIX_SIF_RGB)
  for (int c = 0; c < 3; ++c) Put2(static_cast<uint32_t>(bits));
#elif defined(MESHPIX_SIF_CM)
  const uint64_t mapSize = uint64_t{1} << bits;
  for (int c = 0; c < 3; ++c) {
    for (uint64_t i = 0; i < mapSize; ++i) Put2(colourMap[c][i]);
  }
#endif
}

// Where the IFD's entries point that are not strips: the description's count and the
// resolution with the offset of its rationals.
struct ExtraEntries {
  const char* description;
  uint64_t textCount;  // 0: no description
  const TiffResolution* resolution;
  uint64_t rationals;
};

// The IFD at ifdOffset, entries in tag order.
void PutIFD([[maybe_unused]] uint64_t ifdOffset, const Strips& strips, [[maybe_unused]] int bits,
            const ExtraEntries& extra, const StripEntries& stripEntries) {
  const int entries = kBaseEntries + (extra.textCount > 0 ? 1 : 0) +
                      (extra.resolution != nullptr ? kResolutionEntries : 0);
  Put2(static_cast<uint32_t>(entries));
  SizeEntry(kTagImageWidth, strips.width);
  SizeEntry(kTagImageLength, strips.height);
#if defined(MESHPIX_SIF_RGB)
  ShortArrayEntry(kTagBitsPerSample, 3, ifdOffset - 6);
#else
  ShortEntry(kTagBitsPerSample, 1, static_cast<uint32_t>(bits));
#endif
  ShortEntry(kTagCompression, 1, kCompressionLZW);
#if defined(MESHPIX_SIF_RGB)
  ShortEntry(kTagPhotometric, 1, kPhotometricRGB);
#elif defined(MESHPIX_SIF_CM)
  ShortEntry(kTagPhotometric, 1, kPhotometricPalette);
#else
  ShortEntry(kTagPhotometric, 1, bits == 1 ? kWhiteIsZero : kBlackIsZero);
#endif
  if (extra.textCount > 0) DescriptionEntry(extra.description, extra.textCount);
  LongEntry(kTagStripOffsets, static_cast<uint32_t>(strips.count),
            static_cast<uint32_t>(stripEntries.offsets));
  ShortEntry(kTagSamplesPerPixel, 1, kSamplesPerPixel);
  ShortEntry(kTagRowsPerStrip, 1, static_cast<uint32_t>(strips.rowsPerStrip));
  LongEntry(kTagStripByteCounts, static_cast<uint32_t>(strips.count),
            static_cast<uint32_t>(stripEntries.counts));
  if (extra.resolution != nullptr) {
    RationalEntry(kTagXResolution, extra.rationals);
    RationalEntry(kTagYResolution, extra.rationals + 8);
  }
  ShortEntry(kTagPlanarConfiguration, 1, kChunky);
  if (extra.resolution != nullptr) {
    ShortEntry(kTagResolutionUnit, 1, static_cast<uint32_t>(extra.resolution->unit));
  }
#if defined(MESHPIX_SIF_CM)
  const uint64_t mapSize = uint64_t{1} << bits;
  ShortArrayEntry(kTagColorMap, static_cast<uint32_t>(3 * mapSize), ifdOffset - 6 * mapSize);
#endif
  Put4(0);  // no further IFD
}

// Everything must be in the file, below 4 GiB, before the header's IFD offset points
// to it; then the offset is patched in and the file closed.
void PatchIFDOffset(uint64_t ifdOffset) {
  FlushOut();
  if (std::fflush(out) != 0 || std::ferror(out)) NotStored();
  if (std::fseek(out, kIFDOffsetAt, SEEK_SET) != 0) NotStored();
  flushed = kIFDOffsetAt;
  Put4(static_cast<uint32_t>(ifdOffset));
  FlushOut();
  const bool written = std::fflush(out) == 0 && !std::ferror(out);
  const bool closed = std::fclose(out) == 0;
  out = nullptr;
  if (!written || !closed) NotStored();
}

// planes[c] is the sample row table of channel c. colourMap (palette build) holds
// the red, green and blue maps.
void Store(const char* name, int width, int height, int bits, const RowSource& rows,
           const uint16_t* const colourMap[3], const char* description,
           const TiffResolution* resolution) {
  filePath = name;
  if (width < 0 || height < 0 || !SupportedBits(bits)) NotStored();
  const Strips strips = StripGeometry(width, height, bits);
  stripCounts = static_cast<uint32_t*>(std::calloc(strips.count, sizeof(uint32_t)));
  if (stripCounts == nullptr) Fail("%s : no allocatable memory.\n", name);

  // The writer buffers the file itself (outBuf), so the stream needs no buffer.
  out = std::fopen(name, "wb");
  if (out == nullptr || std::setvbuf(out, nullptr, _IONBF, 0) != 0) NotStored();
  outUsed = 0;
  flushed = 0;

  ExtraEntries extra{description, description != nullptr ? std::strlen(description) + 1 : 0,
                     resolution, 0};
  PutHeader(description, extra.textCount);
  const uint64_t firstStrip = PutStrips(rows, strips, bits);
  const StripEntries stripEntries = PutStripArrays(strips, firstStrip);
  if (resolution != nullptr) extra.rationals = PutResolution(*resolution);
  PutSampleArrays(bits, colourMap);
  const uint64_t ifdOffset = Position();
  PutIFD(ifdOffset, strips, bits, extra, stripEntries);
  PatchIFDOffset(ifdOffset);
  Release();
}

RowSource SampleRows(const uint16_t* const* const planes[kSamplesPerPixel]) {
  RowSource rows{};
  for (int c = 0; c < kSamplesPerPixel; ++c) rows.planes[c] = planes[c];
  return rows;
}

// Rows from a callback: its row buffer is taken before the file is made.
struct FilledRows {
  RowSource rows{};
  FilledRows(const char* name, int width, int bits, TiffRowFill fill, void* context) {
    rows.fill = fill;
    rows.context = context;
    const uint64_t w = width > 0 ? static_cast<uint64_t>(width) : 0;
    rows.rowBytes = (w * static_cast<uint64_t>(bits > 0 ? bits : 0) * kSamplesPerPixel + 7) / 8;
    rows.buffer = static_cast<unsigned char*>(std::malloc(rows.rowBytes > 0 ? rows.rowBytes : 1));
    if (rows.buffer == nullptr) Fail("%s : no allocatable memory.\n", name);
  }
  ~FilledRows() { std::free(rows.buffer); }
};

}  // namespace

#if defined(MESHPIX_SIF_RGB)
void StoreImageFile_RGB(const char* path, int width, int height, int bits,
                        const uint16_t* const* red, const uint16_t* const* green,
                        const uint16_t* const* blue, const char* description,
                        const TiffResolution* resolution) {
  const uint16_t* const* const planes[3] = {red, green, blue};
  Store(path, width, height, bits, SampleRows(planes), nullptr, description, resolution);
}

void StoreImageFile_RGB(const char* path, int width, int height, int bits, TiffRowFill fill,
                        void* context, const char* description, const TiffResolution* resolution) {
  const FilledRows filled(path, width, bits, fill, context);
  Store(path, width, height, bits, filled.rows, nullptr, description, resolution);
}
#elif defined(MESHPIX_SIF_CM)
void StoreImageFile_CM(const char* path, int width, int height, int bits, const uint16_t* redMap,
                       const uint16_t* greenMap, const uint16_t* blueMap,
                       const uint16_t* const* rows, const char* description,
                       const TiffResolution* resolution) {
  const uint16_t* const* const planes[1] = {rows};
  const uint16_t* const maps[3] = {redMap, greenMap, blueMap};
  Store(path, width, height, bits, SampleRows(planes), maps, description, resolution);
}

void StoreImageFile_CM(const char* path, int width, int height, int bits, const uint16_t* redMap,
                       const uint16_t* greenMap, const uint16_t* blueMap, TiffRowFill fill,
                       void* context, const char* description, const TiffResolution* resolution) {
  const FilledRows filled(path, width, bits, fill, context);
  const uint16_t* const maps[3] = {redMap, greenMap, blueMap};
  Store(path, width, height, bits, filled.rows, maps, description, resolution);
}
#else
void StoreImageFile(const char* path, int width, int height, int bits, const uint16_t* const* rows,
                    const char* description, const TiffResolution* resolution) {
  const uint16_t* const* const planes[1] = {rows};
  Store(path, width, height, bits, SampleRows(planes), nullptr, description, resolution);
}

void StoreImageFile(const char* path, int width, int height, int bits, TiffRowFill fill,
                    void* context, const char* description, const TiffResolution* resolution) {
  const FilledRows filled(path, width, bits, fill, context);
  Store(path, width, height, bits, filled.rows, nullptr, description, resolution);
}
#endif
