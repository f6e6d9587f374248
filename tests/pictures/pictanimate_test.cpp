// pictanimate, run as a program.
#include <gtest/gtest.h>

#include "giffiles.h"
#include "support/run.h"

namespace {

// A single-image GIF of width x height filled with one index, with a global table.
TestGif Frame(int width, int height, const std::string& table, uint8_t index = 1) {
  return OneImageGif(width, height, table,
                     std::vector<uint8_t>(static_cast<size_t>(width * height), index));
}

// The image blocks expected in the output: descriptor at (left, top), flags, table, and
// the input image's code size and data unchanged.
std::string ImageBlock(const TestImage& in, int left, int top, int flags,
                       const std::string& table) {
  TestGif one;
  TestImage image = in;
  image.left = left;
  image.top = top;
  image.extensions.clear();
  one.images = {image};
  std::string bytes = GifBytes(one);
  // Drop the 13-byte header and the trailer; set the flags and table.
  bytes = bytes.substr(13, bytes.size() - 14);
  bytes[9] = static_cast<char>(flags);
  return bytes.substr(0, 10) + table + bytes.substr(10 + in.table.size());
}

std::string Screen(const char* version, int width, int height, int flags,
                   const std::string& table) {
  std::string s = version;
  for (int v : {width, height}) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>(v >> 8));
  }
  s.push_back(static_cast<char>(flags));
  s.append(2, '\0');
  return s + table;
}

void ExpectGif(const std::string& got, const std::string& expected) {
  EXPECT_EQ(got, expected) << "got:\n"
                           << DescribeBlocks(got) << "expected:\n"
                           << DescribeBlocks(expected);
}

RunResult Animate(const Scratch& dir, const std::vector<std::string>& args) {
  return ::Run("pictanimate", args, "", dir.path);
}

}  // namespace

TEST(Pictanimate, CentresImagesOnTheLargestScreen) {
  Scratch dir;
  const std::string table = GrayTable(4);
  const TestGif a = Frame(100, 50, table), b = Frame(80, 80, table), c = Frame(60, 40, table);
  RunCommand({"/bin/mkdir", "pics"}, "", dir.path);
  dir.Write("pics/a.gif", GifBytes(a));
  dir.Write("pics/b.gif", GifBytes(b));
  dir.Write("pics/c.gif", GifBytes(c));
  RunResult r = Animate(dir, {"pics", "-a.gif b.gif\tc.gif", "0", "0", "out.gif"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  // One table for all: global, 4 entries; no extensions with delay and repeat 0.
  ExpectGif(dir.Read("out.gif"), Screen("GIF87a", 100, 80, 0xF1, table) +
                                     ImageBlock(a.images[0], 0, 15, 0, "") +
                                     ImageBlock(b.images[0], 10, 0, 0, "") +
                                     ImageBlock(c.images[0], 20, 20, 0, "") + ";");
}

TEST(Pictanimate, ImagesOfOneScreenKeepTheirPlacesAndControls) {
  // Two files of one 20 x 10 screen, as pictunpack splits an animation: a full image and
  // a 4 x 3 image at (5, 6) that is transparent where index 2 stands and set back to the
  // background after (disposal 2), with a user input flag and a delay that are not kept.
  // Its disposal and transparency make the file GIF89a even without a delay or a loop.
  const std::string table = GrayTable(4);
  const TestGif a = Frame(20, 10, table, 3);
  const TestImage part = ImageAt(5, 6, 4, 3, {0, 1, 2, 1, 2, 2, 0, 0, 1, 1, 1, 2});
  const std::string kept("!\xf9\x04\x09\x00\x00\x02\x00", 8),
      delayed("!\xf9\x04\x09\x07\x00\x02\x00", 8);
  struct Case {
    const char* what;
    const char* delay;
    int screenWidth, left;      // of the second file
    std::string first, second;  // the graphic controls written
    int x, y;                   // where the second image goes
  } cases[] = {
      {"kept in place", "0", 20, 5, "", kept, 5, 6},
      {"with a delay", "7", 20, 5, std::string("!\xf9\x04\x00\x07\x00\x00\x00", 8), delayed, 5, 6},
      {"screens differ: centred", "0", 21, 5, "", kept, 8, 3},
      {"image off its screen: centred", "0", 20, 17, "", kept, 8, 3},
  };
  for (const Case& c : cases) {
    Scratch dir;
    TestGif b = a;
    b.width = c.screenWidth;
    b.images = {part};
    b.images[0].left = c.left;
    b.images[0].extensions = std::string("!\xf9\x04\x0b\x63\x00\x02\x00", 8);
    dir.Write("a.gif", GifBytes(a));
    dir.Write("b.gif", GifBytes(b));
    ASSERT_EQ(Animate(dir, {".", "-a.gif b.gif", c.delay, "0", "out.gif"}).status, 0) << c.what;
    SCOPED_TRACE(c.what);
    ExpectGif(dir.Read("out.gif"), Screen("GIF89a", 20, 10, 0xF1, table) + c.first +
                                       ImageBlock(a.images[0], 0, 0, 0, "") + c.second +
                                       ImageBlock(part, c.x, c.y, 0, "") + ";");
  }
}

TEST(Pictanimate, DelayAndLoopExtensions) {
  Scratch dir;
  const TestGif a = Frame(4, 2, GrayTable(2));
  dir.Write("a.gif", GifBytes(a));
  const std::string control = std::string("!\xf9\x04\x00\x0a\x00\x00\x00", 8);
  const std::string image = ImageBlock(a.images[0], 0, 0, 0, "");
  ASSERT_EQ(Animate(dir, {".", "-a.gif a.gif", "10", "0", "out.gif"}).status, 0);
  ExpectGif(dir.Read("out.gif"),
            Screen("GIF89a", 4, 2, 0xF0, GrayTable(2)) + control + image + control + image + ";");
  const std::string loop = std::string("!\xff\x0bNETSCAPE2.0\x03\x01", 16);
  ASSERT_EQ(Animate(dir, {".", "-a.gif", "0", "65536", "out.gif"}).status, 0);
  ExpectGif(dir.Read("out.gif"), Screen("GIF89a", 4, 2, 0xF0, GrayTable(2)) + loop +
                                     std::string("\x00\x00\x00", 3) + image + ";");
  ASSERT_EQ(Animate(dir, {".", "-a.gif", "0", "258", "out.gif"}).status, 0);
  ExpectGif(dir.Read("out.gif"), Screen("GIF89a", 4, 2, 0xF0, GrayTable(2)) + loop +
                                     std::string("\x02\x01\x00", 3) + image + ";");
  for (const char* delay : {"65536", "-1", "4294967296"}) {
    RunResult r = Animate(dir, {".", "-a.gif", delay, "0", "out.gif"});
    EXPECT_EQ(r.err, std::string(delay) + " : bad delay time.\n");
    EXPECT_EQ(r.status, 1);
  }
  for (const char* delay : {"x", "", "1.5", "10cs"}) {
    RunResult r = Animate(dir, {".", "-a.gif", delay, "0", "out.gif"});
    EXPECT_EQ(r.err, std::string(delay) + " : not a number.\n");
    EXPECT_EQ(r.status, 1);
  }
  EXPECT_EQ(Animate(dir, {".", "-a.gif", "65535", "65537", "out.gif"}).err,
            "65537 : bad repeat count.\n");
}

TEST(Pictanimate, DifferentTablesStayWithTheirImages) {
  Scratch dir;
  // a: global table of 4; b: no global table, a local one of 2; c: 256-entry global table
  // and an image whose size field is 0, as most writers leave it.
  const TestGif a = Frame(3, 3, GrayTable(4), 2);
  TestGif b = Frame(2, 2, "", 1);
  b.images[0].table = Table({255, 0, 0, 0, 255, 0});
  const TestGif c = Frame(2, 1, GrayTable(256), 200);
  dir.Write("a.gif", GifBytes(a));
  dir.Write("b.gif", GifBytes(b));
  dir.Write("c.gif", GifBytes(c));
  RunResult r = Animate(dir, {".", "-a.gif b.gif c.gif", "0", "0", "out.gif"});
  EXPECT_EQ(r.status, 0) << r.err;
  ExpectGif(dir.Read("out.gif"), Screen("GIF87a", 3, 3, 0x77, "") +
                                     ImageBlock(a.images[0], 0, 0, 0x81, GrayTable(4)) +
                                     ImageBlock(b.images[0], 0, 0, 0x80, b.images[0].table) +
                                     ImageBlock(c.images[0], 0, 1, 0x87, GrayTable(256)) + ";");
}

TEST(Pictanimate, TablesAreScaledToEightBits) {
  Scratch dir;
  // Resolution 4 with 4-bit components: scaled; resolution 1 with 8-bit ones: as stored.
  TestGif four = Frame(1, 1, Table({15, 0, 1, 2, 3, 4}));
  four.resolution = 4;
  TestGif one = Frame(1, 1, Table({255, 0, 17, 34, 51, 68}));
  one.resolution = 1;
  dir.Write("four.gif", GifBytes(four));
  dir.Write("one.gif", GifBytes(one));
  ASSERT_EQ(Animate(dir, {".", "-four.gif one.gif", "0", "0", "out.gif"}).status, 0);
  // Both become the same table, so it is global.
  EXPECT_EQ(dir.Read("out.gif").substr(0, 19),
            Screen("GIF87a", 1, 1, 0xF0, Table({255, 0, 17, 34, 51, 68})));
  // A file without any table gets a grey ramp of its size field.
  TestGif bare = Frame(1, 1, "");
  bare.sizeField = 1;
  TestGif ramp = Frame(1, 1, Table({0, 0, 0, 85, 85, 85, 170, 170, 170, 255, 255, 255}));
  dir.Write("bare.gif", GifBytes(bare));
  dir.Write("ramp.gif", GifBytes(ramp));
  ASSERT_EQ(Animate(dir, {".", "-bare.gif ramp.gif", "0", "0", "out.gif"}).status, 0);
  EXPECT_EQ(dir.Read("out.gif")[10], '\xF1');
}

TEST(Pictanimate, InputsWithoutImagesGiveAValidEmptyGif) {
  Scratch dir;
  TestGif empty = Frame(5, 5, GrayTable(2));
  empty.images.clear();
  dir.Write("e.gif", GifBytes(empty));
  RunResult r = Animate(dir, {".", "-e.gif e.gif", "0", "0", "out.gif"});
  EXPECT_EQ(r.status, 0) << r.err;
  ExpectGif(dir.Read("out.gif"), Screen("GIF87a", 0, 0, 0x70, "") + ";");
}

TEST(Pictanimate, DirectoryOrders) {
  Scratch dir;
  RunCommand({"/bin/mkdir", "d"}, "", dir.path);
  // Image widths tell the files apart in the output.
  const std::vector<std::pair<std::string, int>> files = {
      {"b10.gif", 1}, {"b9.gif", 2}, {"a.gif", 3}, {"x-nan.gif", 4}, {"c-2.gif", 5}};
  for (const auto& [name, width] : files)
    dir.Write("d/" + name, GifBytes(Frame(width, 1, GrayTable(2))));
  auto order = [&](const char* option) {
    RunResult r = Animate(dir, {"d", option, "0", "0", "out.gif"});
    EXPECT_EQ(r.status, 0) << option << r.err;
    // The widths from the "image at x,y size WxH" lines of the dump.
    std::string widths;
    const std::string text = DescribeBlocks(dir.Read("out.gif"));
    for (size_t at = text.find("image at"); at != std::string::npos;
         at = text.find("image at", at + 1)) {
      widths += text[text.find(" size ", at) + 6];
    }
    return widths;
  };
  EXPECT_EQ(order("-"), "31254");  // a, b10, b9, c-2, x-nan
  EXPECT_EQ(order("--r"), "45213");
  EXPECT_EQ(order("--n"), "34521");  // a, x-nan (not numeric), then -2, 9, 10
  EXPECT_EQ(order("--nr"), "12543");
  EXPECT_EQ(order("--rnx"), "12543");
  for (const char* bad : {"--", "--x", "--rr", "--nx", "--rx"}) {
    RunResult r = Animate(dir, {"d", bad, "0", "0", "out.gif"});
    EXPECT_EQ(r.err, std::string(bad + 1) + " : unknown sorting option.\n");
    EXPECT_EQ(r.status, 1);
  }
}

TEST(Pictanimate, NameLists) {
  Scratch dir;
  RunCommand({"/bin/mkdir", "-p", "d/sub"}, "", dir.path);
  dir.Write("d/sub/a.gif", GifBytes(Frame(2, 1, GrayTable(2))));
  dir.Write("names", "  sub/a.gif\n\n sub/a.gif ");
  RunResult r = Animate(dir, {"d", "names", "0", "0", "out.gif"});
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string text = DescribeBlocks(dir.Read("out.gif"));
  EXPECT_NE(text.find("image at 0,0 size 2x1"), std::string::npos) << text;
  EXPECT_NE(text.find("image at 0,0 size 2x1", text.find("image at") + 1), std::string::npos)
      << text;
  dir.Write("empty", " \n\t ");
  EXPECT_EQ(Animate(dir, {"d", "empty", "0", "0", "out.gif"}).err, "empty : no image file name.\n");
  EXPECT_EQ(Animate(dir, {"d", "none", "0", "0", "out.gif"}).err, "none : name file not found.\n");
  EXPECT_EQ(Animate(dir, {"d", "-  ", "0", "0", "out.gif"}).err, "   : no image file name.\n");
  EXPECT_EQ(Animate(dir, {"nodir", "-", "0", "0", "out.gif"}).err,
            "nodir : directory not found.\n");
  RunCommand({"/bin/mkdir", "hollow"}, "", dir.path);
  EXPECT_EQ(Animate(dir, {"hollow", "-", "0", "0", "out.gif"}).err,
            "hollow : no image file name.\n");
  // A name longer than any fixed buffer.
  const std::string longName = std::string(200, 'l') + ".gif";
  dir.Write("d/" + longName, GifBytes(Frame(2, 1, GrayTable(2))));
  dir.Write("long", longName + " " + longName);
  EXPECT_EQ(Animate(dir, {"d", "long", "0", "0", "out.gif"}).status, 0);
  EXPECT_EQ(Animate(dir, {"d"}).err,
            "usage : pictanimate directory nameFile delayTime repeatCount GIF\n");
}

TEST(Pictanimate, InputAndOutputFailures) {
  Scratch dir;
  const std::string good = GifBytes(Frame(2, 2, GrayTable(2)));
  dir.Write("good.gif", good);
  dir.Write("short.gif", good.substr(0, 30));
  dir.Write("text.gif", "GIF90a" + good.substr(6));
  dir.Write("tiny.gif", "GIF");
  dir.Write("odd.gif", good.substr(0, 19) + "?" + good.substr(19));
  TestGif local = Frame(2, 2, "");
  local.images[0].table = GrayTable(4);
  const std::string withLocal = GifBytes(local);
  dir.Write("local.gif", withLocal);
  struct Case {
    const char* list;
    const char* err;
  } cases[] = {
      {"-none.gif", "./none.gif : GIF file not found.\n"},
      {"-text.gif", "./text.gif : not a GIF file.\n"},
      {"-tiny.gif", "./tiny.gif : not a GIF file.\n"},
      {"-short.gif", "./short.gif : unexpected end of file.\n"},
      {"-odd.gif", "./odd.gif : unknown extension introducer.\n"},
  };
  for (const Case& c : cases) {
    RunResult r = Animate(dir, {".", c.list, "0", "0", "out.gif"});
    EXPECT_EQ(r.err, c.err) << c.list;
    EXPECT_EQ(r.status, 1) << c.list;
  }
  dir.Write("cut.gif", withLocal.substr(0, 13 + 10 + 5));
  EXPECT_EQ(Animate(dir, {".", "-cut.gif", "0", "0", "out.gif"}).err,
            "./cut.gif : colormap read error.\n");
  EXPECT_EQ(Animate(dir, {".", "-good.gif", "0", "0", "no/out.gif"}).err,
            "no/out.gif : file not open.\n");
  EXPECT_EQ(Animate(dir, {".", "-good.gif", "0", "0", "/dev/full"}).err,
            "/dev/full : file not stored.\n");
  RunResult toStdout = Animate(dir, {".", "-good.gif", "0", "0", "-"});
  EXPECT_EQ(toStdout.status, 0);
  EXPECT_EQ(toStdout.out.substr(0, 6), "GIF87a");
  RunResult lost = RunCommand(
      {"/bin/sh", "-c", "\"$0\" . -good.gif 0 0 - > /dev/full", ProgramPath("pictanimate")}, "",
      dir.path);
  EXPECT_EQ(lost.err, "- : file not stored.\n");
  EXPECT_EQ(lost.status, 1);
}
