// pictunpack, run as a program.
#include <gtest/gtest.h>

#include "giffiles.h"
#include "support/cases.h"
#include "support/run.h"

namespace {

// A 20 x 10 screen with a global table, a graphic control extension, a full image,
// a comment, and an interlaced 4 x 3 image at (5, 6) with a local table and code size 2.
TestGif Animation() {
  TestGif gif;
  gif.width = 20;
  gif.height = 10;
  gif.table = GrayTable(4);
  TestImage full;
  full.width = 20;
  full.height = 10;
  for (int i = 0; i < 200; ++i) full.pixels.push_back(static_cast<uint8_t>(i % 4));
  full.extensions = std::string("!\xf9\x04\x00\x0a\x00\x00\x00", 8);
  TestImage part;
  part.left = 5;
  part.top = 6;
  part.width = 4;
  part.height = 3;
  part.pixels = {3, 2, 1, 0, 0, 1, 2, 3, 1, 1, 1, 1};
  part.interlace = true;
  part.codeSize = 2;
  part.table = Table({10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120});
  part.extensions = std::string("!\xfe\x05hello\x00", 9);
  gif.images = {full, part};
  return gif;
}

// The file pictunpack should write for image i: the header and global table, the
// image's graphic control extension, the image as it stands, the trailer.
std::string Single(const TestGif& gif, size_t i) {
  TestGif one = gif;
  one.images = {gif.images[i]};
  if (one.images[0].extensions.rfind("!\xf9", 0) != 0) one.images[0].extensions.clear();
  one.tail.clear();
  return GifBytes(one);
}

void ExpectFile(const Scratch& dir, const std::string& name, const std::string& expected) {
  const std::string got = dir.Read(name);
  EXPECT_EQ(got, expected) << name << ":\n"
                           << DescribeBlocks(got) << "expected:\n"
                           << DescribeBlocks(expected);
}

}  // namespace

TEST(Pictunpack, EveryImageToAFileOfItsOwn) {
  Scratch dir;
  const TestGif gif = Animation();
  dir.Write("anim.gif", GifBytes(gif));
  RunResult r = ::Run("pictunpack", {"anim.gif", "frame%03d.gif"}, "", dir.path);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "");
  ExpectFile(dir, "frame000.gif", Single(gif, 0));
  ExpectFile(dir, "frame001.gif", Single(gif, 1));
  EXPECT_FALSE(dir.Exists("frame002.gif"));
}

TEST(Pictunpack, StandardInputAndFormats) {
  Scratch dir;
  TestGif gif = Animation();
  gif.version = "GIF87a";
  gif.table.clear();
  gif.sizeField = 5;
  for (const char* format : {"%d", "x%%%+05ia", "%#x.gif", "%-3o|", "%.2X"}) {
    RunResult r = ::Run("pictunpack", {"-", format}, GifBytes(gif), dir.path);
    EXPECT_EQ(r.status, 0) << format << r.err;
    char name[64];
    std::snprintf(name, sizeof name, format, 1);
    ExpectFile(dir, name, Single(gif, 1));
  }
}

TEST(Pictunpack, NoImageNoFile) {
  Scratch dir;
  TestGif gif = Animation();
  gif.images.clear();
  gif.tail = std::string("!\xfe\x01x\x00", 5);
  ExpectRuns(dir.path, {{{"pictunpack", "-", "f%d.gif"}, "", 0, GifBytes(gif)}});
  EXPECT_FALSE(dir.Exists("f0.gif"));
}

TEST(Pictunpack, BadFileNameFormatWritesNothing) {
  Scratch dir;
  dir.Write("anim.gif", GifBytes(Animation()));
  for (const char* format :
       {"plain.gif", "%s.gif", "%n", "%d%d", "%ld", "%f", "%5", "%*d", "%%d", "%"}) {
    RunResult r = ::Run("pictunpack", {"anim.gif", format}, "", dir.path);
    EXPECT_EQ(r.status, 1) << format;
    EXPECT_EQ(r.err, "bad file name format.\n") << format;
  }
  RunResult list = RunCommand({"/bin/ls", "-A"}, "", dir.path);
  EXPECT_EQ(list.out, "anim.gif\n");
}

TEST(Pictunpack, ArgumentsAndOutputFiles) {
  const std::string usage = "usage : pictunpack GIF file_name_format\n";
  Scratch dir;
  dir.Write("anim.gif", GifBytes(Animation()));
  ExpectRuns(
      dir.path,
      {
          {{"pictunpack", "a.gif"}, usage},
          {{"pictunpack", "a.gif", "%d", "x"}, usage},
          {{"pictunpack", "none.gif", "%d"}, "GIF file not open.\n"},
          {{"pictunpack", "anim.gif", "no/such/%d.gif"}, "no/such/0.gif : GIF file not stored.\n"},
          // A write that fails at the close.
          {{"pictunpack", "anim.gif", "/dev/full%.0d"}, "/dev/full : GIF file not stored.\n"},
      });
  // A name of any length.
  RunResult deep = ::Run("pictunpack", {"anim.gif", "%0200d" + std::string(40, 'x')}, "", dir.path);
  EXPECT_EQ(deep.status, 0) << deep.err;
  EXPECT_TRUE(dir.Exists(std::string(199, '0') + "1" + std::string(40, 'x')));
}

TEST(Pictunpack, DamagedInputs) {
  const std::string good = GifBytes(Animation());
  // Offsets in the good file: header 13, global table 12, image 0 starts at 25 with its
  // extension (8 bytes), so its separator is at 33.
  const size_t image0 = 33;
  ASSERT_EQ(good[image0], ',');
  struct Case {
    const char* what;
    std::string bytes;
    const char* message;
  } cases[] = {
      {"short header", good.substr(0, 12), "not a GIF file.\n"},
      {"bad signature", "GIF87b" + good.substr(6), "not a GIF file.\n"},
      {"short global table", good.substr(0, 20), "global colormap read error.\n"},
      {"nothing after the table", good.substr(0, 25), "unexpected end of file.\n"},
      {"extension without label", good.substr(0, 26), "extension function read error.\n"},
      {"extension cut short", good.substr(0, 29), "extension data read error.\n"},
      {"descriptor cut short", good.substr(0, image0 + 5), "image descriptor read error.\n"},
      {"no code size", good.substr(0, image0 + 10), "code size read error.\n"},
      {"data cut short", good.substr(0, image0 + 40), "raster data read error.\n"},
      {"unknown block", good.substr(0, 25) + "x", "unknown extension introducer.\n"},
  };
  for (const Case& c : cases) {
    Scratch dir;
    RunResult r = ::Run("pictunpack", {"-", "f%d.gif"}, c.bytes, dir.path);
    EXPECT_EQ(r.status, 1) << c.what;
    EXPECT_EQ(r.err, c.message) << c.what;
  }
  // A local table cut short: image 1's table starts after its descriptor.
  const size_t image1 = good.find(std::string(",\x05\x00\x06\x00", 5));
  ASSERT_NE(image1, std::string::npos);
  Scratch dir;
  RunResult r = ::Run("pictunpack", {"-", "f%d.gif"}, good.substr(0, image1 + 12), dir.path);
  EXPECT_EQ(r.err, "local colormap read error.\n");
  EXPECT_TRUE(dir.Exists("f0.gif"));
}
