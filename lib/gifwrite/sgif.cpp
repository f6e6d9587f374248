#include "gifwrite/sgif.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/lzwtable.h"
#include "common/program.h"
#include "gifwrite/reduce.h"

// Header, written by InitStoreGIF (16-bit numbers little-endian):
//   offset  size  field
//   0       6     "GIF87a" ("GIF89a" for a file that holds extensions)
//   6       2     logical screen width
//   8       2     logical screen height
//   10      1     0xF7 with a global colour table of 256 entries, 0x77 without
//   11      1     background colour index: 0
//   12      1     pixel aspect ratio: 0 (none given)
//   13      768   global colour table (only with 0xF7): red, green, blue per entry
//
// Image, written by StoreGIF and StoreGIF_RGB:
//   0       1     image separator ","
//   1       2     left
//   3       2     top
//   5       2     width
//   7       2     height
//   9       1     0x87 with a local colour table of 256 entries, 0x07 without
//   10      768   local colour table (only with 0x87)
//   next    1     LZW minimum code size: 8
//   next    ...   sub-blocks: a count byte (1..255) and that many bytes of codes
//   next    1     block terminator 0
//
// The file trailer ";" follows the last image (TermStoreGIF).

namespace {

constexpr char kSignature[] = "GIF87a";
constexpr char kSignature89[] = "GIF89a";     // the same layout, for files with extensions
constexpr int kScreen256WithTable = 0xF7;     // table present, 8-bit colour, 256 entries
constexpr int kScreen256WithoutTable = 0x77;  // the same fields, table flag clear
constexpr int kImageWithTable = 0x87;         // table present, not interlaced, 256 entries
constexpr int kImageWithoutTable = 0x07;
constexpr int kImageSeparator = 0x2C;
constexpr int kTrailer = 0x3B;
constexpr int kTableBytes = 768;

// LZW with 8-bit pixels: codes 0..255 are the pixels themselves.
constexpr int kMinCodeSize = 8;
constexpr int kClearCode = 256;
constexpr int kEndCode = 257;
constexpr int kFirstCode = 258;
constexpr int kCodeLimit = 4096;  // codes are at most 12 bits
constexpr int kFirstRoof = 512;   // 9-bit codes until 512 is assigned
constexpr int kNone = 4096;       // no string matched yet
constexpr size_t kChunk = 4096;   // pixels mapped to indices at a time (true colour)

// A true-colour picture's runs of one colour, as its first pass found them, so that
// the second pass need not find them again: up to kHeldRuns (16 MiB); a picture of
// more runs is read a second time instead.
struct PixelRun {
  ColourNode* node;
  uint32_t length;
};
constexpr size_t kHeldRuns = size_t{1} << 20;
std::vector<PixelRun> runs;

// Encoder state, one image at a time.
uint32_t buf;            // bits not yet moved into the sub-block, least significant first
int num;                 // valid bits in buf
int len;                 // current code width, 9..12
unsigned char out[256];  // out[0]: bytes held, out[1..255]: the sub-block being filled
LZWTable str;            // the strings entered since the last clear code
int ent;                 // next free code
int roof;                // the code whose assignment widens the codes
int head;                // code of the string matched so far

[[noreturn]] void Error(const char* message) { Fail("%s error.\n", message); }

int fPutC(int c, FILE* stream) {
  if (std::fputc(c, stream) != c) Error("byte write");
  return c;
}

void fWrite(const void* data, size_t size, size_t count, FILE* stream) {
  if (std::fwrite(data, size, count, stream) < count) Error("bytes write");
}

// A 16-bit field: the low byte, then the value shifted right by 8. A value outside
// 0..65535 makes the second byte differ from what fputc reports and so fails.
void PutWord(int value, FILE* stream) {
  fPutC(value & 0xFF, stream);
  fPutC(value >> 8, stream);
}

void PutTable(const unsigned char* red, const unsigned char* green, const unsigned char* blue,
              FILE* stream) {
  unsigned char table[kTableBytes];
  for (int i = 0; i < 256; ++i) {
    table[3 * i] = red[i];
    table[3 * i + 1] = green[i];
    table[3 * i + 2] = blue[i];
  }
  fWrite(table, 1, kTableBytes, stream);
}

void PutDescriptor(FILE* stream, int left, int top, int width, int height, int flags) {
  fPutC(kImageSeparator, stream);
  PutWord(left, stream);
  PutWord(top, stream);
  PutWord(width, stream);
  PutWord(height, stream);
  fPutC(flags, stream);
}

// Appends a code of len bits; a full sub-block is written at once.
void Put(int code, FILE* stream) {
  buf |= static_cast<uint32_t>(code) << num;
  num += len;
  while (num >= 8) {
    out[++out[0]] = static_cast<unsigned char>(buf);
    buf >>= 8;
    if (out[0] == 255) {
      fWrite(out, 1, 256, stream);
      out[0] = 0;
    }
    num -= 8;
  }
}

void ClearTable() {
  LZWClear(str);
  ent = kFirstCode;
  roof = kFirstRoof;
}

void InitEncode(FILE* stream) {
  fPutC(kMinCodeSize, stream);
  buf = 0;
  num = 0;
  len = kMinCodeSize + 1;
  out[0] = 0;
  Put(kClearCode, stream);
  ClearTable();
  head = kNone;
}

// Feeds count pixels (row order) to the encoder. The string matched so far (head)
// grows while the table knows it; at the first pixel that makes a new string, the
// longest known one is sent and the new one entered, or, with a full table, the
// clear code follows it.
void Encode(const unsigned char* pixels, size_t count, FILE* stream) {
  size_t i = 0;
  if (count == 0) return;
  if (head == kNone) head = pixels[i++];
  for (;;) {
    i += LZWMatch(str, &head, pixels + i, count - i);
    if (i == count) return;
    const int p = pixels[i++];
    Put(head, stream);
    if (ent == kCodeLimit) {
      Put(kClearCode, stream);  // still at 12 bits
      len = kMinCodeSize + 1;
      ClearTable();
    } else {
      LZWEnter(str, head, p, ent);
      if (ent == roof) {
        ++len;
        roof *= 2;
      }
      ++ent;
    }
    head = p;
  }
}

void TermEncode(FILE* stream) {
  if (head != kNone) {
    Put(head, stream);
    // The width a decoder uses once it has added its entry for that code.
    if (ent == roof && len < 12) ++len;
  }
  Put(kEndCode, stream);
  if (num != 0) out[++out[0]] = static_cast<unsigned char>(buf);
  if (out[0] != 0) fWrite(out, 1, out[0] + 1u, stream);
  fPutC(0, stream);  // block terminator
}

// ---- Colour reduction ----------------------------------------------------------------

constexpr int kBoxes = 256;
constexpr int kEnoughBoxes = 250;  // at most 7 more come from the next cut

struct ColourBox {
  uint32_t total;  // pixels in the box; 0 marks a free slot
  uint32_t start;  // its colours are nodes[start .. end - 1]
  uint32_t end;
  uint8_t side;              // edge length (128 .. 1); 0 for a single colour, never cut
  uint8_t red, green, blue;  // low corner
};

inline unsigned Sample(const ColourNode* node, int channel) {
  return (node->key >> (8 * channel)) & 0xFF;
}

// Moves the nodes of start..end-1 whose sample is below the threshold to the front;
// returns where the others begin.
uint32_t Bisect(ColourNode** nodes, uint32_t start, uint32_t end, int channel, unsigned threshold) {
  while (start < end && Sample(nodes[start], channel) < threshold) ++start;
  for (uint32_t i = start + 1; i < end; ++i) {
    if (Sample(nodes[i], channel) < threshold) {
      ColourNode* t = nodes[start];
      nodes[start] = nodes[i];
      nodes[i] = t;
      ++start;
    }
  }
  return start;
}

// Files a box in the first free slot.
void Register(ColourBox* boxes, ColourNode** nodes, uint32_t start, uint32_t end, unsigned side,
              unsigned red, unsigned green, unsigned blue) {
  ColourBox* box = boxes;
  while (box->total != 0) ++box;
  uint32_t total = 0;
  for (uint32_t i = start; i < end; ++i) total += nodes[i]->count;
  box->total = total;
  box->start = start;
  box->end = end;
  if (end == start + 1) {
    box->side = 0;
  } else {
    box->side = static_cast<uint8_t>(side);
    box->red = static_cast<uint8_t>(red);
    box->green = static_cast<uint8_t>(green);
    box->blue = static_cast<uint8_t>(blue);
  }
}

}  // namespace

int ReduceColours(ColourNode** nodes, uint32_t n, unsigned char table[kTableBytes]) {
  ColourBox boxes[kBoxes] = {};
  int count = 0;  // boxes in use: always the slots 0 .. count - 1
  uint32_t start = 0, end = n;
  unsigned h = 128, r0 = 0, g0 = 0, b0 = 0;
  for (;;) {
    // Cut start..end-1 into the up to eight octants around the centre.
    const unsigned rc = r0 + h, gc = g0 + h, bc = b0 + h;
    const uint32_t blue = Bisect(nodes, start, end, 2, bc);
    const uint32_t blueParts[3] = {start, blue, end};
    for (int b = 0; b < 2; ++b) {
      const uint32_t s = blueParts[b], e = blueParts[b + 1];
      const uint32_t green = Bisect(nodes, s, e, 1, gc);
      const uint32_t lowGreen = Bisect(nodes, s, green, 0, rc);
      const uint32_t highGreen = Bisect(nodes, green, e, 0, rc);
      const uint32_t parts[5] = {s, lowGreen, green, highGreen, e};
      for (int p = 0; p < 4; ++p) {
        if (parts[p] == parts[p + 1]) continue;
        Register(boxes, nodes, parts[p], parts[p + 1], h, p % 2 ? rc : r0, p / 2 ? gc : g0,
                 b ? bc : b0);
        ++count;
      }
    }
    if (count >= kEnoughBoxes) break;
    // The most populous box that can still be cut; ties go to the lowest slot.
    int chosen = -1;
    uint32_t most = 0;
    for (int i = 0; i < kBoxes; ++i) {
      if (boxes[i].side > 1 && boxes[i].total > most) {
        most = boxes[i].total;
        chosen = i;
      }
    }
    if (chosen < 0) break;
    ColourBox& box = boxes[chosen];
    box.total = 0;
    --count;
    start = box.start;
    end = box.end;
    h = box.side / 2u;
    r0 = box.red;
    g0 = box.green;
    b0 = box.blue;
  }

  int entries = 0;
  for (const ColourBox& box : boxes) {
    if (box.total == 0) continue;
    double sum[3] = {0, 0, 0};
    for (uint32_t i = box.start; i < box.end; ++i) {
      for (int c = 0; c < 3; ++c)
        sum[c] += static_cast<double>(nodes[i]->count) * Sample(nodes[i], c);
    }
    for (int c = 0; c < 3; ++c) {
      table[3 * entries + c] = static_cast<unsigned char>(sum[c] / box.total + 0.5);
    }
    for (uint32_t i = box.start; i < box.end; ++i) nodes[i]->count = static_cast<uint32_t>(entries);
    ++entries;
  }
  return entries;
}

namespace {

constexpr int kBuckets = 4096;
constexpr int kNodesPerChunk = 4096;

// Colour nodes come from chunks, released together at the end of the image.
struct NodePool {
  struct Chunk {
    Chunk* next;
    int used;
    ColourNode nodes[kNodesPerChunk];
  };
  Chunk* chunks = nullptr;

  ColourNode* New(uint32_t key) {
    if (chunks == nullptr || chunks->used == kNodesPerChunk) {
      auto* chunk = static_cast<Chunk*>(std::malloc(sizeof(Chunk)));
      if (chunk == nullptr) Error("list memory allocation");
      chunk->next = chunks;
      chunk->used = 0;
      chunks = chunk;
    }
    ColourNode* node = &chunks->nodes[chunks->used++];
    node->key = key;
    node->count = 1;
    node->next = nullptr;
    return node;
  }
  ~NodePool() {
    while (chunks != nullptr) {
      Chunk* next = chunks->next;
      std::free(chunks);
      chunks = next;
    }
  }
};

inline uint32_t Key(unsigned red, unsigned green, unsigned blue) {
  return red | (green << 8) | (blue << 16);
}

// Buckets by the top four bits of each channel, blue highest.
inline int Bucket(uint32_t key) {
  return static_cast<int>(((key >> 20) & 0xF) << 8 | ((key >> 12) & 0xF) << 4 | ((key >> 4) & 0xF));
}

// The distinct colours of one picture: one list per bucket, each in the order in
// which its colours first occur. A direct-mapped cache of recently found nodes sits in
// front of the lists: a picture's colours crowd into few buckets with long lists.
constexpr int kCacheSlots = 4096;

inline uint32_t CacheSlot(uint32_t key) { return (key * 0x9E3779B1u) >> 20; }

struct Palette {
  ColourNode* first[kBuckets];
  ColourNode* last[kBuckets];
  ColourNode* cache[kCacheSlots];
  uint32_t n;
  NodePool pool;

  Palette() : first{}, last{}, cache{}, n(0) {}

  ColourNode* Find(uint32_t key) {
    ColourNode*& slot = cache[CacheSlot(key)];
    if (slot != nullptr && slot->key == key) return slot;
    ColourNode* node = first[Bucket(key)];
    while (node != nullptr && node->key != key) node = node->next;
    if (node != nullptr) slot = node;
    return node;
  }

  // The node of the colour, made (with a count of 0) when it is new.
  ColourNode* Enter(uint32_t key) {
    ColourNode* node = Find(key);
    if (node != nullptr) return node;
    node = pool.New(key);
    node->count = 0;
    const int b = Bucket(key);
    if (first[b] == nullptr) {
      first[b] = node;
    } else {
      last[b]->next = node;
    }
    last[b] = node;
    cache[CacheSlot(key)] = node;
    ++n;
    return node;
  }
};

// The first pixel at or after x that differs from its left neighbour (x > 0), or the
// width: eight pixels of each channel are compared at a time.
size_t RunEnd(const unsigned char* r, const unsigned char* g, const unsigned char* b, size_t x,
              size_t width) {
  while (x + 8 <= width) {
    uint64_t r0, r1, g0, g1, b0, b1;
    std::memcpy(&r0, r + x - 1, 8);
    std::memcpy(&r1, r + x, 8);
    std::memcpy(&g0, g + x - 1, 8);
    std::memcpy(&g1, g + x, 8);
    std::memcpy(&b0, b + x - 1, 8);
    std::memcpy(&b1, b + x, 8);
    if (((r0 ^ r1) | (g0 ^ g1) | (b0 ^ b1)) != 0) break;
    x += 8;
  }
  while (x < width && r[x] == r[x - 1] && g[x] == g[x - 1] && b[x] == b[x - 1]) ++x;
  return x;
}

}  // namespace

const unsigned char StoreGIF_Gray[256] = {
#define ROW(i)                                                                              \
  i, i + 1, i + 2, i + 3, i + 4, i + 5, i + 6, i + 7, i + 8, i + 9, i + 10, i + 11, i + 12, \
      i + 13, i + 14, i + 15
    ROW(0),   ROW(16),  ROW(32),  ROW(48),  ROW(64),  ROW(80),  ROW(96),  ROW(112),
    ROW(128), ROW(144), ROW(160), ROW(176), ROW(192), ROW(208), ROW(224), ROW(240),
#undef ROW
};

void InitStoreGIF(FILE* stream, int width, int height, const unsigned char* red,
                  const unsigned char* green, const unsigned char* blue, bool extensions) {
  const bool table = red != nullptr && green != nullptr && blue != nullptr;
  fWrite(extensions ? kSignature89 : kSignature, 1, 6, stream);
  PutWord(width, stream);
  PutWord(height, stream);
  fPutC(table ? kScreen256WithTable : kScreen256WithoutTable, stream);
  fPutC(0, stream);  // background colour index
  fPutC(0, stream);  // no aspect ratio given
  if (table) PutTable(red, green, blue, stream);
}

namespace {

// The rows of pictures held whole: context is the row tables of the channels.
void PlaneRows(int r, const unsigned char* rows[3], void* context) {
  const auto* const* planes = static_cast<const unsigned char* const* const*>(context);
  for (int c = 0; c < 3; ++c) rows[c] = planes[c] != nullptr ? planes[c][r] : nullptr;
}

}  // namespace

void StoreGIF(FILE* stream, int left, int top, int width, int height, const unsigned char* red,
              const unsigned char* green, const unsigned char* blue,
              const unsigned char* const* rows) {
  const unsigned char* const* planes[3] = {rows, nullptr, nullptr};
  StoreGIF_Rows(stream, left, top, width, height, red, green, blue, PlaneRows, planes);
}

void StoreGIF_Rows(FILE* stream, int left, int top, int width, int height, const unsigned char* red,
                   const unsigned char* green, const unsigned char* blue, GIFRowSource source,
                   void* context) {
  const bool table = red != nullptr && green != nullptr && blue != nullptr;
  PutDescriptor(stream, left, top, width, height, table ? kImageWithTable : kImageWithoutTable);
  if (table) PutTable(red, green, blue, stream);
  InitEncode(stream);
  for (int r = 0; r < height; ++r) {
    const unsigned char* channels[3];
    source(r, channels, context);
    Encode(channels[0], static_cast<size_t>(width), stream);
  }
  TermEncode(stream);
}

void StoreGIF_RGB(FILE* stream, int left, int top, int width, int height,
                  const unsigned char* const* red, const unsigned char* const* green,
                  const unsigned char* const* blue) {
  const unsigned char* const* planes[3] = {red, green, blue};
  StoreGIF_RGBRows(stream, left, top, width, height, PlaneRows, planes);
}

// Two passes over the rows: the colours are counted, then the indices encoded.
void StoreGIF_RGBRows(FILE* stream, int left, int top, int width, int height, GIFRowSource source,
                      void* context) {
  PutDescriptor(stream, left, top, width, height, kImageWithTable);

  Palette palette;
  runs.clear();
  bool held = true;  // every run of the picture is in runs
  for (int r = 0; r < height; ++r) {
    const unsigned char* channels[3];
    source(r, channels, context);
    const unsigned char *pr = channels[0], *pg = channels[1], *pb = channels[2];
    // Most pixels repeat their left neighbour: a run is counted at once.
    for (size_t c = 0; c < static_cast<size_t>(width);) {
      ColourNode* node = palette.Enter(Key(pr[c], pg[c], pb[c]));
      const size_t e = RunEnd(pr, pg, pb, c + 1, static_cast<size_t>(width));
      node->count += static_cast<uint32_t>(e - c);
      if (held) {
        if (runs.size() < kHeldRuns) {
          runs.push_back({node, static_cast<uint32_t>(e - c)});
        } else {
          held = false;
        }
      }
      c = e;
    }
  }

  unsigned char table[kTableBytes] = {};  // entries beyond the colours stay black
  if (palette.n <= 256) {
    // Every colour exactly, in bucket order.
    uint32_t index = 0;
    for (ColourNode* node : palette.first) {
      for (; node != nullptr; node = node->next) {
        table[3 * index] = static_cast<unsigned char>(node->key);
        table[3 * index + 1] = static_cast<unsigned char>(node->key >> 8);
        table[3 * index + 2] = static_cast<unsigned char>(node->key >> 16);
        node->count = index++;
      }
    }
  } else {
    auto** nodes = static_cast<ColourNode**>(std::malloc(palette.n * sizeof(ColourNode*)));
    if (nodes == nullptr) Error("LUT memory allocation");
    uint32_t i = 0;
    for (ColourNode* node : palette.first) {
      for (; node != nullptr; node = node->next) nodes[i++] = node;
    }
    ReduceColours(nodes, palette.n, table);
    std::free(nodes);
  }
  fWrite(table, 1, kTableBytes, stream);

  InitEncode(stream);
  unsigned char indices[kChunk];
  if (held) {
    // The runs of the first pass, as indices; chunks may end inside a run and span
    // rows, since the encoder takes its input as one stream.
    size_t k = 0;
    for (const PixelRun& run : runs) {
      const auto index = static_cast<unsigned char>(run.node->count);
      for (size_t rest = run.length; rest != 0;) {
        const size_t take = std::min(rest, kChunk - k);
        for (size_t j = 0; j < take; ++j) indices[k + j] = index;
        k += take;
        rest -= take;
        if (k == kChunk) {
          Encode(indices, k, stream);
          k = 0;
        }
      }
    }
    Encode(indices, k, stream);
    TermEncode(stream);
    return;
  }
  for (int r = 0; r < height; ++r) {
    const unsigned char* channels[3];
    source(r, channels, context);
    const unsigned char *pr = channels[0], *pg = channels[1], *pb = channels[2];
    for (size_t c = 0; c < static_cast<size_t>(width); c += kChunk) {
      const size_t n = std::min(kChunk, static_cast<size_t>(width) - c);
      for (size_t k = 0; k < n;) {
        const size_t x = c + k;
        const auto index =
            static_cast<unsigned char>(palette.Find(Key(pr[x], pg[x], pb[x]))->count);
        const size_t e = RunEnd(pr, pg, pb, x + 1, c + n) - c;
        std::memset(indices + k, index, e - k);
        k = e;
      }
      Encode(indices, n, stream);
    }
  }
  TermEncode(stream);
}

void TermStoreGIF(FILE* stream) {
  fPutC(kTrailer, stream);
  // Buffered bytes reach the file only now: a full disk shows here.
  if (!CloseOutput(stream)) Error("bytes write");
}
