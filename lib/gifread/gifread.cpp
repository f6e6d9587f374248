#include "gifread/gifread.h"

#include <algorithm>
#include <cstring>

#include "common/program.h"

namespace {

// The stream of SetGIFInput and the readers that share it.
GIFBlocks input{stdin, nullptr, "byte read error."};

// GIF signature, offset 0, 6 bytes: "GIF8", then "7" or "9", then "a".
constexpr char kMagic[] = "GIF8";
constexpr size_t kMagicSize = 6;

bool IsSignature(const unsigned char* bytes) {
  return std::memcmp(bytes, kMagic, 4) == 0 && (bytes[4] == '7' || bytes[4] == '9') &&
         bytes[5] == 'a';
}

// Minimum code sizes 2 to 11 keep every code within 12 bits; above 8 the literal codes
// past 255 stand for no pixel.
constexpr int kMinCodeSize = 2;
constexpr int kMaxCodeSize = 11;
constexpr int kPixelValues = 256;
constexpr int kMaxCodes = 4096;  // codes are at most 12 bits wide
constexpr int kMaxWidth = 12;
constexpr int kMaxRowWidth = 65535;  // image widths are 16-bit fields

// ---------------------------------------------------------------------------
// Colour tables
//
// A table of 2^s entries, each 3 bytes:
//   offset 3i + 0   1   red of index i
//   offset 3i + 1   1   green of index i
//   offset 3i + 2   1   blue of index i

constexpr int kTableEntries = 256;

struct RawTable {
  int entries = 0;
  unsigned char bytes[3 * kTableEntries];
};

void ReadTable(int s, RawTable* table) {
  table->entries = 1 << s;
  ReadBytes(&input, table->bytes, 3 * static_cast<size_t>(table->entries));
}

// Writers that store 8-bit colours with a low colour resolution leave components above
// 2^res - 1 in the table; such a table is meant as stored. Scaling is kept for tables
// that really hold res-bit components.
bool TableFits(int res, const unsigned char* bytes, int count) {
  const int top = (1 << res) - 1;
  for (int i = 0; i < count; ++i) {
    if (bytes[i] > top) return false;
  }
  return true;
}

// The 8-bit value of every possible stored component of one table.
void EightBitScale(int res, const unsigned char* bytes, int count, unsigned char* scale) {
  const bool fits = TableFits(res, bytes, count);
  const int top = (1 << res) - 1;
  const double f = 255.0 / top;
  for (int c = 0; c < kTableEntries; ++c) {
    scale[c] = static_cast<unsigned char>(fits && c <= top ? static_cast<int>(f * c + 0.5) : c);
  }
}

void SplitTable(const RawTable& table, const unsigned char* scale, unsigned char* red,
                unsigned char* green, unsigned char* blue) {
  for (int i = 0; i < kTableEntries; ++i) {
    const bool stored = i < table.entries;
    red[i] = stored ? scale[table.bytes[3 * i]] : 0;
    green[i] = stored ? scale[table.bytes[3 * i + 1]] : 0;
    blue[i] = stored ? scale[table.bytes[3 * i + 2]] : 0;
  }
}

void ReadEightBitTable(int res, int s, unsigned char* red, unsigned char* green,
                       unsigned char* blue) {
  RawTable table;
  ReadTable(s, &table);
  unsigned char scale[kTableEntries];
  EightBitScale(res, table.bytes, 3 * table.entries, scale);
  SplitTable(table, scale, red, green, blue);
}

// ---------------------------------------------------------------------------
// LZW decoding
//
// Codes are packed least significant bit first into data sub-blocks. The decoder keeps
// a prefix code, a suffix byte and a string length per table entry, and where in the
// output buffer the code's string was last written. A string still in the buffer is
// copied from there; an older one is written last byte first along the prefix chain.
// A string may run past the end of the row: the buffer has room for the longest
// string beyond the row, and what ran over starts the next row.
//
// The output buffer keeps up to kHistory bytes before the current row, so that most
// codes find their strings; when the row would no longer fit, the history and the
// bytes already decoded move to the front.

constexpr int kHistory = 1 << 18;
constexpr int kOutputSize = 2 * kHistory + kMaxRowWidth + kMaxCodes;
unsigned char output[kOutputSize];

struct BitReader {
  unsigned char block[kBlockSize];
  int blockSize = 0;  // data bytes in block
  int blockUsed = 0;  // of which taken
  uint32_t bits = 0;  // held bits, the oldest in the low end
  int held = 0;

  int NextByte() {
    if (blockUsed == blockSize) {
      blockSize = GetBlock(block);
      blockUsed = 0;
      if (blockSize == 0) FailLine("missing data block.");
    }
    return block[blockUsed++];
  }
  int Code(int width) {
    while (held < width) {
      bits |= static_cast<uint32_t>(NextByte()) << held;
      held += 8;
    }
    const int code = static_cast<int>(bits & ((1u << width) - 1));
    bits >>= width;
    held -= width;
    return code;
  }
};

// The row numbers of an image in the order its rows are stored.
struct RowOrder {
  bool interlace;
  int height;
  int pass = 0;
  int y = 0;
  int First() { return y; }
  int Next() {
    if (!interlace) return ++y;
    // Passes: rows 0, 8, 16, ...; 4, 12, ...; 2, 6, ...; 1, 3, 5, ...
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    y += kStep[pass];
    while (y >= height && pass < 3) y = kStart[++pass];
    return y;
  }
};

// After the last pixel: warns about leftover data or a missing end code, then moves
// the input past the image's terminator.
void FinishImage(BitReader* in, int codeSize, int width, int overrun) {
  if (overrun > 0) {
    std::fputs("data remains (warning).\n", stderr);
    SkipBlock();
    return;
  }
  const int clear = 1 << codeSize;
  const int end = clear + 1;
  bool terminated = false;
  int code = 0;
  for (;;) {
    while (in->held < width) {
      if (in->blockUsed == in->blockSize) {
        in->blockSize = GetBlock(in->block);
        in->blockUsed = 0;
        if (in->blockSize == 0) {
          terminated = true;
          break;
        }
      }
      in->bits |= static_cast<uint32_t>(in->block[in->blockUsed++]) << in->held;
      in->held += 8;
    }
    code = static_cast<int>(in->bits & ((1u << width) - 1));
    // A clear code right before the end code is valid: an image without pixels is
    // written as clear, end; some encoders clear when the table fills at the very end.
    if (in->held < width || code != clear) break;
    in->bits >>= width;
    in->held -= width;
    width = codeSize + 1;
  }
  if (in->blockUsed < in->blockSize) {
    std::fputs("too many codes (warning).\n", stderr);
  } else if (!(in->held >= width && code == end) &&
             !(in->held >= width - 1 && (code & ((1 << (width - 1)) - 1)) == end)) {
    // The second form is an end code written one bit narrow, by an encoder that
    // widened its codes one code late.
    std::fputs("missing end of code (warning).\n", stderr);
  }
  if (!terminated) SkipBlock();
}

void Decode(int width, int height, bool interlace, int codeSize, GIFRowSink sink, void* context) {
  const int clear = 1 << codeSize;
  const int end = clear + 1;
  uint16_t prefix[kMaxCodes];
  unsigned char suffix[kMaxCodes];
  uint16_t length[kMaxCodes];
  int32_t at[kMaxCodes];  // where the string was last written in output, -1 when gone
  for (int c = 0; c < clear; ++c) {
    prefix[c] = 0;
    suffix[c] = static_cast<unsigned char>(c);
    length[c] = 1;
  }
  BitReader in;
  int next = clear + 2;
  int codeWidth = codeSize + 1;
  int prev = clear;  // the clear code: start of the image or just after a clear
  int prevAt = 0;    // where prev's string was written
  unsigned char prevFirst = 0;
  int start = 0;   // the current row's first byte in output
  int filled = 0;  // bytes from there on, possibly past the row's end

  RowOrder order{interlace, height};
  for (int r = 0, y = order.First(); r < height; ++r, y = order.Next()) {
    if (start + width + kMaxCodes > kOutputSize) {
      const int shift = start - std::min(start, kHistory);
      std::memmove(output, output + shift, static_cast<size_t>(start - shift + filled));
      for (int c = end + 1; c < next; ++c) at[c] = at[c] >= shift ? at[c] - shift : -1;
      start -= shift;
      prevAt -= shift;
    }
    unsigned char* const row = output + start;
    while (filled < width) {
      const int code = in.Code(codeWidth);
      if (code == clear) {
        codeWidth = codeSize + 1;
        prev = clear;
        continue;
      }
      if (code == end) FailLine("unexpected end of code.");
      if (code >= kPixelValues && code < clear) FailLine("bad code.");
      const int here = start + filled;
      if (prev == clear) {
        if (code > clear) FailLine("bad code after clear code.");
        row[filled++] = static_cast<unsigned char>(code);
        next = clear + 2;
        prev = code;
        prevAt = here;
        prevFirst = static_cast<unsigned char>(code);
        continue;
      }
      if (code > next) FailLine("bad code.");
      // The new entry is the previous string and the first byte of this one, and
      // begins where the previous string was written. A code equal to the new entry
      // is the previous string and its own first byte, so the entry is made before
      // the string is written. A full table takes no entry until the next clear code
      // and keeps its codes 12 bits wide; every 12-bit code is then in it.
      const bool grow = next < kMaxCodes;
      if (grow) {
        prefix[next] = static_cast<uint16_t>(prev);
        length[next] = static_cast<uint16_t>(length[prev] + 1);
        at[next] = prevAt;
        if (code == next) suffix[next] = prevFirst;
      }
      const int n = length[code];
      unsigned char* const p = row + filled;
      if (code < clear) {
        *p = static_cast<unsigned char>(code);
      } else if (at[code] >= 0 && code != next) {
        // An earlier copy ends before here: the two do not overlap.
        std::memcpy(p, output + at[code], static_cast<size_t>(n));
      } else if (at[code] >= 0) {
        // The previous string, then its first byte: a forward copy that reads the
        // byte it has just written.
        const unsigned char* q = output + at[code];
        for (int i = 0; i < n; ++i) p[i] = q[i];
      } else {
        // The string, last byte first along the prefix chain.
        int c = code;
        unsigned char* o = p + n - 1;
        while (c > end) {
          *o-- = suffix[c];
          c = prefix[c];
        }
        *o = static_cast<unsigned char>(c);
      }
      const unsigned char first = *p;
      if (code > end) at[code] = here;
      filled += n;
      if (grow) {
        if (code != next) suffix[next] = first;
        if (next == (1 << codeWidth) - 1 && codeWidth < kMaxWidth) ++codeWidth;
        ++next;
      }
      prev = code;
      prevAt = here;
      prevFirst = first;
    }
    sink(y, row, context);
    start += width;
    filled -= width;
  }
  FinishImage(&in, codeSize, codeWidth, filled);
}

// ---------------------------------------------------------------------------
// Where the pixels go

struct ScreenTarget {
  int left, top, width;
  unsigned char* const* screen;
};

void ToScreen(int y, const unsigned char* row, void* context) {
  auto* t = static_cast<ScreenTarget*>(context);
  if (t->width > 0)
    std::memcpy(t->screen[t->top + y] + t->left, row, static_cast<size_t>(t->width));
}

uint16_t* NewRow(CellPicture* picture, int y) {
  // At least one cell, so that an empty row is not mistaken for exhausted memory.
  const size_t cells = picture->width > 0 ? static_cast<size_t>(picture->width) : 1;
  auto* cellRow = static_cast<uint16_t*>(std::malloc(cells * sizeof(uint16_t)));
  if (cellRow == nullptr) FailLine("cell memory allocation error.");
  picture->owned[y].reset(cellRow);
  picture->rows[y] = cellRow;
  return cellRow;
}

void StartPicture(CellPicture* picture, int width, int height) {
  picture->width = width;
  picture->height = height;
  picture->owned.resize(static_cast<size_t>(height));
  picture->rows.assign(static_cast<size_t>(height), nullptr);
}

void ToIndex(int y, const unsigned char* row, void* context) {
  auto* picture = static_cast<CellPicture*>(context);
  uint16_t* cells = NewRow(picture, y);
  for (int x = 0; x < picture->width; ++x) cells[x] = row[x];
}

struct ColourTarget {
  ColourPicture* picture;
  const unsigned char *red, *green, *blue;
  int grey;
};

void ToColour(int y, const unsigned char* row, void* context) {
  auto* t = static_cast<ColourTarget*>(context);
  uint16_t* r = NewRow(&t->picture->red, y);
  uint16_t* g = NewRow(&t->picture->green, y);
  uint16_t* b = NewRow(&t->picture->blue, y);
  const int width = t->picture->red.width;
  int grey = t->grey;
  for (int x = 0; x < width; ++x) {
    const unsigned char i = row[x];
    r[x] = t->red[i];
    g[x] = t->green[i];
    b[x] = t->blue[i];
    grey &= (r[x] == g[x]) & (r[x] == b[x]);
  }
  t->grey = grey;
}

// ---------------------------------------------------------------------------
// Extensions

constexpr const char* kLoopApplications[] = {"NETSCAPE2.0", "ANIMEXTS1.0"};  // 11 bytes each

// One sub-block into a buffer of 255 bytes; its length, 0 for the terminator.
using BlockReader = int (*)(void* source, unsigned char* buffer);

// The sub-blocks of one extension up to the terminator; a graphic control or a loop
// count is kept. A graphic control whose sub-block is shorter than 4 bytes says
// nothing.
void ReadExtensionBlocks(int label, BlockReader read, void* source, GIFExtensions* extensions) {
  unsigned char block[kBlockSize];
  int size = read(source, block);
  if (label == kGraphicControlLabel && size >= 4) {
    extensions->control = {true, block[0], block[1] | block[2] << 8, block[3]};
  } else if (label == kApplicationLabel && size == 11 &&
             (std::memcmp(block, kLoopApplications[0], 11) == 0 ||
              std::memcmp(block, kLoopApplications[1], 11) == 0)) {
    size = read(source, block);
    if (size >= 3 && block[0] == 1 && extensions->loop < 0)
      extensions->loop = block[1] | block[2] << 8;
  }
  while (size != 0) size = read(source, block);
}

}  // namespace

// ---------------------------------------------------------------------------
// Bytes and blocks

void FailGIF(const GIFBlocks& in, const char* message) {
  if (in.path == nullptr) FailLine(message);
  Fail("%s : %s\n", in.path, message);
}

int ReadByte(GIFBlocks* in) {
  const int c = getc_unlocked(in->stream);
  if (c == EOF) FailGIF(*in, in->shortRead);
  return c;
}

int ReadWord(GIFBlocks* in) {
  const int low = ReadByte(in);
  return low | (ReadByte(in) << 8);
}

void ReadBytes(GIFBlocks* in, unsigned char* buffer, size_t count) {
  if (count > 0 && std::fread(buffer, 1, count, in->stream) != count) FailGIF(*in, in->shortRead);
}

void SkipBytes(GIFBlocks* in, size_t count) {
  for (size_t i = 0; i < count; ++i) ReadByte(in);
}

void ReadSignature(GIFBlocks* in, unsigned char* bytes, size_t count, const char* message) {
  in->images = 0;
  ReadBytes(in, bytes, count);
  if (!IsSignature(bytes)) FailGIF(*in, message);
}

int NextBlock(GIFBlocks* in) {
  const int c = getc_unlocked(in->stream);
  if (c == EOF && in->images > 0) return kTrailer;
  if (c == EOF) FailGIF(*in, in->shortRead);
  if (c == kImageSeparator) ++in->images;
  return c;
}

int ReadSubBlock(GIFBlocks* in, unsigned char* buffer) {
  const int size = ReadByte(in);
  ReadBytes(in, buffer, static_cast<size_t>(size));
  return size;
}

void CopySubBlocks(GIFBlocks* in, FILE* out) {
  unsigned char block[kBlockSize + 1];  // the length byte, then the data
  for (;;) {
    const int size = ReadSubBlock(in, block + 1);
    block[0] = static_cast<unsigned char>(size);
    if (out != nullptr) std::fwrite(block, 1, static_cast<size_t>(size) + 1, out);
    if (size == 0) return;
  }
}

void SetGIFInput(FILE* stream) { input.stream = stream; }

int Get() { return ReadByte(&input); }

int GetWord() { return ReadWord(&input); }

void Skip(int count) { SkipBytes(&input, count > 0 ? static_cast<size_t>(count) : 0); }

// A length byte missing is a short read like any other; data cut short has a message
// of its own.
int GetBlock(unsigned char* buffer) {
  const int size = Get();
  GIFBlocks data{input.stream, nullptr, "data block read error."};
  ReadBytes(&data, buffer, static_cast<size_t>(size));
  return size;
}

namespace {

int SharedBlock(void*, unsigned char* buffer) { return GetBlock(buffer); }
int OwnBlock(void* in, unsigned char* buffer) {
  return ReadSubBlock(static_cast<GIFBlocks*>(in), buffer);
}

}  // namespace

void SkipBlock() {
  unsigned char buffer[kBlockSize];
  while (GetBlock(buffer) != 0) {
  }
}

void ReadExtension(GIFBlocks* in, int label, GIFExtensions* extensions) {
  ReadExtensionBlocks(label, OwnBlock, in, extensions);
}

void PutGraphicControl(FILE* out, const GraphicControl& control) {
  const unsigned char bytes[8] = {kExtensionIntroducer,
                                  kGraphicControlLabel,
                                  4,  // sub-block of 4 bytes
                                  static_cast<unsigned char>(control.flags),
                                  static_cast<unsigned char>(control.delay & 0xFF),
                                  static_cast<unsigned char>(control.delay >> 8),
                                  static_cast<unsigned char>(control.index),
                                  0};  // terminator
  std::fwrite(bytes, 1, sizeof bytes, out);
}

void PutLoop(FILE* out, int count) {
  unsigned char bytes[19] = {kExtensionIntroducer, kApplicationLabel, 11};
  std::memcpy(bytes + 3, kLoopApplications[0], 11);
  bytes[14] = 3;  // sub-block of 3 bytes
  bytes[15] = 1;  // the loop count follows
  bytes[16] = static_cast<unsigned char>(count & 0xFF);
  bytes[17] = static_cast<unsigned char>((count >> 8) & 0xFF);
  bytes[18] = 0;  // terminator
  std::fwrite(bytes, 1, sizeof bytes, out);
}

// A short file is a short read; the name goes with a signature that is not GIF's.
void CheckMagic(const char* name) {
  unsigned char magic[kMagicSize];
  input.images = 0;
  ReadBytes(&input, magic, kMagicSize);
  if (!IsSignature(magic)) FailGIF(GIFBlocks{input.stream, name, nullptr}, "bad magic number.");
}

// Image descriptor, after the separator ",":
//   offset 0   2   left position
//   offset 2   2   top position
//   offset 4   2   width
//   offset 6   2   height
//   offset 8   1   flags: table flag, interlace, sort, table size exponent - 1
// Extension: "!", a label byte, then sub-blocks up to the terminator.
bool NextImage(ImageBox* box, GIFExtensions* extensions) {
  if (extensions != nullptr) extensions->control = GraphicControl{};
  for (;;) {
    const int c = NextBlock(&input);
    if (c == kTrailer) return false;
    if (c == kImageSeparator) {
      box->left = GetWord();
      box->top = GetWord();
      box->width = GetWord();
      box->height = GetWord();
      return true;
    }
    // A stray byte is taken as the start of sub-blocks.
    const int label = c == kExtensionIntroducer ? Get() : -1;
    if (extensions == nullptr) {
      SkipBlock();
    } else {
      ReadExtensionBlocks(label, SharedBlock, nullptr, extensions);
    }
  }
}

int GetCodeSize() {
  const int m = Get();
  if (m < kMinCodeSize || m > kMaxCodeSize) FailLine("bad code size.");
  return m;
}

void ScaleColourTable(int res, unsigned char* bytes, int count) {
  unsigned char scale[kTableEntries];
  EightBitScale(res, bytes, count, scale);
  for (int i = 0; i < count; ++i) bytes[i] = scale[bytes[i]];
}

int GetCM(int res, int s, unsigned char* red, unsigned char* green, unsigned char* blue, int R,
          int G, int B) {
  ReadEightBitTable(res, s, red, green, blue);
  for (int i = kTableEntries - 1; i >= 0; --i) {
    if (red[i] == R && green[i] == G && blue[i] == B) return i;
  }
  return -1;
}

void ReadCM(int res, int s, unsigned char* red, unsigned char* green, unsigned char* blue) {
  ReadEightBitTable(res, s, red, green, blue);
}

int ReadCM(int res, int s, uint16_t* red, uint16_t* green, uint16_t* blue) {
  RawTable table;
  ReadTable(s, &table);
  const bool fits = TableFits(res, table.bytes, 3 * table.entries);
  const double f = 65535.0 / ((1 << res) - 1);
  auto scale = [&](int c) {
    return static_cast<uint16_t>(fits ? static_cast<int>(f * c + 0.5) : 257 * c);
  };
  for (int i = 0; i < kTableEntries; ++i) {
    const bool stored = i < table.entries;
    red[i] = stored ? scale(table.bytes[3 * i]) : 0;
    green[i] = stored ? scale(table.bytes[3 * i + 1]) : 0;
    blue[i] = stored ? scale(table.bytes[3 * i + 2]) : 0;
  }
  if (s == 1) return 1;
  if (s == 2) return 2;
  if (s <= 4) return 4;
  return 8;
}

void GetLUT(int res, int s, const unsigned char* inRed, const unsigned char* inGreen,
            const unsigned char* inBlue, bool inside, unsigned char* selection) {
  unsigned char red[kTableEntries], green[kTableEntries], blue[kTableEntries];
  ReadEightBitTable(res, s, red, green, blue);
  const int entries = 1 << s;
  for (int i = 0; i < kTableEntries; ++i) {
    const bool within = inRed[red[i]] && inGreen[green[i]] && inBlue[blue[i]];
    selection[i] = i < entries && within == inside;
  }
}

bool MakePlane(Plane* plane, int width, int height) {
  const size_t w = width > 0 ? static_cast<size_t>(width) : 0;
  const size_t h = height > 0 ? static_cast<size_t>(height) : 0;
  plane->width = width;
  plane->height = height;
  // calloc: a large screen costs no time until its rows are written.
  plane->cells.reset(static_cast<unsigned char*>(std::calloc(w * h > 0 ? w * h : 1, 1)));
  if (!plane->cells) return false;
  plane->rows.resize(h);
  for (size_t y = 0; y < h; ++y) plane->rows[y] = plane->cells.get() + y * w;
  return true;
}

void DecodeImage(int left, int top, int width, int height, bool interlace, int codeSize,
                 unsigned char* const* screen) {
  ScreenTarget target{left, top, width, screen};
  Decode(width, height, interlace, codeSize, ToScreen, &target);
}

void DecodeImage(int width, int height, bool interlace, int codeSize, GIFRowSink sink,
                 void* context) {
  Decode(width, height, interlace, codeSize, sink, context);
}

CellPicture DecodeImage(int width, int height, bool interlace, int codeSize) {
  CellPicture picture;
  StartPicture(&picture, width, height);
  Decode(width, height, interlace, codeSize, ToIndex, &picture);
  return picture;
}

ColourPicture DecodeImage(int width, int height, bool interlace, int codeSize,
                          const unsigned char* red, const unsigned char* green,
                          const unsigned char* blue, int* grey) {
  ColourPicture picture;
  StartPicture(&picture.red, width, height);
  StartPicture(&picture.green, width, height);
  StartPicture(&picture.blue, width, height);
  ColourTarget target{&picture, red, green, blue, 1};
  Decode(width, height, interlace, codeSize, ToColour, &target);
  *grey = target.grey;
  return picture;
}
