// The GIF decoder on hand-made code streams: LZW corner cases, interlace, the checks at
// the end of an image, colour tables and their scaling, the block walk.
#include "gifread/gifread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/program.h"

namespace {

struct Stopped {};
[[noreturn]] void Stop(int) { throw Stopped{}; }

struct Code {
  int value, width;
};

// Codes packed least significant bit first; `pad` fills the unused bits of the last
// byte (0 or 1 bits).
std::string Pack(const std::vector<Code>& codes, bool pad = false) {
  std::string bytes;
  uint32_t bits = 0;
  int held = 0;
  for (const Code& c : codes) {
    bits |= static_cast<uint32_t>(c.value) << held;
    held += c.width;
    while (held >= 8) {
      bytes.push_back(static_cast<char>(bits & 0xFF));
      bits >>= 8;
      held -= 8;
    }
  }
  if (held > 0) bytes.push_back(static_cast<char>(bits | (pad ? 0xFFu << held : 0)));
  return bytes;
}

// Data bytes cut into sub-blocks of at most `size` bytes, then the terminator.
std::string Blocks(const std::string& data, size_t size = 255) {
  std::string out;
  for (size_t i = 0; i < data.size(); i += size) {
    const std::string part = data.substr(i, size);
    out.push_back(static_cast<char>(part.size()));
    out += part;
  }
  out.push_back('\0');
  return out;
}

// The codes with the widths a decoder reads them at: m + 1 bits after a clear, one bit
// more once the entry 2^w - 1 has been made, at most 12.
std::vector<Code> Widths(int m, const std::vector<int>& codes) {
  const int clear = 1 << m;
  std::vector<Code> out;
  int width = m + 1;
  int next = clear + 2;
  bool afterClear = true;
  for (int code : codes) {
    out.push_back({code, width});
    if (code == clear) {
      width = m + 1;
      afterClear = true;
    } else if (code == clear + 1) {
    } else if (afterClear) {
      next = clear + 2;
      afterClear = false;
    } else {
      if (next == (1 << width) - 1 && width < 12) ++width;
      ++next;
    }
  }
  return out;
}

struct Outcome {
  std::vector<std::vector<int>> rows;
  std::string err;
  bool stopped = false;
  int after = -2;  // the byte read after the image: -1 at the end of the input
};

FILE* Memory(const std::string& bytes) {
  return fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
}

// Runs a piece of the reader on the bytes, catching a fatal exit and stderr.
template <typename F>
Outcome Capture(const std::string& bytes, F&& run) {
  Outcome o;
  FILE* stream = Memory(bytes);
  SetGIFInput(stream);
  SetExitHandler(Stop);
  testing::internal::CaptureStderr();
  try {
    run(&o);
    const int c = std::fgetc(stream);
    o.after = c == EOF ? -1 : c;
  } catch (const Stopped&) {
    o.stopped = true;
  }
  o.err = testing::internal::GetCapturedStderr();
  SetExitHandler(nullptr);
  std::fclose(stream);
  return o;
}

// Decodes an image of width x height from sub-blocks into a screen of the same size;
// a byte 'Z' after the data shows where the decoder left the input.
Outcome Screen(int m, const std::string& blocks, int width, int height, bool interlace = false) {
  return Capture(blocks + "Z", [&](Outcome* o) {
    Plane plane;
    ASSERT_TRUE(MakePlane(&plane, width, height));
    DecodeImage(0, 0, width, height, interlace, m, plane.rows.data());
    for (int y = 0; y < height; ++y) o->rows.emplace_back(plane.rows[y], plane.rows[y] + width);
  });
}

using Rows = std::vector<std::vector<int>>;

}  // namespace

TEST(GifDecode, WriterExamplesDecodeWithoutWarnings) {
  // A 1 x 1 image of index 0: clear, 0, end at 9 bits.
  Outcome one = Screen(8, std::string("\x04\x00\x01\x04\x04\x00", 6), 1, 1);
  EXPECT_EQ(one.rows, (Rows{{0}}));
  EXPECT_EQ(one.err, "");
  EXPECT_EQ(one.after, 'Z');
  // Four pixels of index 1.
  Outcome four = Screen(8, std::string("\x06\x00\x03\x08\x0c\x10\x10\x00", 8), 2, 2);
  EXPECT_EQ(four.rows, (Rows{{1, 1}, {1, 1}}));
  EXPECT_EQ(four.err, "");
  EXPECT_EQ(four.after, 'Z');
}

TEST(GifDecode, ImageWithoutPixelsIsEmptyAndQuiet) {
  // Clear, end: the whole data of an image of width 0 from our writer.
  const std::string blocks("\x03\x00\x03\x02\x00", 5);
  Outcome empty = Screen(8, blocks, 0, 3);
  EXPECT_FALSE(empty.stopped);
  EXPECT_EQ(empty.err, "");
  EXPECT_EQ(empty.after, 'Z');
  Outcome index = Capture(blocks, [](Outcome*) {
    CellPicture p = DecodeImage(0, 0, false, 8);
    EXPECT_EQ(p.rows.size(), 0u);
  });
  EXPECT_FALSE(index.stopped) << index.err;
  Outcome colour = Capture(blocks, [](Outcome*) {
    unsigned char t[256] = {};
    int grey = -1;
    ColourPicture p = DecodeImage(5, 0, false, 8, t, t, t, &grey);
    EXPECT_EQ(grey, 1);
    EXPECT_EQ(p.red.width, 5);
  });
  EXPECT_FALSE(colour.stopped) << colour.err;
  EXPECT_EQ(colour.err, "");
}

TEST(GifDecode, FirstCodeWithoutClearIsLiteral) {
  // m = 2: clear 4, end 5. No leading clear: 1 is a literal, 3 a literal, then 6 is the
  // entry "1 3".
  Outcome o = Screen(2, Blocks(Pack(Widths(2, {1, 3, 6, 5}))), 4, 1);
  EXPECT_EQ(o.rows, (Rows{{1, 3, 1, 3}}));
  EXPECT_EQ(o.err, "");
}

TEST(GifDecode, TwoClearsInARowAndRepeatedStrings) {
  // Code 6 right after the literal 0 is the entry being made: "0 0". Then 7 = "0 0 0".
  Outcome o = Screen(2, Blocks(Pack(Widths(2, {4, 4, 0, 6, 7, 5}))), 6, 1);
  EXPECT_EQ(o.rows, (Rows{{0, 0, 0, 0, 0, 0}}));
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.after, 'Z');
}

TEST(GifDecode, ClearResetsTableAndWidth) {
  // Fill the 3-bit codes so the width grows to 4, clear, go on at 3 bits.
  const std::vector<int> codes = {4, 1, 2, 6, 8, 4, 3, 6, 5};
  Outcome o = Screen(2, Blocks(Pack(Widths(2, codes))), 10, 1);
  ASSERT_FALSE(o.stopped) << o.err;
  // 1, 2, "1 2", "1 2 1" (8 = 6 + first of 6), clear, 3, "3 3" (6 is made anew).
  EXPECT_EQ(o.rows, (Rows{{1, 2, 1, 2, 1, 2, 1, 3, 3, 3}}));
  EXPECT_EQ(o.err, "");
}

TEST(GifDecode, FullTableRunsOnWithoutClear) {
  // Literal 0 again and again: every code after the first makes an entry "0 0",
  // 258..4095. With the table full, codes stay 12 bits and make no entry: 4095 is still
  // "0 0". A clear then goes on at 9 bits: 7, and 258 is "7 7" again.
  std::vector<int> codes = {256};
  codes.insert(codes.end(), 1 + 3838 + 1, 0);
  codes.insert(codes.end(), {4095, 9, 256, 7, 258, 257});
  std::vector<int> pixels(3840, 0);
  pixels.insert(pixels.end(), {0, 0, 9, 7, 7, 7});
  Outcome o = Screen(8, Blocks(Pack(Widths(8, codes))), static_cast<int>(pixels.size()), 1);
  ASSERT_FALSE(o.stopped) << o.err;
  EXPECT_EQ(o.rows[0], pixels);
  EXPECT_EQ(o.err, "");
}

TEST(GifDecode, EndCodeOneBitNarrowIsAccepted) {
  // After 0, 1, 2 the entry 7 = 2^3 - 1 has been made: the decoder reads 4 bits. An
  // encoder that widens one code late writes the end code in 3; the bit above it is
  // set here, so only its low 3 bits match.
  std::vector<Code> codes = Widths(2, {4, 0, 1, 2});
  ASSERT_EQ(codes.back().width, 3);
  codes.push_back({5, 3});
  Outcome narrow = Screen(2, Blocks(Pack(codes, true)), 3, 1);
  EXPECT_EQ(narrow.rows, (Rows{{0, 1, 2}}));
  EXPECT_EQ(narrow.err, "");
  EXPECT_EQ(narrow.after, 'Z');
  // The end code at the full width.
  codes.back() = {5, 4};
  EXPECT_EQ(Screen(2, Blocks(Pack(codes)), 3, 1).err, "");
  // Something else there.
  codes.back() = {3, 4};
  Outcome other = Screen(2, Blocks(Pack(codes)), 3, 1);
  EXPECT_EQ(other.err, "missing end of code (warning).\n");
  EXPECT_EQ(other.after, 'Z');
}

TEST(GifDecode, EndOfImageWarnings) {
  // "0 0 0" leaves one byte of a string over for a 2-pixel image.
  Outcome remains = Screen(2, Blocks(Pack(Widths(2, {4, 0, 6, 5}))), 2, 1);
  EXPECT_EQ(remains.rows, (Rows{{0, 0}}));
  EXPECT_EQ(remains.err, "data remains (warning).\n");
  EXPECT_EQ(remains.after, 'Z');
  // Bytes left in the sub-block after the end code.
  std::string data = Pack(Widths(2, {4, 1, 5})) + std::string("\x7f\x7f", 2);
  Outcome extra = Screen(2, Blocks(data), 1, 1);
  EXPECT_EQ(extra.err, "too many codes (warning).\n");
  EXPECT_EQ(extra.after, 'Z');
  // No end code at all: the terminator comes first.
  Outcome none = Screen(2, Blocks(Pack(Widths(2, {4, 1, 2}))), 2, 1);
  EXPECT_EQ(none.rows, (Rows{{1, 2}}));
  EXPECT_EQ(none.err, "missing end of code (warning).\n");
  EXPECT_EQ(none.after, 'Z');
  // Further sub-blocks after the end code are skipped.
  std::string first = Blocks(Pack(Widths(2, {4, 1, 5})));
  first.pop_back();
  Outcome more = Screen(2, first + Blocks("abc"), 1, 1);
  EXPECT_EQ(more.err, "");
  EXPECT_EQ(more.after, 'Z');
}

TEST(GifDecode, FatalCodeStreams) {
  struct Case {
    const char* what;
    std::string blocks;
    int width;
    const char* message;
    int m = 2;
  } cases[] = {
      {"end before the last pixel", Blocks(Pack(Widths(2, {4, 1, 5}))), 2,
       "unexpected end of code.\n"},
      {"entry code after clear", Blocks(Pack(Widths(2, {4, 6}))), 2,
       "bad code after clear code.\n"},
      {"code past the next entry", Blocks(Pack(Widths(2, {4, 1, 7}))), 4, "bad code.\n"},
      {"terminator inside the data", Blocks(Pack(Widths(2, {4, 1, 2}))), 9,
       "missing data block.\n"},
      {"input ends in the data", std::string("\x05\x01", 2), 4, "data block read error.\n"},
      {"pixel value 2047", Blocks(Pack(Widths(11, {2048, 1, 2047}))), 2, "bad code.\n", 11},
  };
  for (const Case& c : cases) {
    Outcome o = Screen(c.m, c.blocks, c.width, 1);
    EXPECT_TRUE(o.stopped) << c.what;
    EXPECT_EQ(o.err, c.message) << c.what;
  }
  Outcome cut = Capture("", [](Outcome*) {
    Plane plane;
    MakePlane(&plane, 1, 1);
    DecodeImage(0, 0, 1, 1, false, 2, plane.rows.data());
  });
  EXPECT_EQ(cut.err, "byte read error.\n");
}

TEST(GifDecode, InterlacedRowsComeInFourPasses) {
  // Height 3: rows stored 0, 2, 1.
  Outcome three = Screen(2, Blocks(Pack(Widths(2, {4, 0, 2, 1, 5}))), 1, 3, true);
  EXPECT_EQ(three.rows, (Rows{{0}, {1}, {2}}));
  EXPECT_EQ(three.err, "");
  // Height 10: 0, 8; 4; 2, 6; 1, 3, 5, 7, 9. Pixel values carry the storage order.
  std::vector<int> codes = {16};
  for (int i = 0; i < 10; ++i) codes.push_back(i);
  codes.push_back(17);
  Outcome ten = Screen(4, Blocks(Pack(Widths(4, codes))), 1, 10, true);
  EXPECT_EQ(ten.rows, (Rows{{0}, {5}, {3}, {6}, {2}, {7}, {4}, {8}, {1}, {9}}));
}

namespace {

// A plain LZW encoder for m-bit pixels, independent of the writers: the code list of
// the pixels (clear first, a clear whenever the table is full, end last).
std::vector<int> EncodeCodes(int m, const std::vector<int>& pixels, bool clearWhenFull = true) {
  const int clear = 1 << m;
  std::unordered_map<int, int> table;  // prefix * 256 + pixel -> code
  std::vector<int> codes = {clear};
  int next = clear + 2, prefix = -1;
  for (int p : pixels) {
    if (prefix < 0) {
      prefix = p;
      continue;
    }
    const auto found = table.find(prefix * 256 + p);
    if (found != table.end()) {
      prefix = found->second;
      continue;
    }
    codes.push_back(prefix);
    if (next < 4096) {
      table[prefix * 256 + p] = next++;
    } else if (clearWhenFull) {
      codes.push_back(clear);
      table.clear();
      next = clear + 2;
    }
    prefix = p;
  }
  if (prefix >= 0) codes.push_back(prefix);
  codes.push_back(clear + 1);
  return codes;
}

}  // namespace

// Pictures past the decoder's output buffer, decoded back to their pixels: strings
// copied from earlier output, strings whose last copy has left the buffer, rows wider
// than the history, long runs with the table never cleared.
TEST(GifDecode, LargePicturesDecodeToTheirPixels) {
  struct Case {
    const char* name;
    int width, height;
    bool interlace;
    std::function<int(int)> pixel;  // of the pixel number
    int m = 8;
    bool clearWhenFull = true;  // else the table stays full to the end
  };
  uint32_t state = 12345;
  auto random = [&state] { return (state = state * 1103515245u + 12345u) >> 16; };
  int runLeft = 0, runColour = 0;
  auto runs = [&](int) {
    if (runLeft-- == 0) {
      runLeft = static_cast<int>(random() % 40);
      runColour = static_cast<int>(random() % 16);
    }
    return runColour;
  };
  // Two patterns in a picture of one colour, the table never full: pattern b at the
  // start, a at 400,000, then both again from 800,000. By then the first b has left the
  // output buffer, and the first a has moved within it and been overwritten where it
  // was.
  auto repeated = [](int i) {
    auto a = [](int j) { return (j * j / 7 + j / 13) % 5 + 1; };
    auto b = [](int j) { return (j * 31 / 11 + j * j / 5) % 5 + 6; };
    if (i < 3000) return b(i);
    if (i >= 400000 && i < 403000) return a(i - 400000);
    if (i >= 800000 && i < 803000) return a(i - 800000);
    if (i >= 803000 && i < 806000) return b(i - 803000);
    return 0;
  };
  const std::vector<Case> cases = {
      {"runs", 701, 1300, false, runs},
      {"runs interlaced", 513, 1500, true, runs},
      {"rows wider than the history", 65535, 14, false, runs},
      {"noise", 1000, 700, false, [&](int) { return static_cast<int>(random() & 0xFF); }},
      {"patterns far apart", 1000, 906, false, repeated},
      {"runs, table full to the end", 701, 300, false, runs, 8, false},
      {"code size 11, table full to the end", 400, 300, true, runs, 11, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int m = c.m;
    std::vector<int> pixels(static_cast<size_t>(c.width) * c.height);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = c.pixel(static_cast<int>(i));
    // The rows in the order they are stored.
    std::vector<int> rowOrder;
    for (int pass = 0; pass < (c.interlace ? 4 : 1); ++pass) {
      static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
      for (int y = c.interlace ? kStart[pass] : 0; y < c.height;
           y += c.interlace ? kStep[pass] : 1) {
        rowOrder.push_back(y);
      }
    }
    std::vector<int> stored;
    for (int y : rowOrder)
      stored.insert(stored.end(), pixels.begin() + size_t(y) * c.width,
                    pixels.begin() + size_t(y + 1) * c.width);
    const Outcome o = Screen(m, Blocks(Pack(Widths(m, EncodeCodes(m, stored, c.clearWhenFull)))),
                             c.width, c.height, c.interlace);
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(o.after, 'Z');
    ASSERT_EQ(o.rows.size(), static_cast<size_t>(c.height));
    for (int y = 0; y < c.height; ++y) {
      ASSERT_TRUE(
          std::equal(o.rows[y].begin(), o.rows[y].end(), pixels.begin() + size_t(y) * c.width))
          << "row " << y;
    }
  }
}

TEST(GifDecode, ImageLandsAtItsPositionOnTheScreen) {
  const std::string blocks = Blocks(Pack(Widths(2, {4, 1, 2, 3, 0, 5})));
  Outcome o = Capture(blocks, [&](Outcome* out) {
    Plane plane;
    ASSERT_TRUE(MakePlane(&plane, 5, 4));
    DecodeImage(2, 1, 2, 2, false, 2, plane.rows.data());
    for (int y = 0; y < 4; ++y) out->rows.emplace_back(plane.rows[y], plane.rows[y] + 5);
  });
  EXPECT_EQ(o.rows, (Rows{{0, 0, 0, 0, 0}, {0, 0, 1, 2, 0}, {0, 0, 3, 0, 0}, {0, 0, 0, 0, 0}}));
}

TEST(GifDecode, IndexAndColourForms) {
  const std::string blocks = Blocks(Pack(Widths(2, {4, 1, 2, 3, 0, 5})));
  Outcome index = Capture(blocks, [](Outcome* o) {
    CellPicture p = DecodeImage(2, 2, false, 2);
    for (uint16_t* row : p.rows) o->rows.push_back({row[0], row[1]});
  });
  EXPECT_EQ(index.rows, (Rows{{1, 2}, {3, 0}}));
  const unsigned char red[256] = {10, 20, 30, 40}, green[256] = {10, 20, 30, 99},
                      blue[256] = {10, 20, 30, 40};
  int grey = -1;
  Outcome colour = Capture(blocks, [&](Outcome* o) {
    ColourPicture p = DecodeImage(2, 2, false, 2, red, green, blue, &grey);
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 2; ++x)
        o->rows.push_back({p.red.rows[y][x], p.green.rows[y][x], p.blue.rows[y][x]});
    }
  });
  EXPECT_EQ(colour.rows, (Rows{{20, 20, 20}, {30, 30, 30}, {40, 99, 40}, {10, 10, 10}}));
  EXPECT_EQ(grey, 0);
  // Without index 3 the picture is grey.
  const std::string greyBlocks = Blocks(Pack(Widths(2, {4, 1, 2, 0, 0, 5})));
  Capture(greyBlocks, [&](Outcome*) { DecodeImage(2, 2, false, 2, red, green, blue, &grey); });
  EXPECT_EQ(grey, 1);
}

namespace {

// A stored colour table of the given components (red, green, blue per entry).
std::string Table(std::initializer_list<int> components) {
  std::string t;
  for (int c : components) t.push_back(static_cast<char>(c));
  return t;
}

struct Tables {
  unsigned char red[256], green[256], blue[256];
  int found = -2;
};

// A colour table read quietly and to the byte: nothing of the input is left over.
void ExpectWholeTable(const Outcome& o, int s) {
  EXPECT_FALSE(o.stopped) << o.err << " s=" << s;
  EXPECT_EQ(o.err, "") << "s=" << s;
  EXPECT_EQ(o.after, -1) << "s=" << s;
}

Tables ReadEight(int res, int s, const std::string& stored, int R = 0, int G = 0, int B = 0) {
  Tables t;
  std::memset(t.red, 0xEE, sizeof t.red);
  Outcome o =
      Capture(stored, [&](Outcome*) { t.found = GetCM(res, s, t.red, t.green, t.blue, R, G, B); });
  ExpectWholeTable(o, s);
  return t;
}

}  // namespace

TEST(GifColourTable, ScaledToTheColourResolution) {
  // Resolution 8: as stored.
  Tables eight = ReadEight(8, 1, Table({1, 2, 3, 250, 251, 252}));
  EXPECT_EQ(eight.red[1], 250);
  EXPECT_EQ(eight.blue[0], 3);
  // Resolution 4: 15 is the top (255), 1 is 17.
  Tables four = ReadEight(4, 1, Table({15, 1, 0, 7, 8, 15}));
  EXPECT_EQ(four.red[0], 255);
  EXPECT_EQ(four.green[0], 17);
  EXPECT_EQ(four.red[1], 119);
  EXPECT_EQ(four.blue[1], 255);
  // Resolution 3: 255 / 7 per step, rounded half up: 3 gives 109.
  EXPECT_EQ(ReadEight(3, 1, Table({3, 7, 0, 0, 0, 0})).red[0], 109);
}

TEST(GifColourTable, TableThatDoesNotFitItsResolutionIsTakenAsStored) {
  // Resolution 1 (what many writers put in every file) with 8-bit colours.
  Tables t = ReadEight(1, 1, Table({255, 128, 0, 1, 1, 0}));
  EXPECT_EQ(t.red[0], 255);
  EXPECT_EQ(t.green[0], 128);
  EXPECT_EQ(t.red[1], 1);  // would be 255 if scaled
  uint16_t red[256], green[256], blue[256];
  Outcome o =
      Capture(Table({255, 128, 0, 1, 1, 0}), [&](Outcome*) { ReadCM(1, 1, red, green, blue); });
  ExpectWholeTable(o, 1);
  EXPECT_EQ(red[0], 65535);
  EXPECT_EQ(green[0], 257 * 128);
  EXPECT_EQ(red[1], 257);
  // With components 0 and 1 only, resolution 1 scales them to the full range.
  Outcome fits =
      Capture(Table({1, 0, 1, 0, 1, 1}), [&](Outcome*) { ReadCM(1, 1, red, green, blue); });
  ExpectWholeTable(fits, 1);
  EXPECT_EQ(red[0], 65535);
  EXPECT_EQ(green[0], 0);
  EXPECT_EQ(green[1], 65535);
}

TEST(GifColourTable, SixteenBitTablesAndIndexWidths) {
  uint16_t red[256], green[256], blue[256];
  const int widths[9] = {0, 1, 2, 4, 4, 8, 8, 8, 8};
  for (int s = 1; s <= 8; ++s) {
    const std::string stored(static_cast<size_t>(3 << s), '\x0f');
    int width = -1;
    Outcome o = Capture(stored, [&](Outcome*) { width = ReadCM(4, s, red, green, blue); });
    ExpectWholeTable(o, s);
    EXPECT_EQ(width, widths[s]) << "s=" << s;
    EXPECT_EQ(red[(1 << s) - 1], 65535) << "s=" << s;
    if (s < 8) {
      EXPECT_EQ(blue[1 << s], 0) << "entries past the table are 0";
    }
  }
  Outcome eight =
      Capture(Table({1, 2, 3, 4, 5, 6}), [&](Outcome*) { ReadCM(8, 1, red, green, blue); });
  ExpectWholeTable(eight, 1);
  EXPECT_EQ(red[1], 4 * 257);
}

TEST(GifColourTable, FindsTheHighestIndexOfAColour) {
  Tables t = ReadEight(8, 2, Table({9, 9, 9, 1, 2, 3, 9, 9, 9, 4, 5, 6}), 9, 9, 9);
  EXPECT_EQ(t.found, 2);
  EXPECT_EQ(t.red[4], 0);
  EXPECT_EQ(ReadEight(8, 2, Table({9, 9, 9, 1, 2, 3, 9, 9, 9, 4, 5, 6}), 7, 7, 7).found, -1);
  // Black: the highest zero-filled entry past a short table.
  EXPECT_EQ(ReadEight(8, 1, Table({0, 0, 0, 1, 1, 1}), 0, 0, 0).found, 255);
}

TEST(GifColourTable, SelectionTablesOfBothSenses) {
  unsigned char white[256] = {}, all[256];
  white[255] = 1;
  std::memset(all, 1, sizeof all);
  const std::string stored = Table({255, 255, 255, 255, 0, 0, 0, 0, 0, 255, 255, 255});
  unsigned char outside[256], inside[256];
  // Red and green must be 255: entries 0 and 3 are white, 1 and 2 are not.
  Capture(stored, [&](Outcome*) { GetLUT(8, 2, white, white, all, false, outside); });
  Capture(stored, [&](Outcome*) { GetLUT(8, 2, white, white, all, true, inside); });
  EXPECT_EQ(std::vector<int>(outside, outside + 5), (std::vector<int>{0, 1, 1, 0, 0}));
  EXPECT_EQ(std::vector<int>(inside, inside + 5), (std::vector<int>{1, 0, 0, 1, 0}));
  // Resolution 4, component 15 is white after scaling.
  unsigned char four[256];
  Capture(Table({15, 15, 15, 14, 15, 15}),
          [&](Outcome*) { GetLUT(4, 1, white, all, all, true, four); });
  EXPECT_EQ(four[0], 1);
  EXPECT_EQ(four[1], 0);
}

TEST(GifStream, SignatureAndBlockWalk) {
  EXPECT_FALSE(Capture("GIF87a", [](Outcome*) { CheckMagic(); }).stopped);
  EXPECT_FALSE(Capture("GIF89a", [](Outcome*) { CheckMagic(); }).stopped);
  for (const char* bad : {"GIF88a", "GIF87b", "gif89a"}) {
    Outcome o = Capture(bad, [](Outcome*) { CheckMagic(); });
    EXPECT_EQ(o.err, "bad magic number.\n") << bad;
  }
  EXPECT_EQ(Capture("GIF88a", [](Outcome*) { CheckMagic("x.gif"); }).err,
            "x.gif : bad magic number.\n");
  EXPECT_EQ(Capture("GIF8", [](Outcome*) { CheckMagic("x.gif"); }).err, "byte read error.\n");
  // An extension, a stray byte with its sub-blocks, an image, the trailer.
  const std::string stream = std::string("!\xf9\x04\x01\x02\x03\x04\x00", 8) +
                             std::string("\x07\x02xy\x00", 5) +
                             std::string(",\x01\x00\x02\x00\x03\x00\x04\x01", 9) + ";";
  ImageBox box;
  bool found = false, more = true;
  Outcome o = Capture(stream, [&](Outcome*) {
    found = NextImage(&box);
    more = NextImage(&box);
  });
  EXPECT_FALSE(o.stopped) << o.err;
  EXPECT_TRUE(found);
  EXPECT_EQ(box.left, 1);
  EXPECT_EQ(box.top, 2);
  EXPECT_EQ(box.width, 3);
  EXPECT_EQ(box.height, 0x104);
  EXPECT_FALSE(more);
  // Code sizes 2 to 11 only.
  for (int m : {0, 1, 12, 255}) {
    EXPECT_EQ(Capture(std::string(1, static_cast<char>(m)), [](Outcome*) { GetCodeSize(); }).err,
              "bad code size.\n");
  }
}

namespace {

struct BlockOutcome {
  std::string err;     // what a fatal exit printed
  std::string copied;  // what CopySubBlocks wrote
  std::vector<int> returned;
};

// Runs a walk over a block reader record of the bytes, named by path (or none).
template <typename F>
BlockOutcome OverBlocks(const std::string& bytes, const char* path, F&& walk) {
  BlockOutcome o;
  FILE* stream = Memory(bytes);
  char* copied = nullptr;
  size_t copiedSize = 0;
  FILE* out = open_memstream(&copied, &copiedSize);
  GIFBlocks in{stream, path, "cut short."};
  SetExitHandler(Stop);
  testing::internal::CaptureStderr();
  try {
    walk(&in, out, &o.returned);
  } catch (const Stopped&) {
  }
  o.err = testing::internal::GetCapturedStderr();
  SetExitHandler(nullptr);
  std::fclose(stream);
  std::fclose(out);
  o.copied.assign(copied, copiedSize);
  std::free(copied);
  return o;
}

}  // namespace

TEST(GifBlocks, ShortReadsTrailersAndCopies) {
  using Walk = void (*)(GIFBlocks*, FILE*, std::vector<int>*);
  auto copy = [](GIFBlocks* in, FILE* out, std::vector<int>*) { CopySubBlocks(in, out); };
  auto blocks = [](GIFBlocks* in, FILE*, std::vector<int>* r) {
    for (int i = 0; i < 3; ++i) r->push_back(NextBlock(in));
  };
  auto signature = [](GIFBlocks* in, FILE*, std::vector<int>* r) {
    unsigned char header[7];
    ReadSignature(in, header, sizeof header, "no signature.");
    r->push_back(ReadWord(in));
  };
  const std::string subBlocks("\x02xy\x01z\x00", 6);
  struct Case {
    const char* what;
    std::string bytes;
    const char* path;
    Walk walk;
    std::string err, copied;
    std::vector<int> returned;
  } cases[] = {
      {"sub-blocks copied whole", subBlocks + "!", nullptr, copy, "", subBlocks, {}},
      {"data cut short",
       subBlocks.substr(0, 4),
       "a.gif",
       copy,
       "a.gif : cut short.\n",
       "\x02xy",
       {}},
      {"length byte missing",
       subBlocks.substr(0, 5),
       nullptr,
       copy,
       "cut short.\n",
       subBlocks.substr(0, 5),
       {}},
      {"end after an image is a trailer", ",", nullptr, blocks, "", "", {',', ';', ';'}},
      {"end before any image", "!", "b.gif", blocks, "b.gif : cut short.\n", "", {'!'}},
      {"stray bytes are introducers", "x;", nullptr, blocks, "cut short.\n", "", {'x', ';'}},
      {"GIF89a, a byte, a word", "GIF89a!\x34\x12", nullptr, signature, "", "", {0x1234}},
      {"GIF87a, a byte, a word",
       std::string("GIF87a!\x01\x00", 9),
       nullptr,
       signature,
       "",
       "",
       {1}},
      {"wrong signature", "GIF87b!\x34\x12", "c.gif", signature, "c.gif : no signature.\n", "", {}},
      {"signature cut short", "GIF87a", nullptr, signature, "cut short.\n", "", {}},
  };
  for (const Case& c : cases) {
    const BlockOutcome o = OverBlocks(c.bytes, c.path, c.walk);
    EXPECT_EQ(o.err, c.err) << c.what;
    EXPECT_EQ(o.copied, c.copied) << c.what;
    EXPECT_EQ(o.returned, c.returned) << c.what;
  }
}
