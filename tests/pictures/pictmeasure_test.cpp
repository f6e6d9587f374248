// pictmeasure and pictmeasure-inside, run as programs.
#include <gtest/gtest.h>

#include "giffiles.h"
#include "support/run.h"

namespace {

// 12 x 8, white with a red block at columns 2-4, rows 3-5 and a blue pixel at (9, 1).
// Table: 0 white, 1 red, 2 blue, 3 black (unused).
TestGif Picture() {
  std::vector<uint8_t> pixels(96, 0);
  for (int y = 3; y <= 5; ++y) {
    for (int x = 2; x <= 4; ++x) pixels[y * 12 + x] = 1;
  }
  pixels[1 * 12 + 9] = 2;
  return OneImageGif(12, 8, Table({255, 255, 255, 255, 0, 0, 0, 0, 255, 0, 0, 0}), pixels);
}

RunResult Measure(const std::string& program, const std::string& gif,
                  std::vector<std::string> args) {
  Scratch dir;
  dir.Write("in.gif", gif);
  args.insert(args.begin(), "in.gif");
  return ::Run(program, args, "", dir.path);
}

void ExpectLine(const RunResult& r, const std::string& line) {
  EXPECT_EQ(r.out, line);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
}

void ExpectFailure(const RunResult& r, const std::string& message) {
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, message);
  EXPECT_EQ(r.status, 1);
}

}  // namespace

TEST(Pictmeasure, OutsideAndInsideOfTheBackground) {
  const std::string gif = GifBytes(Picture());
  ExpectLine(Measure("pictmeasure", gif, {"255", "255", "255"}), "2\t1\t9\t5\n");
  ExpectLine(Measure("pictmeasure-inside", gif, {"255", "255", "255"}), "0\t0\t11\t7\n");
  ExpectLine(Measure("pictmeasure-inside", gif, {"255", "0", "0"}), "2\t3\t4\t5\n");
  ExpectLine(Measure("pictmeasure-inside", gif, {"0", "0", "255"}), "9\t1\t9\t1\n");
  ExpectLine(Measure("pictmeasure-inside", gif, {"0,255", "-0", "0-"}), "2\t1\t9\t5\n");
  // The corner form: reds of any value with no green.
  ExpectLine(Measure("pictmeasure-inside", gif, {"0", "0", "0", "255", "0", "255"}),
             "2\t1\t9\t5\n");
}

TEST(Pictmeasure, EveryColourSelected) {
  const std::string gif = GifBytes(Picture());
  ExpectFailure(Measure("pictmeasure", gif, {"0", "0", "0", "255", "255", "255"}), "no area.\n");
  ExpectLine(Measure("pictmeasure-inside", gif, {"-", "-", "-"}), "0\t0\t11\t7\n");
  // Indices past the colour table are never selected: a 2-entry table and pixels of
  // index 2 and 3 only in the first two rows.
  TestGif small = Picture();
  small.table = Table({0, 0, 0, 255, 255, 255});
  for (int x = 0; x < 12; ++x) small.images[0].pixels[x] = 3;
  ExpectLine(Measure("pictmeasure-inside", GifBytes(small), {"-", "-", "-"}), "0\t1\t11\t7\n");
}

TEST(Pictmeasure, NoColourTableSelectsNothing) {
  TestGif gif = Picture();
  gif.table.clear();
  ExpectFailure(Measure("pictmeasure", GifBytes(gif), {"255", "255", "255"}), "no area.\n");
  ExpectFailure(Measure("pictmeasure-inside", GifBytes(gif), {"-", "-", "-"}), "no area.\n");
}

TEST(Pictmeasure, FramesAccumulateAndUseTheirOwnTables) {
  TestGif gif = Picture();
  // A second frame of 2 x 2 at (10, 6) with a local table: black and white.
  TestImage corner;
  corner.left = 10;
  corner.top = 6;
  corner.width = 2;
  corner.height = 2;
  corner.table = Table({0, 0, 0, 255, 255, 255});
  corner.pixels = {1, 1, 1, 0};
  corner.codeSize = 2;
  gif.images.push_back(corner);
  ExpectLine(Measure("pictmeasure", GifBytes(gif), {"255", "255", "255"}), "2\t1\t11\t7\n");
  // A third frame inside the rectangle is not decoded: its damaged data goes unread.
  TestImage inside = corner;
  inside.left = 3;
  inside.top = 2;
  inside.data = std::string("\x03\xff\xff\xff\x00", 5);
  gif.images.push_back(inside);
  ExpectLine(Measure("pictmeasure", GifBytes(gif), {"255", "255", "255"}), "2\t1\t11\t7\n");
  // The same damaged frame at the edge is decoded and refused.
  gif.images.back().left = 0;
  gif.images.back().top = 0;
  RunResult r = Measure("pictmeasure", GifBytes(gif), {"255", "255", "255"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "bad code after clear code.\n");
}

TEST(Pictmeasure, ColoursOfLowResolutionFiles) {
  // Resolution 4 with 4-bit components: 15 is 255.
  TestGif four = Picture();
  four.resolution = 4;
  four.table = Table({15, 15, 15, 15, 0, 0, 0, 0, 15, 0, 0, 0});
  ExpectLine(Measure("pictmeasure", GifBytes(four), {"255", "255", "255"}), "2\t1\t9\t5\n");
  // Resolution 1 with 8-bit components, as many writers store them: taken as stored.
  TestGif one = Picture();
  one.resolution = 1;
  ExpectLine(Measure("pictmeasure", GifBytes(one), {"255", "255", "255"}), "2\t1\t9\t5\n");
  ExpectLine(Measure("pictmeasure-inside", GifBytes(one), {"255", "0", "0"}), "2\t3\t4\t5\n");
}

TEST(Pictmeasure, StandardInputAndInterlace) {
  TestGif gif = Picture();
  gif.images[0].interlace = true;
  // Storage order of an interlaced 8-row image: 0, 4, 2, 6, 1, 3, 5, 7.
  const std::vector<uint8_t> rows = gif.images[0].pixels;
  std::vector<uint8_t> stored;
  for (int y : {0, 4, 2, 6, 1, 3, 5, 7})
    stored.insert(stored.end(), rows.begin() + y * 12, rows.begin() + y * 12 + 12);
  gif.images[0].pixels = stored;
  RunResult r = ::Run("pictmeasure-inside", {"-", "255", "0", "0"}, GifBytes(gif));
  ExpectLine(r, "2\t3\t4\t5\n");
}

TEST(Pictmeasure, UsageAndArguments) {
  for (const std::string program : {"pictmeasure", "pictmeasure-inside"}) {
    const std::string usage = "usage : " + program + " GIF rangeListR rangeListG rangeListB\n" +
                              "        " + program + " GIF R1 G1 B1 R2 G2 B2\n";
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"a"}, {"a", "1", "2"}, {"a", "1", "2", "3", "4"}}) {
      ExpectFailure(::Run(program, args), usage);
    }
  }
  const std::string gif = GifBytes(Picture());
  ExpectFailure(Measure("pictmeasure", gif, {"9-7", "0", "0"}), "bad range list.\n");
  ExpectFailure(Measure("pictmeasure", gif, {"0", "0", "256"}), "bad range list.\n");
  for (const auto& corners :
       std::vector<std::vector<std::string>>{{"-1", "0", "0", "0", "0", "0"},
                                             {"0", "0", "0", "256", "0", "0"},
                                             {"5", "0", "0", "4", "0", "0"},
                                             {"0", "9", "0", "0", "8", "0"},
                                             {"0", "0", "0", "0", "0", "-1"}}) {
    ExpectFailure(Measure("pictmeasure", gif, corners), "bad RGB range.\n");
  }
  // Corners are whole numbers.
  ExpectFailure(Measure("pictmeasure-inside", gif, {"x", "x", "x", "y", "y", "y"}),
                "x : not a number.\n");
  ExpectFailure(Measure("pictmeasure-inside", gif, {"0", "0", "0", "1.5", "0", "0"}),
                "1.5 : not a number.\n");
  ExpectFailure(::Run("pictmeasure", {"missing.gif", "1", "1", "1"}),
                "missing.gif : file not found.\n");
}

TEST(Pictmeasure, DamagedFiles) {
  TestGif gif = Picture();
  std::string bytes = GifBytes(gif);
  ExpectFailure(Measure("pictmeasure", "GIF90a" + bytes.substr(6), {"-", "-", "-"}),
                "in.gif : bad magic number.\n");
  ExpectFailure(Measure("pictmeasure", bytes.substr(0, 30), {"-", "-", "-"}), "byte read error.\n");
  // An image one column right of its place is measured on the screen alone.
  gif.images[0].left = 1;
  ExpectLine(Measure("pictmeasure", GifBytes(gif), {"255", "255", "255"}), "3\t1\t10\t5\n");
  gif = Picture();
  gif.images[0].data = LiteralData(8, gif.images[0].pixels);
  gif.images[0].codeSize = 12;
  ExpectFailure(Measure("pictmeasure", GifBytes(gif), {"-", "-", "-"}), "bad code size.\n");
}

TEST(Pictmeasure, LostOutputIsReported) {
  Scratch dir;
  dir.Write("in.gif", GifBytes(Picture()));
  RunResult r = RunCommand(
      {"/bin/sh", "-c", "\"$0\" in.gif 255 255 255 > /dev/full", ProgramPath("pictmeasure")}, "",
      dir.path);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "output write error.\n");
}
