// meshturn run as a program: arguments, messages, the turns and the GIF files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "giftest.h"
#include "mesh/colour.h"
#include "support/run.h"
#include "support/stlfiles.h"

namespace {

const std::string kUsage =
    "usage : meshturn STL_files xO yO zO lon lat \\\n"
    "                               scale gamma bias \\\n"
    "                               bgR bgG bgB fgR fgG fgB scR scG scB GIF\n";

using Words = std::vector<std::string>;
using RGB = std::array<int, 3>;
const RGB kRed = {255, 0, 0}, kBlue = {0, 0, 255};

// inputs, the origin and view (xO yO zO lon lat), scale, the look, the output.
Words Args(const Words& inputs, const Words& view, const std::string& scale, const Words& look = {},
           const std::string& gif = "o.gif") {
  Words a = inputs;
  a.insert(a.end(), view.begin(), view.end());
  a.push_back(scale);
  const Words standard = {"1", "0", "255", "255", "255", "-1", "-1", "-1", "128", "128", "128"};
  for (size_t i = 0; i < standard.size(); ++i) a.push_back(i < look.size() ? look[i] : standard[i]);
  a.push_back(gif);
  return a;
}

GifFile Turn(const Scratch& dir, const Words& args, const std::string& lines) {
  const RunResult r = ::Run("meshturn", args, lines, dir.path);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string bytes = dir.Read("o.gif");
  GifFile gif;
  EXPECT_TRUE(ParseGif(bytes, &gif)) << DescribeGif(bytes);
  return gif;
}

// Mean column and row of the pixels of one colour.
std::pair<double, double> Centre(const GifFile& gif, int image, const RGB& colour) {
  const GifImage& m = gif.images.at(static_cast<size_t>(image));
  double c = 0, r = 0, n = 0;
  for (int row = 0; row < m.height; ++row) {
    for (int col = 0; col < m.width; ++col) {
      if (Colour(gif, image, col, row) != colour) continue;
      c += col;
      r += row;
      ++n;
    }
  }
  return {c / n, r / n};
}

// A red plate x 5..6, y -0.5..0.5 at z = 0 facing +z.
std::vector<TestFacet> Plate() {
  const uint16_t red = ColourWord(31, 0, 0);
  return {Tri(5, -0.5, 0, 6, -0.5, 0, 6, 0.5, 0, red), Tri(5, -0.5, 0, 6, 0.5, 0, 5, 0.5, 0, red)};
}

const Words kFromAbove = {"0", "0", "0", "0", "90"};

TEST(Meshturn, UsageWithFewerThanNineteenArguments) {
  Scratch dir;
  Words args = Args({"a.stl"}, kFromAbove, "1");
  args.erase(args.begin());
  const RunResult r = ::Run("meshturn", args, "", dir.path);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, kUsage);
}

TEST(Meshturn, ArgumentChecksInOrder) {
  Scratch dir;
  dir.Write("a.stl", BinarySTL(Plate()));
  struct Case {
    std::string scale;
    Words look;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"0", {"0"}, "bad scale."},
      {"-3", {}, "bad scale."},
      {"nan", {}, "nan : not a number."},
      {"1e300", {}, "bad scale."},  // more pixels than a GIF holds
      {"1", {"-1"}, "bad gamma."},
      {"1", {"1", "255.5"}, "bad bias."},
      {"1", {"1", "0", "1", "2", "3", "4", "5", "999"}, "bad foreground."},
      {"1", {"1", "0", "1", "2", "3", "4", "5", "6", "256"}, "bad surface color."},
  };
  for (const Case& c : cases) {
    const RunResult r =
        ::Run("meshturn", Args({"a.stl"}, kFromAbove, c.scale, c.look), "0 0 0\n", dir.path);
    EXPECT_EQ(r.status, 1) << c.message;
    EXPECT_EQ(r.err, c.message + "\n") << c.scale;
  }
  RunResult r = ::Run("meshturn", Args({"a.stl", "missing.stl"}, kFromAbove, "1"), "", dir.path);
  EXPECT_EQ(r.err, "missing.stl : file not found.\n");
  dir.Write("empty.stl", BinarySTL({}));
  r = ::Run("meshturn", Args({"empty.stl"}, kFromAbove, "1"), "", dir.path);
  EXPECT_EQ(r.err, "empty.stl : file read error.\n");
}

TEST(Meshturn, PositiveAnglesTurnCounterClockwise) {
  // Seen from above with longitude 0, +y is to the right and +x down. The plate lies
  // on +x (bottom middle); a quarter turn about +z takes it to +y (right middle).
  Scratch dir;
  dir.Write("a.stl", BinarySTL(Plate()));
  const GifFile gif = Turn(dir, Args({"a.stl"}, kFromAbove, "10"), "0 90 0\n0 90 90\n0 0 180\n");
  ASSERT_EQ(gif.images.size(), 3u);
  const int w = gif.width, h = gif.height;
  EXPECT_EQ(w, 121);  // the cube of half-side C = sqrt(36.25) = 6.02: 2C x 10 pixels
  EXPECT_EQ(h, 121);
  auto [c0, r0] = Centre(gif, 0, kRed);
  EXPECT_NEAR(c0, w / 2.0, 1.5);
  EXPECT_GT(r0, 0.85 * h);
  auto [c1, r1] = Centre(gif, 1, kRed);
  EXPECT_GT(c1, 0.85 * w);
  EXPECT_NEAR(r1, h / 2.0, 1.5);
  // Half a turn about the x axis: the plate faces away.
  EXPECT_EQ(CountColour(gif, 2, kRed), 0);
  for (const GifImage& m : gif.images) EXPECT_EQ(m.width, w);
}

TEST(Meshturn, RotationLinesMakeFrames) {
  Scratch dir;
  dir.Write("a.stl", BinarySTL(UnitCube()));
  const GifFile gif = Turn(dir, Args({"a.stl"}, {"0.5", "0.5", "0.5", "30", "20"}, "20"),
                           "0 90 0 10 36\n"   // a whole turn about the vertical
                           "1 2\n"            // ignored
                           "1 2 3 4\n"        // ignored
                           "0 0 10 5 0\n"     // none
                           "0 0 0 0 1 2 3\n"  // five and more: one
                           "5 6 7\n");        // one
  ASSERT_EQ(gif.images.size(), 38u);
  for (const GifImage& m : gif.images) {
    ASSERT_EQ(m.width, gif.width);
    ASSERT_EQ(m.height, gif.height);
  }
  // A cube centred on the origin: a quarter turn about the vertical looks the same
  // but for the colours of its sides.
  EXPECT_NE(gif.images[0].pixels, gif.images[9].pixels);
}

TEST(Meshturn, CubeAndAxisInTheForeground) {
  // From +x, a facet facing -x is culled: only the cube's outline and the axis show.
  // The axis along z runs down the middle column, from the top row to the bottom.
  Scratch dir;
  dir.Write("a.stl", BinarySTL({Tri(0, -1, -1, 0, -1, 1, 0, 1, -1)}));
  const GifFile gif = Turn(dir,
                           Args({"a.stl"}, {"0", "0", "0", "0", "0"}, "20",
                                {"1", "0", "255", "255", "255", "0", "0", "255"}),
                           "0 90 0\n");
  ASSERT_EQ(gif.images.size(), 1u);
  const GifImage& m = gif.images[0];
  int best = 0, column = -1;
  for (int c = 1; c + 1 < m.width; ++c) {  // inside the cube's sides
    int n = 0;
    for (int r = 0; r < m.height; ++r) n += Colour(gif, 0, c, r) == kBlue;
    if (n > best) {
      best = n;
      column = c;
    }
  }
  EXPECT_EQ(best, m.height);
  EXPECT_NEAR(column, m.width / 2.0, 1);
  EXPECT_EQ(Colour(gif, 0, 0, m.height / 3), kBlue);  // the cube's sides
  EXPECT_EQ(Colour(gif, 0, m.width / 3, 0), kBlue);   // and top
}

TEST(Meshturn, ModelThatIsAPointGetsOnePixel) {
  Scratch dir;
  dir.Write("a.stl", BinarySTL({Tri(1, 2, 3, 1, 2, 3, 1, 2, 3)}));
  const GifFile gif = Turn(dir, Args({"a.stl"}, {"1", "2", "3", "0", "0"}, "50"), "0 0 0 90 4\n");
  EXPECT_EQ(gif.width, 1);
  EXPECT_EQ(gif.height, 1);
  EXPECT_EQ(gif.images.size(), 4u);
}

TEST(Meshturn, ModelAndLinesOnStandardInput) {
  // "-" reads the model from standard input; a binary model ends at its facet count,
  // and the rotation lines follow it.
  Scratch dir;
  const GifFile gif = Turn(dir, Args({"-"}, kFromAbove, "10"), BinarySTL(Plate()) + "0 90 0\n");
  ASSERT_EQ(gif.images.size(), 1u);
  EXPECT_GT(CountColour(gif, 0, kRed), 0);
}

}  // namespace
