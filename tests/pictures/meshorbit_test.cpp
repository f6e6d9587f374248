// meshorbit run as a program: arguments, messages, and the GIF files it writes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "giftest.h"
#include "mesh/colour.h"
#include "support/run.h"
#include "support/stlfiles.h"

namespace {

const std::string kUsage =
    "usage : meshorbit STL_files scale gamma bias \\\n"
    "                                bgR bgG bgB fgR fgG fgB scR scG scB GIF\n";

using Words = std::vector<std::string>;
using RGB = std::array<int, 3>;

const RGB kRed = {255, 0, 0}, kWhite = {255, 255, 255}, kGrey = {128, 128, 128};

// The square 0..10 x 0..10 at z = 0 facing +z, in one colour.
std::vector<TestFacet> Plate(uint16_t attribute, float side = 10) {
  return {Tri(0, 0, 0, side, 0, 0, side, side, 0, attribute),
          Tri(0, 0, 0, side, side, 0, 0, side, 0, attribute)};
}

// inputs, then scale, then the look (gamma bias bg fg sc), then the output.
Words Args(const Words& inputs, const std::string& scale, const Words& look = {},
           const std::string& gif = "o.gif") {
  Words a = inputs;
  a.push_back(scale);
  const Words standard = {"1", "0", "255", "255", "255", "-1", "-1", "-1", "128", "128", "128"};
  for (size_t i = 0; i < standard.size(); ++i) a.push_back(i < look.size() ? look[i] : standard[i]);
  a.push_back(gif);
  return a;
}

struct Picture {
  RunResult run;
  std::string bytes;
  GifFile gif;
};

Picture Orbit(const Scratch& dir, const Words& args, const std::string& views,
              const std::string& err = "") {
  Picture p;
  p.run = ::Run("meshorbit", args, views, dir.path);
  EXPECT_EQ(p.run.status, 0) << p.run.err;
  EXPECT_EQ(p.run.err, err);
  p.bytes = dir.Read("o.gif");
  EXPECT_TRUE(ParseGif(p.bytes, &p.gif)) << DescribeGif(p.bytes);
  return p;
}

TEST(Meshorbit, UsageWithFewerThanFourteenArguments) {
  Scratch dir;
  Words args = Args({"a.stl"}, "1");
  args.pop_back();
  const RunResult r = ::Run("meshorbit", args, "", dir.path);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, kUsage);
  EXPECT_EQ(r.out, "");
}

TEST(Meshorbit, ArgumentChecksInOrder) {
  Scratch dir;
  dir.Write("a.stl", BinarySTL(Plate(0)));
  struct Case {
    std::string scale;
    Words look;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"-0", {}, "bad size."},
      {"-x", {}, "-x : not a number."},
      {"-65536", {}, "bad size."},
      {"0", {}, "bad scale."},
      {"-", {}, "- : not a number."},
      {"nan", {}, "nan : not a number."},
      {"inf", {}, "inf : not a number."},
      {"1", {"0"}, "bad gamma."},
      {"1", {"-1", "300"}, "bad gamma."},  // gamma before bias
      {"1", {"1", "256"}, "bad bias."},
      {"1", {"1", "nan"}, "nan : not a number."},
      {"1", {"1", "-1"}, "bad bias."},
      {"1", {"1", "0", "0", "256"}, "bad background."},
      {"1", {"1", "0", "0", "0", "-1"}, "bad background."},
      {"1", {"1", "0", "0", "0", "0", "0", "256"}, "bad foreground."},
      {"1", {"1", "0", "0", "0", "0", "0", "-5", "0", "0", "256"}, "bad surface color."},
      {"1", {"1", "0", "0", "0", "0", "0", "0", "0", "0", "0", "nan"}, "nan : not a number."},
      {"1", {"1", "0", "0", "0", "0", "0", "0", "0", "-1", "0", "0"}, "bad surface color."},
  };
  for (const Case& c : cases) {
    const RunResult r = ::Run("meshorbit", Args({"a.stl"}, c.scale, c.look), "0 0\n", dir.path);
    EXPECT_EQ(r.status, 1) << c.scale << " " << c.message;
    EXPECT_EQ(r.err, c.message + "\n") << c.scale;
    EXPECT_FALSE(dir.Exists("o.gif")) << c.message;
  }
}

TEST(Meshorbit, InputFileMessages) {
  Scratch dir;
  dir.Write("empty.stl", BinarySTL({}));
  dir.Write("a.stl", BinarySTL(Plate(0)));
  dir.Write("zero.txt", "0\n");
  dir.Write("p.txt", "1 0 0 0 1 1 1\n");
  struct Case {
    Words inputs;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"missing.stl"}, "missing.stl : file not found.\n"},
      {{"empty.stl"}, "empty.stl : file read error.\n"},
      {{"a.stl", "-missing.txt"}, "-missing.txt : file not found.\n"},
      {{"-zero.txt", "a.stl"}, "-zero.txt : file read error.\n"},
      {{"-p.txt"}, "no facet\n"},
      {{"-p.txt", "-p.txt"}, "no facet\n"},
      {{"a.stl", "-"}, "- : standard input holds the view lines.\n"},
  };
  for (const Case& c : cases) {
    const RunResult r = ::Run("meshorbit", Args(c.inputs, "1"), "0 0\n", dir.path);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, c.message);
  }
}

TEST(Meshorbit, NoViewsWriteHeaderAndTrailer) {
  Scratch dir;
  dir.Write("a.stl", BinarySTL(Plate(0)));
  const Picture p = Orbit(dir, Args({"a.stl"}, "-300"), "", "no view line (warning).\n");
  EXPECT_EQ(p.bytes, std::string("GIF87a\x2c\x01\x2c\x01\x77\x00\x00;", 14));
  // The same on standard output.
  const RunResult r = ::Run("meshorbit", Args({"a.stl"}, "-300", {}, "-"), "\n1 2 3\n", dir.path);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "no view line (warning).\n");
  EXPECT_EQ(r.out, p.bytes);
}

TEST(Meshorbit, PlateSeenFromAboveFillsItsSquare) {
  // Size 100, scale 100 / sqrt(200): the plate projects to 71 x 71 pixels in the middle.
  Scratch dir;
  dir.Write("a.stl", BinarySTL(Plate(ColourWord(31, 0, 0))));
  const Picture p = Orbit(dir, Args({"a.stl"}, "-100"), "0 90\n");
  ASSERT_EQ(p.gif.images.size(), 1u);
  EXPECT_EQ(p.gif.width, 100);
  EXPECT_EQ(p.gif.flags, 0x77);
  const GifImage& m = p.gif.images[0];
  EXPECT_EQ(m.width, 100);
  EXPECT_EQ(m.height, 100);
  EXPECT_EQ(CountColour(p.gif, 0, kRed), 71 * 71);
  EXPECT_EQ(Colour(p.gif, 0, 14, 14), kRed);
  EXPECT_EQ(Colour(p.gif, 0, 84, 84), kRed);
  EXPECT_EQ(Colour(p.gif, 0, 13, 50), kWhite);
  EXPECT_EQ(Colour(p.gif, 0, 50, 85), kWhite);
}

TEST(Meshorbit, BrightnessFollowsGammaBiasAndColour) {
  Scratch dir;
  dir.Write("grey.stl", BinarySTL(Plate(0)));
  dir.Write("white.stl", BinarySTL(Plate(0xFFFF)));
  // Seen from 30 degrees up: cosine 0.5, brightness 0.5^(1/2) (255 - 55) + 55 = 196.4.
  Picture p = Orbit(
      dir,
      Args({"grey.stl"}, "-60", {"2", "55", "0", "0", "0", "-1", "-1", "-1", "255", "102", "0"}),
      "0 30\n");
  EXPECT_EQ(Colour(p.gif, 0, 30, 30), (RGB{196, 79, 0}));
  // With bias 255 every facet has its full colour.
  p = Orbit(dir, Args({"grey.stl"}, "-60", {"2", "255"}), "0 30\n");
  EXPECT_EQ(Colour(p.gif, 0, 30, 30), kGrey);
  // A facet's own colour wins over the surface colour: 0xFFFF is white.
  p = Orbit(dir,
            Args({"white.stl"}, "-60", {"1", "0", "0", "0", "0", "-1", "-1", "-1", "0", "0", "0"}),
            "0 90\n");
  EXPECT_EQ(Colour(p.gif, 0, 30, 30), kWhite);
  // Seen from below the plate faces away: background only.
  p = Orbit(dir, Args({"white.stl"}, "-60"), "0 -90\n");
  EXPECT_EQ(CountColour(p.gif, 0, kWhite), 60 * 60);
}

TEST(Meshorbit, ViewLinesMakeFrames) {
  Scratch dir;
  dir.Write("a.stl", BinarySTL(UnitCube()));
  const std::string views =
      "0 0 10 0 36\n"      // 36 frames around the z axis
      "\n"                 // ignored
      "1\n"                // ignored
      "1 2 3\n"            // ignored
      "1 2 3 4\n"          // ignored
      "5 5 0 0 0\n"        // none
      "5 5 0 0 -3\n"       // none
      "5 5 1 1 2 extra\n"  // more than five words count as five: 2 frames
      "x y\n"              // angles 0 0: one frame
      "\t 10   20 \r\n"    // one frame
      "45 30";             // a last line without its line feed
  const Picture p = Orbit(dir, Args({"a.stl"}, "-40"), views);
  EXPECT_EQ(p.gif.images.size(), 36u + 2 + 1 + 1 + 1);
  // The first frame of the turn and the "x y" frame look alike.
  const std::vector<uint8_t>& first = p.gif.images[0].pixels;
  EXPECT_EQ(first, p.gif.images[38].pixels);
  EXPECT_NE(first, p.gif.images[1].pixels);
}

TEST(Meshorbit, LongViewLinesAreReadWhole) {
  Scratch dir;
  dir.Write("a.stl", BinarySTL(UnitCube()));
  const std::string gap(300, ' ');
  const Picture p = Orbit(dir, Args({"a.stl"}, "-20"),
                          "0 90" + gap + "0 0 2\n" +    // five words: two frames
                              "0" + gap + "90\n" +      // two words: one frame
                              "1 2 3" + gap + "4\n" +   // four words: none
                              gap + gap + gap + "\n");  // none
  EXPECT_EQ(p.gif.images.size(), 3u);
}

TEST(Meshorbit, PolylinesAndTheBoundingBox) {
  Scratch dir;
  dir.Write("a.stl", BinarySTL(Plate(ColourWord(31, 0, 0))));
  // A point above the plate's centre in colour 511 & 255, 2, 3, and a segment above
  // it, drawn over the plate; they raise the box to z = 1.
  dir.Write("p.txt", "1 511 2 3\n5 5 1\n2 0 0 255 1 1 1 1 9 1\n");
  Picture p = Orbit(
      dir, Args({"a.stl", "-p.txt"}, "-100", {"1", "0", "255", "255", "255", "0", "255", "0"}),
      "0 90\n30 40\n");
  EXPECT_EQ(CountColour(p.gif, 0, {255, 2, 3}), 1);
  EXPECT_GE(CountColour(p.gif, 0, {0, 0, 255}), 50);
  const int boxed = CountColour(p.gif, 1, {0, 255, 0});
  EXPECT_GT(boxed, 100);
  // A negative foreground component: no box.
  p = Orbit(dir,
            Args({"a.stl", "-p.txt"}, "-100", {"1", "0", "255", "255", "255", "0", "255", "-1"}),
            "0 90\n30 40\n");
  EXPECT_EQ(CountColour(p.gif, 1, {0, 255, 0}), 0);
}

TEST(Meshorbit, PictureSizeLimits) {
  Scratch dir;
  dir.Write("a.stl", BinarySTL(Plate(0)));
  dir.Write("big.stl", BinarySTL(Plate(0, 1000)));
  dir.Write("point.stl", BinarySTL({Tri(1, 1, 1, 1, 1, 1, 1, 1, 1)}));
  // 1000 sqrt(2) x 100 pixels is more than a GIF holds.
  RunResult r = ::Run("meshorbit", Args({"big.stl"}, "100"), "0 0\n", dir.path);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "bad scale.\n");
  EXPECT_EQ(Orbit(dir, Args({"big.stl"}, "-65535"), "", "no view line (warning).\n").gif.width,
            65535);
  // Rounding makes the plate seen from 45, 30 project to 501 pixels in a 500 picture.
  Picture p = Orbit(dir, Args({"a.stl"}, "-500"), "45 30\n");
  EXPECT_EQ(p.gif.images.at(0).width, 500);
  // A model that is a single point still gets a picture.
  p = Orbit(dir, Args({"point.stl"}, "10"), "0 0\n");
  EXPECT_EQ(p.gif.width, 1);
  EXPECT_EQ(p.gif.images.size(), 1u);
  p = Orbit(dir, Args({"point.stl"}, "-5"), "0 0\n30 30\n");
  EXPECT_EQ(p.gif.width, 5);
  EXPECT_EQ(p.gif.images.size(), 2u);
}

TEST(Meshorbit, CoordinatesNotFiniteAreLeftOut) {
  Scratch dir;
  const float inf = std::numeric_limits<float>::infinity(),
              nan = std::numeric_limits<float>::quiet_NaN();
  std::vector<TestFacet> facets = Plate(ColourWord(0, 31, 0));
  dir.Write("a.stl", BinarySTL(facets));
  facets.push_back(Tri(0, 0, 0, inf, 0, 0, 0, 1, 0));
  facets.push_back(Tri(0, 0, nan, 1, 0, 0, 0, 1, 0));
  dir.Write("b.stl", BinarySTL(facets));
  dir.Write("p.txt", "1 255 0 0 nan 0 0\n");
  const Picture a = Orbit(dir, Args({"a.stl"}, "3"), "0 90\n20 30 100 0 3\n");
  const std::string expected = a.bytes;
  EXPECT_EQ(Orbit(dir, Args({"b.stl", "-p.txt"}, "3"), "0 90\n20 30 100 0 3\n").bytes, expected);
}

TEST(Meshorbit, ModelBeyondMemoryStops) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizers need more address space than the limit leaves";
#else
  // 400,000 facets need some 25 MB; the program is allowed 20 MB of address space.
  Scratch dir;
  std::vector<TestFacet> facets(400000, Tri(0, 0, 0, 1, 0, 0, 0, 1, 0));
  dir.Write("big.stl", BinarySTL(facets));
  const std::string command = "ulimit -v 20000 && echo '0 0' | " + ProgramPath("meshorbit") +
                              " big.stl -10 1 0 0 0 0 -1 -1 -1 1 1 1 o.gif 2> err.txt";
  const int status = std::system(("cd " + dir.path + " && (" + command + ")").c_str());
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(dir.Read("err.txt"), "facet memory allocation error.\n");
  EXPECT_FALSE(dir.Exists("o.gif"));
#endif
}

TEST(Meshorbit, OutputFailures) {
  Scratch dir;
  dir.Write("a.stl", BinarySTL(Plate(0)));
  RunResult r =
      ::Run("meshorbit", Args({"a.stl"}, "-10", {}, "no/such/dir.gif"), "0 0\n", dir.path);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "GIF file not created.\n");
  r = ::Run("meshorbit", Args({"a.stl"}, "-10", {}, "/dev/full"), "0 0\n", dir.path);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "bytes write error.\n");
}

}  // namespace
