// The LZW encoders of both writers byte for byte against the reference copies of the
// encoders they replaced (lzw_reference.cpp), on several megabytes of pictures chosen
// to reach every path: clears in quick succession, long strings, the 12-bit width,
// strips cut mid-table. Then the string table itself.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "common/lzwtable.h"
#include "gifwrite/sgif.h"
#include "lzw_reference.h"
#include "support/run.h"
#include "tiffread.h"
#include "tiffwrite/sif.h"

namespace {

struct Picture {
  const char* name;
  int width, height;
  std::vector<unsigned char> pixels;  // row order
};

Picture Make(const char* name, int w, int h, const std::function<int(int, int)>& f) {
  Picture p{name, w, h, std::vector<unsigned char>(size_t(w) * h)};
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) p.pixels[size_t(y) * w + x] = static_cast<unsigned char>(f(x, y));
  }
  return p;
}

// About 6 MB in all.
std::vector<Picture> Pictures() {
  std::mt19937 rng(12345);
  auto byte = [&] { return static_cast<int>(rng() & 0xFF); };
  int runLeft = 0, runColour = 0;
  std::vector<Picture> all;
  // New strings at almost every pixel: the table fills and clears every few kB.
  all.push_back(Make("random", 1024, 1024, [&](int, int) { return byte(); }));
  // Runs of 1 to 200 pixels in 8 colours: strings of every length.
  all.push_back(Make("runs", 1024, 768, [&](int, int) {
    if (runLeft-- == 0) {
      runLeft = static_cast<int>(rng() % 200);
      runColour = static_cast<int>(rng() % 8);
    }
    return runColour;
  }));
  all.push_back(Make("gradient", 800, 600, [](int x, int y) { return (x + 2 * y) & 0xFF; }));
  // A smooth picture with noise, like a shaded render: fills the table, forces clears.
  all.push_back(Make("noisy shading", 640, 480,
                     [&](int x, int y) { return ((x * y) >> 9) + static_cast<int>(rng() % 3); }));
  // One colour: ever longer strings, no clear for a long time.
  all.push_back(Make("single colour", 1500, 1000, [](int, int) { return 7; }));
  // Bilevel, mostly 0 with scattered 1s.
  all.push_back(Make("one bit", 1024, 1024, [&](int, int) { return rng() % 16 == 0 ? 1 : 0; }));
  // Odd sizes around the edges: one pixel, one row, one column.
  all.push_back(Make("one pixel", 1, 1, [](int, int) { return 200; }));
  all.push_back(Make("one column", 1, 3000, [&](int, int) { return byte() & 3; }));
  return all;
}

TEST(LZW, GifEncoderMatchesReference) {
  for (const Picture& p : Pictures()) {
    SCOPED_TRACE(p.name);
    Scratch dir;
    FILE* f = std::fopen(dir.Path("p.gif").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::vector<const unsigned char*> rows;
    for (int y = 0; y < p.height; ++y) rows.push_back(p.pixels.data() + size_t(y) * p.width);
    StoreGIF(f, 0, 0, p.width, p.height, nullptr, nullptr, nullptr, rows.data());
    std::fclose(f);
    const std::string bytes = dir.Read("p.gif");
    constexpr size_t kDescriptor = 10;  // no colour table
    ASSERT_GT(bytes.size(), kDescriptor);
    const std::string expected = ReferenceGifLZW(p.pixels);
    EXPECT_EQ(bytes.size() - kDescriptor, expected.size());
    EXPECT_TRUE(bytes.compare(kDescriptor, std::string::npos, expected) == 0);
  }
}

// The bytes of rows first..last-1 of a picture as TIFF serialises them.
std::vector<unsigned char> Serialise(const std::vector<const Picture*>& planes, int bits, int first,
                                     int last) {
  std::vector<unsigned char> bytes;
  const Picture& p = *planes[0];
  for (int y = first; y < last; ++y) {
    int acc = 0, held = 0;
    for (int x = 0; x < p.width; ++x) {
      for (const Picture* c : planes) {
        const int v = c->pixels[size_t(y) * p.width + x];
        if (bits == 8) {
          bytes.push_back(static_cast<unsigned char>(v));
          continue;
        }
        acc = (acc << 1) | (v & 1);
        if (++held == 8) {
          bytes.push_back(static_cast<unsigned char>(acc));
          acc = held = 0;
        }
      }
    }
    if (held > 0) bytes.push_back(static_cast<unsigned char>(acc << (8 - held)));
  }
  return bytes;
}

std::vector<uint16_t> Samples(const Picture& p) { return {p.pixels.begin(), p.pixels.end()}; }

std::vector<const uint16_t*> Rows(const std::vector<uint16_t>& samples, const Picture& p) {
  std::vector<const uint16_t*> rows;
  for (int y = 0; y < p.height; ++y) rows.push_back(samples.data() + size_t(y) * p.width);
  return rows;
}

// Every strip of the file against the reference encoding of its rows.
void ExpectStripsMatch(const std::string& file, const std::vector<const Picture*>& planes,
                       int bits) {
  TiffFile t;
  std::string why;
  ASSERT_TRUE(ParseTiff(file, &t, &why)) << why;
  ASSERT_EQ(t.stripOffsets.size(), t.stripCounts.size());
  const int height = planes[0]->height;
  for (size_t k = 0; k < t.stripOffsets.size(); ++k) {
    const int first = static_cast<int>(k * t.rowsPerStrip);
    const int last = std::min<int>(height, first + static_cast<int>(t.rowsPerStrip));
    const std::string expected = ReferenceTiffStrip(Serialise(planes, bits, first, last));
    ASSERT_EQ(t.stripCounts[k], expected.size()) << "strip " << k;
    ASSERT_TRUE(file.compare(t.stripOffsets[k], t.stripCounts[k], expected) == 0) << "strip " << k;
  }
}

TEST(LZW, TiffEncoderMatchesReference) {
  const std::vector<Picture> pictures = Pictures();
  for (const Picture& p : pictures) {
    SCOPED_TRACE(p.name);
    const int bits = std::string(p.name) == "one bit" ? 1 : 8;
    Scratch dir;
    const std::vector<uint16_t> samples = Samples(p);
    StoreImageFile(dir.Path("p.tif").c_str(), p.width, p.height, bits, Rows(samples, p).data(),
                   nullptr);
    ExpectStripsMatch(dir.Read("p.tif"), {&p}, bits);
  }
  // True colour: three different planes interleaved. Small enough for the file to end
  // below 64 KiB, where the BitsPerSample offset still fits its SHORT entry.
  std::mt19937 rng(7);
  const Picture a = Make("a", 100, 100, [&](int, int) { return static_cast<int>(rng() & 0xFF); });
  const Picture b = Make("b", a.width, a.height, [](int x, int y) { return (x ^ y) & 0xF0; });
  const Picture c = Make("c", a.width, a.height, [](int, int) { return 255; });
  const std::vector<uint16_t> sa = Samples(a), sb = Samples(b), sc = Samples(c);
  Scratch dir;
  StoreImageFile_RGB(dir.Path("rgb.tif").c_str(), a.width, a.height, 8, Rows(sa, a).data(),
                     Rows(sb, b).data(), Rows(sc, c).data(), nullptr);
  ExpectStripsMatch(dir.Read("rgb.tif"), {&a, &b, &c}, 8);
}

// Rows handed over already serialised (the callback entry points) give the same files as
// sample row tables, at every packed width, in all three builds.
struct Packed {
  std::vector<const Picture*> planes;
  int bits;
};

void PackRow(int y, unsigned char* bytes, void* context) {
  const auto* p = static_cast<const Packed*>(context);
  const Picture& first = *p->planes[0];
  int acc = 0, held = 0;
  for (int x = 0; x < first.width; ++x) {
    for (const Picture* c : p->planes) {
      acc = (acc << p->bits) | c->pixels[size_t(y) * first.width + x];
      held += p->bits;
      while (held >= 8) {
        held -= 8;
        *bytes++ = static_cast<unsigned char>(acc >> held);
      }
    }
  }
  if (held > 0) *bytes = static_cast<unsigned char>(acc << (8 - held));
}

TEST(TiffRows, SerialisedRowsGiveTheSameFileAsSampleRows) {
  std::mt19937 rng(99);
  uint16_t map[3][256];
  for (int c = 0; c < 3; ++c) {
    for (int i = 0; i < 256; ++i) map[c][i] = static_cast<uint16_t>(rng());
  }
  for (int bits : {1, 2, 4, 8}) {
    SCOPED_TRACE(bits);
    // An odd width, so that rows end inside a byte; runs, so that strings grow.
    const Picture p =
        Make("p", 37, 300, [&](int x, int y) { return ((x / 5 + y) * 7) % (1 << bits); });
    const std::vector<uint16_t> samples = Samples(p);
    Packed packed{{&p}, bits};
    Scratch dir;
    StoreImageFile_CM(dir.Path("a.tif").c_str(), p.width, p.height, bits, map[0], map[1], map[2],
                      Rows(samples, p).data(), nullptr);
    StoreImageFile_CM(dir.Path("b.tif").c_str(), p.width, p.height, bits, map[0], map[1], map[2],
                      PackRow, &packed, nullptr);
    EXPECT_TRUE(dir.Read("a.tif") == dir.Read("b.tif"));
    StoreImageFile(dir.Path("c.tif").c_str(), p.width, p.height, bits, Rows(samples, p).data(),
                   nullptr);
    StoreImageFile(dir.Path("d.tif").c_str(), p.width, p.height, bits, PackRow, &packed, nullptr);
    EXPECT_TRUE(dir.Read("c.tif") == dir.Read("d.tif"));
  }
  const Picture r = Make("r", 300, 200, [](int x, int) { return x & 0xFF; });
  const Picture g = Make("g", 300, 200, [](int, int y) { return y; });
  const Picture b = Make("b", 300, 200, [](int x, int y) { return (x * y) & 0xFF; });
  const std::vector<uint16_t> sr = Samples(r), sg = Samples(g), sb = Samples(b);
  Packed packed{{&r, &g, &b}, 8};
  Scratch dir;
  StoreImageFile_RGB(dir.Path("a.tif").c_str(), 300, 200, 8, Rows(sr, r).data(), Rows(sg, g).data(),
                     Rows(sb, b).data(), nullptr);
  StoreImageFile_RGB(dir.Path("b.tif").c_str(), 300, 200, 8, PackRow, &packed, nullptr);
  EXPECT_TRUE(dir.Read("a.tif") == dir.Read("b.tif"));
}

// The table itself: a clear forgets exactly what was entered, and a match stops at the
// first string the table does not know.
LZWTable table;

TEST(LZWTable, ClearForgetsEveryEntryOfTheGeneration) {
  for (int code = 258; code < 4096; ++code) LZWEnter(table, code - 1, code & 0xFF, code);
  EXPECT_EQ(LZWFind(table, 4094, 4095 & 0xFF), 4095);
  EXPECT_EQ(LZWFind(table, 258, 0), 0);  // never entered
  LZWClear(table);
  for (int code = 258; code < 4096; ++code)
    ASSERT_EQ(LZWFind(table, code - 1, code & 0xFF), 0) << code;
  LZWEnter(table, 65, 66, 258);
  EXPECT_EQ(LZWFind(table, 65, 66), 258);
  LZWClear(table);
}

// A full generation of strings scattered over the keys, so that many share a first
// slot: each finds its own code, strings one byte or one prefix away find nothing, and
// after a clear a second scattered generation is found as well.
TEST(LZWTable, ScatteredStringsShareSlotsWithoutMixingUp) {
  std::mt19937 random(7);
  for (int generation = 0; generation < 2; ++generation) {
    std::vector<int> prefixOf(4096, -1), byteOf(4096, -1);
    std::vector<bool> used(1 << 20, false);
    for (int code = 258; code < 4096; ++code) {
      int prefix, byte;
      do {
        prefix = static_cast<int>(random() % 4096);
        byte = static_cast<int>(random() % 256);
      } while (used[static_cast<size_t>(prefix) << 8 | static_cast<size_t>(byte)]);
      used[static_cast<size_t>(prefix) << 8 | static_cast<size_t>(byte)] = true;
      prefixOf[static_cast<size_t>(code)] = prefix;
      byteOf[static_cast<size_t>(code)] = byte;
      LZWEnter(table, prefix, byte, code);
    }
    for (int code = 258; code < 4096; ++code) {
      const int prefix = prefixOf[static_cast<size_t>(code)],
                byte = byteOf[static_cast<size_t>(code)];
      ASSERT_EQ(LZWFind(table, prefix, byte), code) << generation << " " << code;
      const int otherByte = (byte + 1) & 0xFF, otherPrefix = (prefix + 1) & 0xFFF;
      if (!used[static_cast<size_t>(prefix) << 8 | static_cast<size_t>(otherByte)]) {
        ASSERT_EQ(LZWFind(table, prefix, otherByte), 0) << code;
      }
      if (!used[static_cast<size_t>(otherPrefix) << 8 | static_cast<size_t>(byte)]) {
        ASSERT_EQ(LZWFind(table, otherPrefix, byte), 0) << code;
      }
    }
    LZWClear(table);
    for (int code = 258; code < 4096; ++code) {
      ASSERT_EQ(
          LZWFind(table, prefixOf[static_cast<size_t>(code)], byteOf[static_cast<size_t>(code)]),
          0);
    }
  }
}

TEST(LZWTable, MatchFollowsTheLongestKnownString) {
  // "ABC" known as 258 ("AB") and 259 ("ABC"); "ABCD" is not.
  LZWEnter(table, 'A', 'B', 258);
  LZWEnter(table, 258, 'C', 259);
  const unsigned char text[] = {'B', 'C', 'D', 'B'};
  struct Case {
    int start;
    size_t count;
    size_t taken;
    int prefix;
  } cases[] = {
      {'A', 4, 2, 259},  // stops before D
      {'A', 1, 1, 258},  // stops at the end of the bytes
      {'A', 0, 0, 'A'},
      {'B', 4, 0, 'B'},  // "BB" unknown
  };
  for (const Case& c : cases) {
    int prefix = c.start;
    EXPECT_EQ(LZWMatch(table, &prefix, text, c.count), c.taken);
    EXPECT_EQ(prefix, c.prefix);
  }
  LZWClear(table);
}

}  // namespace
