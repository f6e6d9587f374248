// The GIF writer: header and image bytes, the LZW encoder's code stream (read back by
// the independent decoder of giftest.h), the colour tables of true-colour images.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <random>
#include <set>

#include "common/program.h"
#include "giftest.h"
#include "gifwrite/reduce.h"
#include "gifwrite/sgif.h"

namespace {

// The bytes a writer puts on a stream (released also when the writer ends the program).
std::string Written(const std::function<void(FILE*)>& write) {
  struct Memory {
    char* data = nullptr;
    size_t size = 0;
    FILE* f = open_memstream(&data, &size);
    ~Memory() {
      if (f != nullptr) std::fclose(f);
      std::free(data);
    }
  } m;
  write(m.f);
  std::fclose(m.f);
  m.f = nullptr;
  return std::string(m.data, m.size);
}

std::string Hex(const std::string& bytes) {
  std::string s;
  char b[4];
  for (unsigned char c : bytes) {
    std::snprintf(b, sizeof b, "%02x ", c);
    s += b;
  }
  return s;
}

// A palette picture of width x height indices, held as rows.
struct Indices {
  int width, height;
  std::vector<uint8_t> cells;
  std::vector<const unsigned char*> rows;
  Indices(int w, int h, const std::vector<uint8_t>& v) : width(w), height(h), cells(v) {
    for (int r = 0; r < h; ++r) rows.push_back(cells.data() + static_cast<size_t>(r) * w);
  }
};

// An image without a table; its bytes after the 10-byte descriptor.
std::string Encoded(const Indices& p) {
  return Written([&](FILE* f) {
           StoreGIF(f, 0, 0, p.width, p.height, nullptr, nullptr, nullptr, p.rows.data());
         })
      .substr(10);
}

// A whole file of one palette image, read back.
GifFile RoundTrip(const Indices& p) {
  const std::string bytes = Written([&](FILE* f) {
    InitStoreGIF(f, p.width, p.height, StoreGIF_Gray, StoreGIF_Gray, StoreGIF_Gray);
    StoreGIF(f, 0, 0, p.width, p.height, nullptr, nullptr, nullptr, p.rows.data());
    std::fputc(';', f);
  });
  GifFile gif;
  EXPECT_TRUE(ParseGif(bytes, &gif)) << DescribeGif(bytes);
  return gif;
}

int Count(const GifImage& m, int code) {
  return static_cast<int>(std::count_if(m.codes.begin(), m.codes.end(),
                                        [&](const GifCode& c) { return c.code == code; }));
}

std::vector<uint8_t> Noise(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& x : v) x = static_cast<uint8_t>(rng() % 7);  // few values: long strings too
  return v;
}

struct ExitStatus {
  int status;
};
[[noreturn]] void ThrowExit(int status) { throw ExitStatus{status}; }

// Runs a write that must end the program; gives its message.
std::string FatalMessage(const std::function<void()>& write) {
  SetExitHandler(ThrowExit);
  testing::internal::CaptureStderr();
  int status = 0;
  try {
    write();
  } catch (const ExitStatus& e) {
    status = e.status;
  }
  SetExitHandler(nullptr);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, 1) << err;
  return err;
}

TEST(GifWrite, HeaderWithoutTable) {
  const std::string bytes =
      Written([](FILE* f) { InitStoreGIF(f, 300, 2, nullptr, nullptr, nullptr); });
  EXPECT_EQ(Hex(bytes), "47 49 46 38 37 61 2c 01 02 00 77 00 00 ");
}

TEST(GifWrite, HeaderWithGrayTable) {
  const std::string bytes =
      Written([](FILE* f) { InitStoreGIF(f, 1, 1, StoreGIF_Gray, StoreGIF_Gray, StoreGIF_Gray); });
  ASSERT_EQ(bytes.size(), 13u + 768u);
  EXPECT_EQ(static_cast<uint8_t>(bytes[10]), 0xF7);
  for (int i = 0; i < 256; ++i) {
    for (int c = 0; c < 3; ++c) ASSERT_EQ(static_cast<uint8_t>(bytes[13 + 3 * i + c]), i);
  }
  // A table needs all three arrays.
  const std::string partial =
      Written([](FILE* f) { InitStoreGIF(f, 1, 1, StoreGIF_Gray, nullptr, StoreGIF_Gray); });
  EXPECT_EQ(Hex(partial), "47 49 46 38 37 61 01 00 01 00 77 00 00 ");
}

TEST(GifWrite, DescriptorFlagsAndPosition) {
  const Indices p(1, 1, {0});
  const std::string plain = Written(
      [&](FILE* f) { StoreGIF(f, 258, 3, 1, 1, nullptr, nullptr, nullptr, p.rows.data()); });
  EXPECT_EQ(Hex(plain.substr(0, 10)), "2c 02 01 03 00 01 00 01 00 07 ");
  const std::string tabled = Written([&](FILE* f) {
    StoreGIF(f, 0, 0, 1, 1, StoreGIF_Gray, StoreGIF_Gray, StoreGIF_Gray, p.rows.data());
  });
  ASSERT_EQ(tabled.size(), 10u + 768u + 7u);
  EXPECT_EQ(static_cast<uint8_t>(tabled[9]), 0x87);
  EXPECT_EQ(Hex(tabled.substr(10 + 3 * 200, 3)), "c8 c8 c8 ");
}

TEST(GifWrite, WorkedExamples) {
  EXPECT_EQ(Hex(Encoded(Indices(1, 1, {0}))), "08 04 00 01 04 04 00 ");  // codes 256 0 257
  EXPECT_EQ(Hex(Encoded(Indices(0, 0, {}))), "08 03 00 03 02 00 ");      // codes 256 257
  EXPECT_EQ(Hex(Encoded(Indices(2, 2, {1, 1, 1, 1}))), "08 06 00 03 08 0c 10 10 00 ");
}

TEST(GifWrite, CodesWidenAndClearAsTheTableFills) {
  const Indices p(300, 100, Noise(30000, 2));
  const GifFile gif = RoundTrip(p);
  const GifImage& m = gif.images.at(0);
  // Every code is as wide as a decoder expects, or the pixels would differ.
  EXPECT_EQ(m.pixels, p.cells);
  std::set<int> widths;
  for (const GifCode& c : m.codes) widths.insert(c.width);
  EXPECT_EQ(widths, (std::set<int>{9, 10, 11, 12}));
  // A clear, 12 bits wide, once 3838 new strings (258..4095) have been assigned.
  ASSERT_GT(Count(m, 256), 1);
  for (size_t i = 1; i < m.codes.size(); ++i) {
    if (m.codes[i].code != 256) continue;
    EXPECT_EQ(m.codes[i].next, 4096) << "clear at code " << i;
    EXPECT_EQ(m.codes[i].width, 12);
  }
  // Full sub-blocks but the last.
  for (size_t i = 0; i + 1 < m.blocks.size(); ++i) ASSERT_EQ(m.blocks[i], 255);
  EXPECT_GE(m.blocks.back(), 1);
}

TEST(GifWrite, EqualPixelsClearOnlyAfter3838Strings) {
  // Equal pixels make every string one longer than the one before: the k-th new
  // string is sent once 1 + 2 + ... + k + 1 pixels are in, so the string after 4095
  // (the 3839th), and with it the clear, comes at pixel 7,370,881.
  const int w = 3840, h = 1920;  // 7,372,800 pixels
  const Indices p(w, h, std::vector<uint8_t>(static_cast<size_t>(w) * h, 5));
  const GifFile gif = RoundTrip(p);
  const GifImage& m = gif.images.at(0);
  EXPECT_EQ(m.pixels, p.cells);
  ASSERT_EQ(Count(m, 256), 2);
  EXPECT_EQ(m.codes[3840].code, 256);  // clear, 3839 string codes, clear
  EXPECT_EQ(m.codes[3840].next, 4096);
}

TEST(GifWrite, EndCodeWidthAfterTheLastAssignment) {
  // A picture whose last pixel makes the encoder assign code T, after `cycles` full
  // tables: its last code is that pixel alone, and a decoder adds its entry for T on
  // reading it, so the end code is one bit wider when T + 1 is a power of two (but
  // never beyond 12 bits). The end code's top bit is 0 either way: only the length of
  // the data shows the width. The number of bits is fixed by T and the cycles, and
  // these are chosen so that the end code's last bit starts a byte of its own.
  struct Case {
    int T, cycles, lastWidth, endWidth;
  };
  for (const Case& k :
       {Case{511, 5, 9, 10}, Case{1023, 2, 10, 11}, Case{2047, 7, 11, 12}, Case{4095, 0, 12, 12}}) {
    const int strings = k.T - 257;  // string codes sent before T is assigned
    bool found = false;
    for (unsigned seed = 1; seed < 20 && !found; ++seed) {
      // Where does the encoder assign T in a long picture? Right after sending the
      // string code that the decoder answers with entry T - 1, at the next pixel.
      const int rows = k.cycles + 1, columns = 8 * 3838;
      const std::vector<uint8_t> noise = Noise(static_cast<size_t>(rows) * columns, seed);
      const GifFile whole = RoundTrip(Indices(columns, rows, noise));
      ASSERT_EQ(whole.images.size(), 1u);
      size_t n = 1;  // pixels up to the one that assigns T
      int clears = -1, sent = 0;
      for (const GifCode& c : whole.images[0].codes) {
        if (c.code == 256) {
          ++clears;
          sent = 0;
          continue;
        }
        n += static_cast<size_t>(c.length);
        if (clears == k.cycles && ++sent == strings) break;
      }
      ASSERT_EQ(sent, strings) << "the long picture is too short";
      int width = static_cast<int>((n + 65534) / 65535);
      while (width <= 65535 && n % static_cast<size_t>(width) != 0) ++width;
      if (width > 65535) continue;  // no picture has exactly n pixels

      const Indices p(width, static_cast<int>(n / static_cast<size_t>(width)),
                      std::vector<uint8_t>(noise.begin(), noise.begin() + static_cast<long>(n)));
      const GifFile gif = RoundTrip(p);
      ASSERT_EQ(gif.images.size(), 1u);
      const GifImage& m = gif.images[0];
      EXPECT_EQ(m.pixels, p.cells);
      ASSERT_EQ(Count(m, 256), k.cycles + 1);
      const GifCode& last = m.codes[m.codes.size() - 2];
      const GifCode& end = m.codes.back();
      EXPECT_EQ(last.code, noise[n - 1]) << "T " << k.T;
      EXPECT_EQ(last.width, k.lastWidth) << "T " << k.T;
      EXPECT_EQ(end.code, 257);
      EXPECT_EQ(end.width, k.endWidth) << "T " << k.T;
      EXPECT_EQ(end.next, k.T + 1);
      if (k.lastWidth != k.endWidth) {
        EXPECT_EQ(m.bits % 8, 1) << "T " << k.T;
      }
      found = true;
    }
    EXPECT_TRUE(found) << "T " << k.T;
  }
}

TEST(GifWrite, SideBeyond65535FailsAsByteWrite) {
  const Indices p(1, 1, {0});
  std::string err = FatalMessage([&] {
    Written(
        [&](FILE* f) { StoreGIF(f, 0, 0, 65536, 1, nullptr, nullptr, nullptr, p.rows.data()); });
  });
  EXPECT_EQ(err, "byte write error.\n");
  err = FatalMessage(
      [&] { Written([](FILE* f) { InitStoreGIF(f, 1, -1, nullptr, nullptr, nullptr); }); });
  EXPECT_EQ(err, "byte write error.\n");
}

TEST(GifWrite, FailedFinalWriteIsReported) {
  FILE* f = OpenFile("/dev/full", "wb");
  ASSERT_NE(f, nullptr);
  InitStoreGIF(f, 1, 1, nullptr, nullptr, nullptr);  // held in the stream's buffer
  EXPECT_EQ(FatalMessage([&] { TermStoreGIF(f); }), "bytes write error.\n");
}

TEST(GifWrite, TrailerEndsTheFile) {
  char* data = nullptr;
  size_t size = 0;
  FILE* f = open_memstream(&data, &size);
  InitStoreGIF(f, 2, 3, nullptr, nullptr, nullptr);
  TermStoreGIF(f);
  EXPECT_EQ(Hex(std::string(data, size)), "47 49 46 38 37 61 02 00 03 00 77 00 00 3b ");
  std::free(data);
}

// ---- True-colour images -------------------------------------------------------------

struct Planes {
  int width, height;
  std::vector<uint8_t> cells[3];
  std::vector<const unsigned char*> rows[3];
  Planes(int w, int h) : width(w), height(h) {
    for (auto& c : cells) c.assign(static_cast<size_t>(w) * h, 0);
  }
  void Set(int i, int r, int g, int b) {
    cells[0][i] = static_cast<uint8_t>(r);
    cells[1][i] = static_cast<uint8_t>(g);
    cells[2][i] = static_cast<uint8_t>(b);
  }
  std::array<int, 3> At(int i) const { return {cells[0][i], cells[1][i], cells[2][i]}; }
  GifFile Store() {
    for (int c = 0; c < 3; ++c) {
      rows[c].clear();
      for (int r = 0; r < height; ++r)
        rows[c].push_back(cells[c].data() + static_cast<size_t>(r) * width);
    }
    const std::string bytes = Written([&](FILE* f) {
      InitStoreGIF(f, width, height, nullptr, nullptr, nullptr);
      StoreGIF_RGB(f, 0, 0, width, height, rows[0].data(), rows[1].data(), rows[2].data());
      std::fputc(';', f);
    });
    GifFile gif;
    EXPECT_TRUE(ParseGif(bytes, &gif)) << DescribeGif(bytes);
    return gif;
  }
};

std::array<int, 3> Entry(const GifImage& m, int index) {
  return {m.table.at(3 * index), m.table.at(3 * index + 1), m.table.at(3 * index + 2)};
}

// Each table entry used must be the pixel-weighted mean of the colours drawn with it,
// rounded half up; returns how many colours share each entry.
std::map<int, int> CheckMeans(const Planes& p, const GifImage& m) {
  std::map<int, std::array<double, 4>> sums;  // index -> red, green, blue, pixels
  std::map<int, std::set<std::array<int, 3>>> colours;
  for (size_t i = 0; i < m.pixels.size(); ++i) {
    auto& s = sums[m.pixels[i]];
    const auto c = p.At(static_cast<int>(i));
    for (int k = 0; k < 3; ++k) s[k] += c[k];
    s[3] += 1;
    colours[m.pixels[i]].insert(c);
  }
  std::map<int, int> shared;
  for (const auto& [index, s] : sums) {
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(Entry(m, index)[k], static_cast<int>(s[k] / s[3] + 0.5)) << "entry " << index;
    }
    shared[index] = static_cast<int>(colours[index].size());
  }
  return shared;
}

TEST(GifWriteRGB, OneColourThenBlack) {
  Planes p(3, 2);
  for (int i = 0; i < 6; ++i) p.Set(i, 9, 8, 7);
  const GifFile gif = p.Store();
  const GifImage& m = gif.images.at(0);
  EXPECT_EQ(m.flags, 0x87);
  EXPECT_EQ(Entry(m, 0), (std::array<int, 3>{9, 8, 7}));
  for (int i = 1; i < 256; ++i) ASSERT_EQ(Entry(m, i), (std::array<int, 3>{0, 0, 0}));
  EXPECT_EQ(m.pixels, std::vector<uint8_t>(6, 0));
}

TEST(GifWriteRGB, ExactTableInBucketOrder) {
  // Buckets go by the high nibbles, blue first; within a bucket by first occurrence.
  Planes p(7, 1);
  p.Set(0, 255, 0, 0);  // bucket 15
  p.Set(1, 0, 0, 255);  // bucket 3840
  p.Set(2, 0, 255, 0);  // bucket 240
  p.Set(3, 1, 0, 0);    // bucket 0, first there
  p.Set(4, 16, 0, 0);   // bucket 1
  p.Set(5, 0, 0, 0);    // bucket 0, second there
  p.Set(6, 255, 0, 0);
  const GifFile gif = p.Store();
  const GifImage& m = gif.images.at(0);
  const std::vector<std::array<int, 3>> expected = {{1, 0, 0},   {0, 0, 0},   {16, 0, 0},
                                                    {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(Entry(m, i), expected[i]) << "entry " << i;
  EXPECT_EQ(m.pixels, (std::vector<uint8_t>{3, 5, 4, 0, 2, 1, 3}));
}

// n distinct colours, scattered over the cube, one pixel each.
Planes Distinct(int n) {
  Planes p(n, 1);
  std::mt19937 rng(7);
  std::set<std::array<int, 3>> seen;
  for (int i = 0; i < n;) {
    std::array<int, 3> c = {static_cast<int>(rng() % 256), static_cast<int>(rng() % 256),
                            static_cast<int>(rng() % 256)};
    if (!seen.insert(c).second) continue;
    p.Set(i++, c[0], c[1], c[2]);
  }
  return p;
}

TEST(GifWriteRGB, Keeps256ColoursExactly) {
  Planes p = Distinct(256);
  const GifFile gif = p.Store();
  for (int i = 0; i < 256; ++i) ASSERT_EQ(Colour(gif, 0, i, 0), p.At(i)) << "pixel " << i;
}

TEST(GifWriteRGB, Reduces257Colours) {
  Planes p = Distinct(257);
  const GifFile gif = p.Store();
  const std::map<int, int> shared = CheckMeans(p, gif.images.at(0));
  EXPECT_GE(shared.size(), 250u);
  EXPECT_LE(shared.size(), 256u);
  int merged = 0;
  for (const auto& [index, n] : shared) merged += n > 1;
  EXPECT_GT(merged, 0);
}

// The second pass takes the first pass's runs while there are at most 2^20 of them and
// reads the picture again past that; either way every pixel comes back, runs longer
// than the encoder's chunks and rows wider than one included.
TEST(GifWriteRGB, HeldAndUnheldRunsGiveThePixels) {
  struct Case {
    int width, height, runLength;
  } cases[] = {
      {5000, 200, 1},   // 1,000,000 runs: held
      {5000, 220, 1},   // 1,100,000 runs: read again
      {9000, 3, 9000},  // one run a row, longer than a chunk
      {4097, 7, 5},     // runs across the chunk boundary
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << " runs of " << c.runLength);
    Planes p(c.width, c.height);
    const int n = c.width * c.height;
    for (int i = 0; i < n; ++i) {
      const int k = (i % c.width) / c.runLength + i / c.width;
      p.Set(i, 10 * (k % 3), 200, k % 2 == 0 ? 30 : 40);
    }
    const GifFile gif = p.Store();
    const GifImage& m = gif.images.at(0);
    ASSERT_EQ(m.pixels.size(), static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
      ASSERT_EQ(Entry(m, m.pixels[static_cast<size_t>(i)]), p.At(i)) << "pixel " << i;
    }
  }
}

// Colours crowded into one bucket (high nibbles all 0), in runs of 1 to 19 pixels that
// cross the eight-pixel steps of the run scan, colours coming back after others: with
// 200 colours every pixel keeps its colour, with 3000 each entry is the mean of its
// pixels, and a run never changes its index.
TEST(GifWriteRGB, RunsOfColoursSharingOneBucket) {
  for (int colours : {200, 3000}) {
    SCOPED_TRACE(colours);
    Planes p(333, 61);
    std::mt19937 rng(11);
    int left = 0, colour = 0;
    std::vector<int> which(333 * 61);
    for (int i = 0; i < 333 * 61; ++i) {
      if (left-- == 0) {
        left = static_cast<int>(rng() % 19);
        colour = static_cast<int>(rng() % colours);
      }
      which[i] = colour;
      p.Set(i, colour & 15, (colour >> 4) & 15, (colour >> 8) & 15);
    }
    const GifFile gif = p.Store();
    const GifImage& m = gif.images.at(0);
    if (colours <= 256) {
      for (int i = 0; i < 333 * 61; ++i) ASSERT_EQ(Colour(gif, 0, i % 333, i / 333), p.At(i)) << i;
    } else {
      CheckMeans(p, m);
    }
    for (int i = 1; i < 333 * 61; ++i) {
      if (which[i] == which[i - 1]) {
        ASSERT_EQ(m.pixels[i], m.pixels[i - 1]) << i;
      }
    }
  }
}

TEST(GifWriteRGB, StopsAt250BoxesMostPopulousFirst) {
  // The 16 x 16 x 16 grid of colours 0, 16, ..., 240: every cut makes eight boxes.
  // 8 + 7 x 35 = 253 boxes: the eight of 512 colours are cut first, then 27 of the 64
  // of 64 colours, into 8 colours each.
  Planes p(64, 64);
  for (int i = 0; i < 4096; ++i) p.Set(i, (i & 15) * 16, (i >> 4 & 15) * 16, (i >> 8) * 16);
  const GifFile gif = p.Store();
  const GifImage& m = gif.images.at(0);
  const std::map<int, int> shared = CheckMeans(p, m);
  EXPECT_EQ(shared.size(), 253u);
  std::map<int, int> sizes;
  for (const auto& [index, n] : shared) ++sizes[n];
  EXPECT_EQ(sizes, (std::map<int, int>{{8, 216}, {64, 37}}));
  for (int i = 253; i < 256; ++i) EXPECT_EQ(Entry(m, i), (std::array<int, 3>{0, 0, 0}));
}

TEST(ReduceColours, StopsWhenNoBoxCanBeCut) {
  // Fewer colours than boxes: cutting goes on until every box holds one colour. Slots
  // are taken first-free: the freed slot 0 is taken again by the first part of a cut.
  // Keys hold red in the low byte: 0x0A0AC8 is (200, 10, 10).
  std::vector<ColourNode> nodes = {{0x0A0A0A, 3, nullptr},
                                   {0x141414, 1, nullptr},
                                   {0x0A0AC8, 2, nullptr},
                                   {0x0AC80A, 1, nullptr},
                                   {0xC80A0A, 1, nullptr}};
  std::vector<ColourNode*> refs;
  for (auto& n : nodes) refs.push_back(&n);
  unsigned char table[768] = {};
  ASSERT_EQ(ReduceColours(refs.data(), 5, table), 5);
  const std::vector<std::array<int, 3>> expected = {
      {10, 10, 10}, {200, 10, 10}, {10, 200, 10}, {10, 10, 200}, {20, 20, 20}};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ((std::array<int, 3>{table[3 * i], table[3 * i + 1], table[3 * i + 2]}), expected[i]);
  }
  EXPECT_EQ(nodes[0].count, 0u);  // (10, 10, 10)
  EXPECT_EQ(nodes[1].count, 4u);  // (20, 20, 20): cut out of slot 0 last
  EXPECT_EQ(nodes[2].count, 1u);  // (200, 10, 10)
  EXPECT_EQ(nodes[3].count, 2u);  // (10, 200, 10)
  EXPECT_EQ(nodes[4].count, 3u);  // (10, 10, 200)
}

}  // namespace
