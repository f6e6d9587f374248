// pictstack and pictstack-palette, run as programs; their TIFF files read back.
#include <gtest/gtest.h>

#include <cstdio>

#include "common/bytes.h"
#include "giffiles.h"
#include "support/run.h"
#include "tiffread.h"

namespace {

constexpr int kPhotometric = 262;
constexpr int kColorMap = 320;

struct Tiff {
  TiffFile file;
  std::string bytes;
  int photometric = -1;
  std::vector<int> map;  // red, green, blue colour maps one after the other
};

Tiff ReadTiff(const Scratch& dir, const std::string& name) {
  Tiff t;
  t.bytes = dir.Read(name);
  std::string why;
  EXPECT_TRUE(ParseTiff(t.bytes, &t.file, &why)) << name << ": " << why;
  if (const TiffEntry* e = t.file.Find(kPhotometric))
    t.photometric = static_cast<int>(e->value & 0xFFFF);
  if (const TiffEntry* e = t.file.Find(kColorMap)) {
    for (uint32_t i = 0; i < e->count && e->value + 2 * i + 1 < t.bytes.size(); ++i) {
      t.map.push_back(
          GetLE16(reinterpret_cast<const unsigned char*>(t.bytes.data()) + e->value + 2 * i));
    }
  }
  return t;
}

std::vector<int> Samples(const Tiff& t) {
  return std::vector<int>(t.file.samples.begin(), t.file.samples.end());
}

RunResult Stack(const Scratch& dir, const std::string& program, const TestGif& gif,
                const char* format = "f%d.tif") {
  dir.Write("in.gif", GifBytes(gif));
  return ::Run(program, {"in.gif", format}, "", dir.path);
}

}  // namespace

TEST(Pictstack, GreyImagesGiveOneChannelAndColourOnesRGB) {
  Scratch dir;
  TestGif gif = OneImageGif(3, 2, Table({0, 0, 0, 128, 128, 128, 255, 255, 255, 255, 0, 0}),
                            {0, 1, 2, 2, 1, 0});
  // The second image uses the red entry once.
  TestImage coloured = gif.images[0];
  coloured.pixels = {0, 1, 3, 2, 1, 0};
  gif.images.push_back(coloured);
  RunResult r = Stack(dir, "pictstack", gif, "frame%03d.tif");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  Tiff grey = ReadTiff(dir, "frame000.tif");
  EXPECT_EQ(grey.file.samplesPerPixel, 1u);
  EXPECT_EQ(grey.file.bits, 8u);
  EXPECT_EQ(grey.photometric, 1);
  EXPECT_EQ(Samples(grey), (std::vector<int>{0, 128, 255, 255, 128, 0}));
  Tiff rgb = ReadTiff(dir, "frame001.tif");
  EXPECT_EQ(rgb.file.samplesPerPixel, 3u);
  EXPECT_EQ(rgb.photometric, 2);
  EXPECT_EQ(Samples(rgb), (std::vector<int>{0, 0, 0, 128, 128, 128, 255, 0, 0, 255, 255, 255, 128,
                                            128, 128, 0, 0, 0}));
  EXPECT_FALSE(dir.Exists("frame002.tif"));
}

TEST(Pictstack, ImagesKeepTheirOwnSizeAndTables) {
  Scratch dir;
  TestGif gif = OneImageGif(100, 100, GrayTable(2), std::vector<uint8_t>(10000, 1));
  TestImage small;
  small.left = small.top = 5;
  small.width = small.height = 10;
  small.pixels.assign(100, 1);
  small.table = Table({0, 0, 0, 10, 20, 30});
  small.interlace = true;
  small.codeSize = 2;
  gif.images.push_back(small);
  ASSERT_EQ(Stack(dir, "pictstack", gif).status, 0);
  Tiff t = ReadTiff(dir, "f1.tif");
  EXPECT_EQ(t.file.width, 10u);
  EXPECT_EQ(t.file.height, 10u);
  EXPECT_EQ(Samples(t).size(), 300u);
  EXPECT_EQ(Samples(t)[299], 30);
}

TEST(Pictstack, NoTableMeansGreyIndices) {
  Scratch dir;
  TestGif gif = OneImageGif(2, 2, "", {0, 7, 200, 255});
  ASSERT_EQ(Stack(dir, "pictstack", gif).status, 0);
  EXPECT_EQ(Samples(ReadTiff(dir, "f0.tif")), (std::vector<int>{0, 7, 200, 255}));
  ASSERT_EQ(Stack(dir, "pictstack-palette", gif).status, 0);
  Tiff p = ReadTiff(dir, "f0.tif");
  EXPECT_EQ(p.file.bits, 8u);
  EXPECT_EQ(p.photometric, 3);
  EXPECT_EQ(Samples(p), (std::vector<int>{0, 7, 200, 255}));
  ASSERT_EQ(p.map.size(), 768u);
  EXPECT_EQ(p.map[200], 200 * 257);
  EXPECT_EQ(p.map[512 + 255], 65535);
}

TEST(PictstackPalette, IndexWidthFollowsTheTable) {
  const int entries[] = {2, 4, 8, 16, 32, 256};
  const unsigned widths[] = {1, 2, 4, 4, 8, 8};
  for (int i = 0; i < 6; ++i) {
    Scratch dir;
    const int top = entries[i] - 1;
    TestGif gif = OneImageGif(2, 1, GrayTable(entries[i]), {0, static_cast<uint8_t>(top)});
    ASSERT_EQ(Stack(dir, "pictstack-palette", gif).status, 0);
    Tiff t = ReadTiff(dir, "f0.tif");
    EXPECT_EQ(t.file.bits, widths[i]) << entries[i] << " entries";
    EXPECT_EQ(Samples(t), (std::vector<int>{0, top}));
    EXPECT_EQ(t.map.size(), 3u << widths[i]);
    EXPECT_EQ(t.map[static_cast<size_t>(top)], 65535);
  }
}

TEST(PictstackPalette, IndexPastTheTableWidensTheImage) {
  // A 2-entry table carrying index 255 (code size 8).
  Scratch dir;
  TestGif gif = OneImageGif(3, 1, Table({0, 0, 0, 255, 255, 255}), {0, 1, 255});
  gif.images.push_back(gif.images[0]);
  gif.images[1].pixels = {0, 1, 3};
  RunResult r = Stack(dir, "pictstack-palette", gif);
  EXPECT_EQ(r.status, 0) << r.err;
  Tiff wide = ReadTiff(dir, "f0.tif");
  EXPECT_EQ(wide.file.bits, 8u);
  EXPECT_EQ(Samples(wide), (std::vector<int>{0, 1, 255}));
  ASSERT_EQ(wide.map.size(), 768u);
  EXPECT_EQ(wide.map[1], 65535);
  EXPECT_EQ(wide.map[255], 0);
  Tiff two = ReadTiff(dir, "f1.tif");
  EXPECT_EQ(two.file.bits, 2u);
  EXPECT_EQ(Samples(two), (std::vector<int>{0, 1, 3}));
}

TEST(Pictstack, ColourResolutionScaling) {
  Scratch dir;
  TestGif four = OneImageGif(2, 1, Table({15, 15, 15, 1, 2, 3}), {0, 1});
  four.resolution = 4;
  ASSERT_EQ(Stack(dir, "pictstack", four).status, 0);
  EXPECT_EQ(Samples(ReadTiff(dir, "f0.tif")), (std::vector<int>{255, 255, 255, 17, 34, 51}));
  ASSERT_EQ(Stack(dir, "pictstack-palette", four).status, 0);
  EXPECT_EQ(ReadTiff(dir, "f0.tif").map[0], 65535);
  // 8-bit components in a file claiming resolution 1: as stored.
  TestGif one = OneImageGif(2, 1, Table({200, 200, 200, 1, 1, 1}), {0, 1});
  one.resolution = 1;
  ASSERT_EQ(Stack(dir, "pictstack", one).status, 0);
  EXPECT_EQ(Samples(ReadTiff(dir, "f0.tif")), (std::vector<int>{200, 1}));
  ASSERT_EQ(Stack(dir, "pictstack-palette", one).status, 0);
  EXPECT_EQ(ReadTiff(dir, "f0.tif").map[1], 257);
}

TEST(Pictstack, EmptyImagesGetNoFileAndAWarning) {
  // Images of 0 x 4, 3 x 0 and 0 x 0 between two real ones: the empty ones are named in
  // a warning and get no file (libtiff refuses a file without scanlines); the others
  // are written under their own numbers.
  Scratch dir;
  TestGif gif = OneImageGif(2, 2, GrayTable(2), {0, 1, 1, 0});
  gif.width = 4;
  gif.height = 4;
  const TestImage real = gif.images[0];
  for (auto [w, h] : {std::pair{0, 4}, std::pair{3, 0}, std::pair{0, 0}}) {
    TestImage empty = real;
    empty.width = w;
    empty.height = h;
    empty.pixels.clear();
    gif.images.push_back(empty);
  }
  gif.images.push_back(real);
  for (const char* program : {"pictstack", "pictstack-palette"}) {
    RunResult r = Stack(dir, program, gif);
    EXPECT_EQ(r.status, 0) << program << r.err;
    EXPECT_EQ(r.err,
              "f1.tif : empty image (warning).\nf2.tif : empty image (warning).\n"
              "f3.tif : empty image (warning).\n")
        << program;
    for (const char* absent : {"f1.tif", "f2.tif", "f3.tif"})
      EXPECT_FALSE(dir.Exists(absent)) << program << absent;
    for (const char* written : {"f0.tif", "f4.tif"}) {
      Tiff t = ReadTiff(dir, written);
      EXPECT_EQ(t.file.width, 2u) << program << written;
      EXPECT_EQ(t.file.height, 2u) << program << written;
      std::remove(dir.Path(written).c_str());
    }
  }
  Scratch none;
  gif.images.clear();
  EXPECT_EQ(Stack(none, "pictstack", gif).status, 0);
  EXPECT_FALSE(none.Exists("f0.tif"));
}

TEST(Pictstack, ArgumentsAndFailures) {
  for (const char* program : {"pictstack", "pictstack-palette"}) {
    EXPECT_EQ(::Run(program, {"a.gif"}).err,
              "usage : " + std::string(program) + " GIF file_name_format\n");
    Scratch dir;
    const TestGif gif = OneImageGif(1, 1, GrayTable(2), {1});
    for (const char* format : {"x.tif", "%s", "%d%d", "%n", "%lu"}) {
      RunResult r = Stack(dir, program, gif, format);
      EXPECT_EQ(r.err, "bad file name format.\n") << format;
      EXPECT_EQ(r.status, 1);
    }
    RunResult listing = RunCommand({"/bin/ls"}, "", dir.path);
    EXPECT_EQ(listing.out, "in.gif\n");
    EXPECT_EQ(::Run(program, {"none.gif", "%d"}, "", dir.path).err, "none.gif : file not found.\n");
    RunResult magic = ::Run(program, {"-", "%d"}, "GIF89b" + GifBytes(gif).substr(6), dir.path);
    EXPECT_EQ(magic.err, "- : bad magic number.\n");
    TestGif wide = gif;
    wide.images[0].codeSize = 1;
    wide.images[0].data = std::string("\x01\x00\x00", 3);
    EXPECT_EQ(Stack(dir, program, wide).err, "bad code size.\n");
    RunResult lost = Stack(dir, program, gif, "no/dir/%d.tif");
    EXPECT_EQ(lost.err, "no/dir/0.tif : file not stored.\n");
    EXPECT_EQ(lost.status, 1);
    RunResult full = Stack(dir, program, gif, "/dev/full%.0d");
    EXPECT_EQ(full.err, "/dev/full : file not stored.\n");
    EXPECT_EQ(full.status, 1);
    RunResult stdinRun = ::Run(program, {"-", "s%02x.tif"}, GifBytes(gif), dir.path);
    EXPECT_EQ(stdinRun.status, 0);
    EXPECT_TRUE(dir.Exists("s00.tif"));
  }
}
