// The TIFF writer in its three builds, all linked into this one test program: strip
// geometry, the IFD, descriptions, sample packing, the LZW code stream, failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "common/bytes.h"
#include "support/run.h"
#include "tiffread.h"
#include "tiffwrite/sif.h"

namespace {

// A sample row table with its storage; sample (x, y) = f(x, y).
struct Picture {
  int width, height;
  std::vector<uint16_t> data;
  std::vector<const uint16_t*> rows;
  template <typename F>
  Picture(int w, int h, F f) : width(w), height(h), data(size_t(w) * h) {
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) data[size_t(y) * w + x] = static_cast<uint16_t>(f(x, y));
      rows.push_back(data.data() + size_t(y) * w);
    }
    if (h == 0) rows.push_back(nullptr);
  }
  uint32_t At(int x, int y) const { return data[size_t(y) * width + x]; }
};

// Writes with StoreImageFile, reads the file back; the test fails on a malformed file.
TiffFile Grey(const Picture& p, int bits, const char* description = nullptr,
              std::string* fileBytes = nullptr) {
  Scratch dir;
  StoreImageFile(dir.Path("p.tif").c_str(), p.width, p.height, bits, p.rows.data(), description);
  std::string bytes = dir.Read("p.tif");
  TiffFile t;
  std::string why;
  EXPECT_TRUE(ParseTiff(bytes, &t, &why)) << why;
  if (fileBytes) *fileBytes = bytes;
  return t;
}

std::vector<int> Tags(const TiffFile& t) {
  std::vector<int> tags;
  for (const auto& e : t.entries) tags.push_back(e.tag);
  return tags;
}

uint16_t GetLE16Of(const std::string& bytes, size_t offset) {
  return GetLE16(reinterpret_cast<const unsigned char*>(bytes.data()) + offset);
}

uint32_t FileLength(const TiffFile& t) {
  return t.ifdOffset + 2 + 12 * uint32_t(t.entries.size()) + 4;
}

TEST(TiffWrite, BilevelRowCarriesPaddingBitsAndIsWhiteIsZero) {
  // 10 samples of one bit: 2 bytes a row, the second holding 2 samples and 6 zero bits.
  Picture p(10, 3, [](int x, int y) { return (x + y) % 3 == 0 ? 1 : 0; });
  TiffFile t = Grey(p, 1);
  ASSERT_EQ(t.strips.size(), 1u);
  ASSERT_EQ(t.strips[0].size(), 6u);
  for (int y = 0; y < 3; ++y) {
    EXPECT_EQ(static_cast<unsigned char>(t.strips[0][2 * y + 1]) & 0x3F, 0) << "row " << y;
  }
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 10; ++x) EXPECT_EQ(t.samples[y * 10 + x], p.At(x, y)) << x << "," << y;
  }
  EXPECT_EQ(t.Find(262)->value, 0u);  // WhiteIsZero: a 1 is black
  EXPECT_EQ(t.rowsPerStrip, 4096u);   // 8192 / 2 bytes a row
}

TEST(TiffWrite, OneStripHoldsItsOffsetAndCountInTheEntries) {
  Picture p(16, 4, [](int x, int y) { return x * 16 + y; });
  std::string bytes;
  TiffFile t = Grey(p, 8, nullptr, &bytes);
  const TiffEntry* offsets = t.Find(273);
  const TiffEntry* counts = t.Find(279);
  EXPECT_EQ(offsets->count, 1u);
  EXPECT_EQ(offsets->value, 8u);
  EXPECT_EQ(counts->count, 1u);
  // The IFD follows the strip, on an even offset.
  EXPECT_EQ(t.ifdOffset, (8 + counts->value + 1) / 2 * 2);
  EXPECT_EQ(bytes.size(), FileLength(t));
  EXPECT_EQ(t.Find(262)->value, 1u);  // BlackIsZero for grey
}

TEST(TiffWrite, ManyStripsGetArraysBeforeTheIFD) {
  // 300 bytes a row: 27 rows a strip, 4 strips, the last of 19 rows.
  Picture p(300, 100, [](int x, int y) { return (x * 7 + y * 13) & 0xFF; });
  std::string bytes;
  TiffFile t = Grey(p, 8, nullptr, &bytes);
  EXPECT_EQ(t.rowsPerStrip, 27u);
  ASSERT_EQ(t.stripOffsets.size(), 4u);
  EXPECT_EQ(t.strips[3].size(), 19u * 300);
  EXPECT_EQ(t.stripOffsets[0], 8u);
  for (int k = 1; k < 4; ++k)
    EXPECT_EQ(t.stripOffsets[k], t.stripOffsets[k - 1] + t.stripCounts[k - 1]);
  const uint32_t dataEnd = t.stripOffsets[3] + t.stripCounts[3];
  EXPECT_EQ(t.Find(273)->value, (dataEnd + 1) / 2 * 2);
  EXPECT_EQ(t.Find(279)->value, t.Find(273)->value + 4 * 4);
  EXPECT_EQ(t.ifdOffset, t.Find(273)->value + 8 * 4);
  EXPECT_EQ(bytes.size(), FileLength(t));
  for (int y = 0; y < 100; y += 33) EXPECT_EQ(t.samples[y * 300 + 299], p.At(299, y));
}

TEST(TiffWrite, RowOverStripSizeGetsOneRowAStrip) {
  Picture p(9000, 3, [](int x, int) { return x & 0xFF; });
  TiffFile t = Grey(p, 8);
  EXPECT_EQ(t.rowsPerStrip, 1u);
  EXPECT_EQ(t.stripOffsets.size(), 3u);
  Picture q(8192, 2, [](int x, int) { return x & 0xFF; });  // exactly 8192 bytes: still one row
  EXPECT_EQ(Grey(q, 8).rowsPerStrip, 1u);
}

TEST(TiffWrite, EntriesInOrderWithTheirTypes) {
  Picture p(5, 5, [](int x, int y) { return x ^ y; });
  TiffFile t = Grey(p, 8);
  EXPECT_EQ(Tags(t), (std::vector<int>{256, 257, 258, 259, 262, 273, 277, 278, 279, 284}))
      << DescribeTiff(t);
  const std::vector<int> types = {3, 3, 3, 3, 3, 4, 3, 3, 4, 3};
  for (size_t i = 0; i < types.size(); ++i) EXPECT_EQ(t.entries[i].type, types[i]) << "entry " << i;
  EXPECT_EQ(t.Find(259)->value, 5u);  // LZW
  EXPECT_EQ(t.Find(284)->value, 1u);  // chunky
  EXPECT_EQ(t.Find(277)->value, 1u);
}

TEST(TiffWrite, DescriptionsOfThreeFourAndFiveCharacters) {
  Picture p(4, 2, [](int x, int y) { return x + y; });
  std::string bytes;
  // "abc" with its zero fits the entry; nothing is written at offset 8.
  TiffFile t3 = Grey(p, 8, "abc", &bytes);
  EXPECT_EQ(Tags(t3)[5], 270);
  EXPECT_EQ(t3.Find(270)->type, 2);
  EXPECT_EQ(t3.Find(270)->count, 4u);
  EXPECT_EQ(t3.Find(270)->value, 0x00636261u);  // 'a' 'b' 'c' 0
  EXPECT_EQ(t3.stripOffsets[0], 8u);
  EXPECT_EQ(t3.entries.size(), 11u);
  // "abcd": 5 bytes at offset 8 and one pad byte.
  TiffFile t4 = Grey(p, 8, "abcd", &bytes);
  EXPECT_EQ(t4.Find(270)->count, 5u);
  EXPECT_EQ(t4.Find(270)->value, 8u);
  EXPECT_EQ(bytes.substr(8, 6), std::string("abcd\0\0", 6));
  EXPECT_EQ(t4.stripOffsets[0], 14u);
  // "abcde": 6 bytes, no pad.
  TiffFile t5 = Grey(p, 8, "abcde", &bytes);
  EXPECT_EQ(t5.Find(270)->count, 6u);
  EXPECT_EQ(bytes.substr(8, 6), std::string("abcde\0", 6));
  EXPECT_EQ(t5.stripOffsets[0], 14u);
}

TEST(TiffWrite, SizesAbove65535AreLong) {
  Picture wide(70000, 2, [](int x, int) { return x % 5 == 0; });
  TiffFile t = Grey(wide, 1);
  EXPECT_EQ(t.Find(256)->type, 4);
  EXPECT_EQ(t.Find(256)->value, 70000u);
  EXPECT_EQ(t.Find(257)->type, 3);
  EXPECT_EQ(t.rowsPerStrip, 1u);  // 8750 bytes a row
  EXPECT_EQ(t.samples[69995], 1u);
  Picture tall(1, 70000, [](int, int y) { return y % 7 == 0; });
  TiffFile u = Grey(tall, 1);
  EXPECT_EQ(u.Find(256)->type, 3);
  EXPECT_EQ(u.Find(257)->type, 4);
  EXPECT_EQ(u.Find(257)->value, 70000u);
  EXPECT_EQ(u.rowsPerStrip, 8192u);
  EXPECT_EQ(u.stripOffsets.size(), 9u);  // 8 full strips and one of 4464 rows
  EXPECT_EQ(u.samples[69993], 1u);
}

TEST(TiffWrite, EveryPackedWidthAndWideSamples) {
  for (int bits : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 32}) {
    // 13 samples a row: rows rarely end on a byte boundary. Values run over the
    // whole 16-bit range, so every width also sees values it has to mask.
    Picture p(13, 5, [](int x, int y) { return (x * 40503u + y * 9973u + 12345u) & 0xFFFF; });
    TiffFile t = Grey(p, bits);
    ASSERT_EQ(t.samples.size(), 65u) << bits;
    const uint32_t mask = bits >= 16 ? 0xFFFF : (1u << bits) - 1;
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 13; ++x) {
        ASSERT_EQ(t.samples[y * 13 + x], p.At(x, y) & mask)
            << "bits " << bits << " at " << x << "," << y;
      }
    }
    EXPECT_EQ(t.bits, uint32_t(bits));
  }
}

TEST(TiffWrite, ThirtyTwoBitSamplesAreZeroExtended) {
  Picture p(2, 1, [](int x, int) { return x == 0 ? 0xABCD : 0x0102; });
  TiffFile t = Grey(p, 32);
  EXPECT_EQ(t.strips[0], std::string("\xCD\xAB\0\0\x02\x01\0\0", 8));
}

TEST(TiffWrite, StrayValuesAreMaskedToTheWidth) {
  // 2 in a 1-bit picture must not set its neighbour; 0x1FF in 8 bits is 0xFF.
  Picture p(3, 1, [](int x, int) { return x == 1 ? 2 : 0; });
  EXPECT_EQ(Grey(p, 1).strips[0], std::string(1, '\0'));
  Picture q(2, 1, [](int x, int) { return x == 0 ? 0x1FF : 0x100; });
  EXPECT_EQ(Grey(q, 8).strips[0], std::string("\xFF\0", 2));
}

TEST(TiffWrite, SmallestStripIsTheGoldenCodeStream) {
  // Bytes 0 0 0 0: Clear, 0, 258 ("0 0"), 0, End, all 9 bits, then 3 zero bits.
  Picture p(4, 1, [](int, int) { return 0; });
  std::string bytes;
  TiffFile t = Grey(p, 8, nullptr, &bytes);
  EXPECT_EQ(bytes.substr(8, t.stripCounts[0]), std::string("\x80\x00\x20\x40\x08\x08", 6));
}

TEST(TiffWrite, CodesWidenAndTheTableRestartsAt4094) {
  // 8192 random bytes in one strip: far more strings than the table holds.
  std::mt19937 random(7);
  Picture p(8192, 1, [&](int, int) { return random() & 0xFF; });
  TiffFile t = Grey(p, 8);
  ASSERT_EQ(t.traces.size(), 1u);
  const LZWTrace& trace = t.traces[0];
  EXPECT_EQ(trace.codes.front(), 256);
  EXPECT_EQ(trace.widths.front(), 9);
  EXPECT_EQ(trace.codes.back(), 257);
  // Decoding with the one-code-early rule gave the picture back, so every width
  // was right; in particular the table restarted when 4093 had been entered
  // (4094 never is), with the Clear still at 12 bits and 9-bit codes after it.
  ASSERT_FALSE(trace.nextAtClear.empty());
  EXPECT_EQ(trace.highestEntry, 4093);
  for (size_t i = 1; i + 1 < trace.codes.size(); ++i) {
    if (trace.codes[i] != 256) continue;
    EXPECT_EQ(trace.widths[i], 12);
    EXPECT_EQ(trace.widths[i - 1], 12);
    EXPECT_EQ(trace.widths[i + 1], 9);
  }
  for (int next : trace.nextAtClear) EXPECT_EQ(next, 4094);
  std::vector<int> widths(trace.widths.begin(), trace.widths.end());
  for (int w : {10, 11, 12}) EXPECT_NE(std::find(widths.begin(), widths.end(), w), widths.end());
  for (int x = 0; x < 8192; x += 1000) EXPECT_EQ(t.samples[x], p.At(x, 0));
}

TEST(TiffWrite, EveryStripRestartsTheTable) {
  Picture p(1000, 30, [](int x, int y) { return (x / 3 + y) & 0xFF; });
  TiffFile t = Grey(p, 8);  // 8 rows a strip, 4 strips
  ASSERT_EQ(t.traces.size(), 4u);
  for (const auto& trace : t.traces) {
    EXPECT_EQ(trace.codes.front(), 256);
    EXPECT_EQ(trace.codes.back(), 257);
  }
}

TEST(TiffWrite, EmptyPicturesAreValidFiles) {
  // Width 0: rows of no bytes count as one byte (8192 rows a strip); one strip
  // holding just Clear and End.
  Picture none(0, 5, [](int, int) { return 0; });
  TiffFile t = Grey(none, 8);
  EXPECT_EQ(t.rowsPerStrip, 8192u);
  ASSERT_EQ(t.stripOffsets.size(), 1u);
  EXPECT_EQ(t.stripCounts[0], 3u);
  // Height 0: still one strip.
  Picture flat(10, 0, [](int, int) { return 0; });
  TiffFile u = Grey(flat, 1);
  EXPECT_EQ(u.Find(257)->value, 0u);
  ASSERT_EQ(u.stripOffsets.size(), 1u);
  EXPECT_EQ(u.stripCounts[0], 3u);
}

TEST(TiffWrite, TrueColourInterleavesChannels) {
  // 100 pixels of 3 bytes: 27 rows a strip; 50 rows make two strips.
  Picture r(100, 50, [](int x, int y) { return (x + y) & 0xFF; });
  Picture g(100, 50, [](int x, int y) { return (x * y) & 0xFF; });
  Picture b(100, 50, [](int x, int) { return 255 - (x & 0xFF); });
  Scratch dir;
  StoreImageFile_RGB(dir.Path("c.tif").c_str(), 100, 50, 8, r.rows.data(), g.rows.data(),
                     b.rows.data(), nullptr);
  std::string bytes = dir.Read("c.tif");
  TiffFile t;
  std::string why;
  ASSERT_TRUE(ParseTiff(bytes, &t, &why)) << why;
  EXPECT_EQ(t.rowsPerStrip, 27u);
  ASSERT_EQ(t.stripOffsets.size(), 2u);
  EXPECT_EQ(t.Find(258)->count, 3u);
  EXPECT_EQ(t.Find(258)->value, t.ifdOffset - 6);
  EXPECT_EQ(bytes.substr(t.ifdOffset - 6, 6), std::string("\x08\0\x08\0\x08\0", 6));
  EXPECT_EQ(t.ifdOffset, t.Find(273)->value + 8 * 2 + 6);
  EXPECT_EQ(t.Find(262)->value, 2u);
  EXPECT_EQ(t.Find(277)->value, 3u);
  EXPECT_EQ(bytes.size(), FileLength(t));
  for (int y = 0; y < 50; y += 7) {
    for (int x = 0; x < 100; x += 9) {
      const size_t s = (size_t(y) * 100 + x) * 3;
      ASSERT_EQ(t.samples[s], r.At(x, y));
      ASSERT_EQ(t.samples[s + 1], g.At(x, y));
      ASSERT_EQ(t.samples[s + 2], b.At(x, y));
    }
  }
}

TEST(TiffWrite, TrueColourPackedChannelsShareOneBitString) {
  // 4 bits a channel, 3 pixels: 36 bits, 5 bytes a row.
  Picture r(3, 2, [](int x, int y) { return x + y; });
  Picture g(3, 2, [](int x, int) { return 15 - x; });
  Picture b(3, 2, [](int, int y) { return 16 + y; });  // masked to y
  Scratch dir;
  StoreImageFile_RGB(dir.Path("c.tif").c_str(), 3, 2, 4, r.rows.data(), g.rows.data(),
                     b.rows.data(), "rgb");
  TiffFile t;
  std::string why;
  ASSERT_TRUE(ParseTiff(dir.Read("c.tif"), &t, &why)) << why;
  EXPECT_EQ(t.strips[0].size(), 10u);
  EXPECT_EQ(t.samples,
            (std::vector<uint32_t>{0, 15, 0, 1, 14, 0, 2, 13, 0, 1, 15, 1, 2, 14, 1, 3, 13, 1}));
  EXPECT_EQ(t.entries.size(), 11u);
}

TEST(TiffWrite, PaletteCarriesItsColourMapBeforeTheIFD) {
  // 4-bit indices: a map of 16 entries a channel; 3000 pixels of 1500 bytes make
  // 5 rows a strip, so 12 rows give three strips.
  Picture idx(3000, 12, [](int x, int y) { return (x + y) % 16; });
  std::vector<uint16_t> red(16), green(16), blue(16);
  for (int i = 0; i < 16; ++i) {
    red[i] = uint16_t(i * 4369);
    green[i] = uint16_t(65535 - i * 4369);
    blue[i] = uint16_t(i * 1000);
  }
  Scratch dir;
  StoreImageFile_CM(dir.Path("p.tif").c_str(), 3000, 12, 4, red.data(), green.data(), blue.data(),
                    idx.rows.data(), nullptr);
  std::string bytes = dir.Read("p.tif");
  TiffFile t;
  std::string why;
  ASSERT_TRUE(ParseTiff(bytes, &t, &why)) << why;
  EXPECT_EQ(Tags(t), (std::vector<int>{256, 257, 258, 259, 262, 273, 277, 278, 279, 284, 320}));
  EXPECT_EQ(t.Find(262)->value, 3u);
  EXPECT_EQ(t.stripOffsets.size(), 3u);
  EXPECT_EQ(t.ifdOffset, t.Find(273)->value + 8 * 3 + 6 * 16);
  const TiffEntry* map = t.Find(320);
  EXPECT_EQ(map->count, 48u);
  EXPECT_EQ(map->value, t.ifdOffset - 6 * 16);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(GetLE16Of(bytes, map->value + 2 * i), red[i]);
    EXPECT_EQ(GetLE16Of(bytes, map->value + 32 + 2 * i), green[i]);
    EXPECT_EQ(GetLE16Of(bytes, map->value + 64 + 2 * i), blue[i]);
  }
  EXPECT_EQ(bytes.size(), FileLength(t));
  for (int x = 0; x < 3000; x += 37) EXPECT_EQ(t.samples[11 * 3000 + x], idx.At(x, 11));
}

TEST(TiffWrite, BuildsKeepTheirOwnState) {
  // Alternating builds in one program give the same files as each build alone.
  Picture p(40, 40, [](int x, int y) { return (x * y) & 0xFF; });
  Scratch dir;
  StoreImageFile(dir.Path("a.tif").c_str(), 40, 40, 8, p.rows.data(), nullptr);
  StoreImageFile_RGB(dir.Path("b.tif").c_str(), 40, 40, 8, p.rows.data(), p.rows.data(),
                     p.rows.data(), nullptr);
  StoreImageFile(dir.Path("c.tif").c_str(), 40, 40, 8, p.rows.data(), nullptr);
  EXPECT_EQ(dir.Read("a.tif"), dir.Read("c.tif"));
  TiffFile t;
  std::string why;
  ASSERT_TRUE(ParseTiff(dir.Read("b.tif"), &t, &why)) << why;
  EXPECT_EQ(t.samples[3 * (5 * 40 + 7)], p.At(7, 5));
}

TEST(TiffWrite, ArraysPastSixtyFourKiBHoldFullOffsets) {
  // Noise hardly compresses: 300 x 300 true-colour and 8-bit palette pictures end well
  // past 64 KiB, so the BitsPerSample array and the colour map lie above offset 65535.
  std::mt19937 random(11);
  Picture noise(300, 300, [&random](int, int) { return random() & 0xFF; });
  std::vector<uint16_t> map(256);
  for (int i = 0; i < 256; ++i) map[i] = uint16_t(i * 257);
  Scratch dir;
  StoreImageFile_RGB(dir.Path("rgb.tif").c_str(), 300, 300, 8, noise.rows.data(), noise.rows.data(),
                     noise.rows.data(), nullptr);
  StoreImageFile_CM(dir.Path("cm.tif").c_str(), 300, 300, 8, map.data(), map.data(), map.data(),
                    noise.rows.data(), nullptr);
  struct Case {
    const char* file;
    int tag;
    uint32_t arrayBytes;
    uint32_t probe;     // a byte offset within the array
    uint16_t expected;  // and the value stored there
  };
  // The blue BitsPerSample value; the blue map's last entry.
  for (const Case& c :
       {Case{"rgb.tif", 258, 6, 4, 8}, Case{"cm.tif", 320, 6 * 256, 6 * 256 - 2, 255 * 257}}) {
    const std::string bytes = dir.Read(c.file);
    TiffFile t;
    std::string why;
    ASSERT_TRUE(ParseTiff(bytes, &t, &why)) << c.file << ": " << why;
    const TiffEntry* e = t.Find(c.tag);
    ASSERT_NE(e, nullptr);
    EXPECT_GT(e->value, 65535u) << c.file;
    EXPECT_EQ(e->value, t.ifdOffset - c.arrayBytes) << c.file;
    EXPECT_EQ(GetLE16Of(bytes, e->value + c.probe), c.expected) << c.file;
    EXPECT_EQ(t.bits, 8u) << c.file;
    EXPECT_EQ(t.samples[t.samples.size() - 1], noise.At(299, 299)) << c.file;
  }
}

// The numerators and denominators of XResolution and YResolution.
std::vector<uint32_t> Rationals(const std::string& bytes, const TiffFile& t) {
  std::vector<uint32_t> terms;
  for (int tag : {282, 283}) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + t.Find(tag)->value;
    terms.insert(terms.end(), {GetLE32(p), GetLE32(p + 4)});
  }
  return terms;
}

TEST(TiffWrite, ResolutionsAreFractionsOf32BitTerms) {
  // x, y and the terms stored: pi has no exact fraction and takes the first convergent
  // that gives it back as a double; the last two are beyond 32-bit terms.
  const std::vector<std::pair<std::vector<double>, std::vector<uint32_t>>> cases = {
      {{20, 1 / 0.3}, {20, 1, 10, 3}},
      {{1 / 2.5, 65536.5}, {2, 5, 131073, 2}},
      {{3.141592653589793, 1 / 0.7}, {245850922, 78256779, 10, 7}},
      {{1e10, 1e-12}, {4294967295, 1, 1, 4294967295}},
  };
  Picture p(1, 1, [](int, int) { return 1; });
  for (const auto& [values, terms] : cases) {
    Scratch dir;
    const TiffResolution resolution{values[0], values[1], kTiffNoUnit};
    StoreImageFile(dir.Path("r.tif").c_str(), 1, 1, 1, p.rows.data(), nullptr, &resolution);
    const std::string bytes = dir.Read("r.tif");
    TiffFile t;
    std::string why;
    ASSERT_TRUE(ParseTiff(bytes, &t, &why)) << why;
    EXPECT_EQ(Rationals(bytes, t), terms) << values[0];
  }
}

TEST(TiffWrite, ResolutionEntriesInEveryBuildPastSixtyFourKiB) {
  // Noise files end past 64 KiB: the rationals lie above offset 65535, after the strip
  // arrays, and the arrays after them (BitsPerSample, the colour map) where their
  // entries say.
  std::mt19937 random(5);
  Picture noise(300, 300, [&random](int, int) { return random() & 0xFF; });
  std::vector<uint16_t> map(256);
  const TiffResolution resolution{2.5, 0.125, kTiffNoUnit};
  Scratch dir;
  StoreImageFile(dir.Path("g.tif").c_str(), 300, 300, 8, noise.rows.data(), "grey", &resolution);
  StoreImageFile_RGB(dir.Path("rgb.tif").c_str(), 300, 300, 8, noise.rows.data(), noise.rows.data(),
                     noise.rows.data(), nullptr, &resolution);
  StoreImageFile_CM(dir.Path("cm.tif").c_str(), 300, 300, 8, map.data(), map.data(), map.data(),
                    noise.rows.data(), nullptr, &resolution);
  const std::vector<int> grey = {256, 257, 258, 259, 262, 270, 273,
                                 277, 278, 279, 282, 283, 284, 296};
  const std::vector<int> rgb = {256, 257, 258, 259, 262, 273, 277, 278, 279, 282, 283, 284, 296};
  std::vector<int> palette = rgb;
  palette.push_back(320);
  for (const auto& [file, tags, arraysAfter] :
       {std::tuple{"g.tif", grey, 0u}, {"rgb.tif", rgb, 6u}, {"cm.tif", palette, 6u * 256}}) {
    const std::string bytes = dir.Read(file);
    TiffFile t;
    std::string why;
    ASSERT_TRUE(ParseTiff(bytes, &t, &why)) << file << ": " << why;
    EXPECT_EQ(Tags(t), tags) << DescribeTiff(t);
    const TiffEntry* x = t.Find(282);
    EXPECT_EQ(x->type, 5);
    EXPECT_GT(x->value, 65535u) << file;
    EXPECT_EQ(x->value, t.Find(279)->value + 4 * t.stripCounts.size()) << file;
    EXPECT_EQ(t.Find(283)->value, x->value + 8);
    EXPECT_EQ(t.ifdOffset, x->value + 16 + arraysAfter) << file;
    EXPECT_EQ(Rationals(bytes, t), (std::vector<uint32_t>{5, 2, 1, 8}));
    EXPECT_EQ(t.Find(296)->value, 1u);
    EXPECT_EQ(bytes.size(), FileLength(t));
    EXPECT_EQ(t.samples.back(), noise.At(299, 299)) << file;
  }
}

using TiffWriteDeath = ::testing::Test;

TEST(TiffWriteDeath, FailuresAreFatalWithTheName) {
  Picture p(300, 300, [](int x, int y) { return (x * 31 + y * 17) & 0xFF; });
  // The file cannot be created.
  EXPECT_EXIT(StoreImageFile("/nonexistent/dir/x.tif", 300, 300, 8, p.rows.data(), nullptr),
              ::testing::ExitedWithCode(1), "^/nonexistent/dir/x.tif : file not stored.\n$");
  // A full disk: the writes fail and must not give status 0.
  EXPECT_EXIT(StoreImageFile("/dev/full", 300, 300, 8, p.rows.data(), nullptr),
              ::testing::ExitedWithCode(1), "^/dev/full : file not stored.\n$");
  EXPECT_EXIT(StoreImageFile_RGB("/dev/full", 300, 300, 8, p.rows.data(), p.rows.data(),
                                 p.rows.data(), nullptr),
              ::testing::ExitedWithCode(1), "^/dev/full : file not stored.\n$");
  // Sample widths the layout cannot carry.
  EXPECT_EXIT(StoreImageFile("/tmp/never.tif", 3, 3, 20, p.rows.data(), nullptr),
              ::testing::ExitedWithCode(1), "file not stored.");
}

}  // namespace
