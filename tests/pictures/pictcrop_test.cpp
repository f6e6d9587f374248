// pictcrop, run as a program; its GIF files read back with the writer tests' reader.
#include <gtest/gtest.h>

#include <map>

#include "giffiles.h"
#include "giftest.h"
#include "support/run.h"

namespace {

// 8 x 6 with indices 0..3 in a pattern without symmetry; table: white, red, green, blue.
const std::string kTable = Table({255, 255, 255, 255, 0, 0, 0, 255, 0, 0, 0, 255});

std::vector<uint8_t> Pattern(int width, int height) {
  std::vector<uint8_t> p;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) p.push_back(static_cast<uint8_t>((x * 3 + y * y) % 4));
  }
  return p;
}

struct Cropped {
  RunResult run;
  GifFile gif;
};

Cropped Crop(const std::string& input, std::vector<std::string> args) {
  Scratch dir;
  dir.Write("in.gif", input);
  args.insert(args.begin(), "in.gif");
  args.push_back("out.gif");
  Cropped c;
  c.run = ::Run("pictcrop", args, "", dir.path);
  if (c.run.status == 0) {
    const std::string bytes = dir.Read("out.gif");
    EXPECT_TRUE(ParseGif(bytes, &c.gif)) << c.gif.error << "\n" << DescribeGif(bytes);
  }
  return c;
}

// The colours of an output image, as "r,g,b" per pixel.
std::vector<std::string> Colours(const GifFile& gif, int i) {
  std::vector<std::string> out;
  const GifImage& image = gif.images.at(static_cast<size_t>(i));
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const auto c = Colour(gif, i, x, y);
      out.push_back(std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]));
    }
  }
  return out;
}

// A one-image GIF of a width x height screen whose image is a smaller rectangle in it.
TestGif PartImageGif(int width, int height, const std::string& table, std::vector<uint8_t> pixels,
                     int left, int top, int imageWidth, int imageHeight) {
  TestGif gif = OneImageGif(width, height, table, std::move(pixels));
  gif.images[0].left = left;
  gif.images[0].top = top;
  gif.images[0].width = imageWidth;
  gif.images[0].height = imageHeight;
  return gif;
}

std::vector<uint8_t> Bytes(const std::string& s) {
  return std::vector<uint8_t>(s.begin(), s.end());
}

}  // namespace

TEST(Pictcrop, WholeScreenKeepsIndicesAndTables) {
  // Global table only: the output's global table is the input's, padded to 256 entries.
  Cropped g =
      Crop(GifBytes(OneImageGif(8, 6, kTable, Pattern(8, 6))), {"0", "0", "7", "5", "1", "2", "3"});
  ASSERT_EQ(g.run.status, 0) << g.run.err;
  EXPECT_EQ(g.run.err, "");
  EXPECT_EQ(g.gif.flags, 0xF7);
  EXPECT_EQ(std::vector<uint8_t>(g.gif.table.begin(), g.gif.table.begin() + 12), Bytes(kTable));
  ASSERT_EQ(g.gif.images.size(), 1u);
  EXPECT_EQ(g.gif.images[0].flags, 0x07);
  EXPECT_EQ(g.gif.images[0].pixels, Pattern(8, 6));
  // A local table stays with the image; without a global table the header has none.
  TestGif local = OneImageGif(8, 6, "", Pattern(8, 6));
  local.images[0].table = kTable;
  local.images[0].interlace = true;
  Cropped l = Crop(GifBytes(local), {"0", "0", "7", "5", "1", "2", "3"});
  ASSERT_EQ(l.run.status, 0) << l.run.err;
  EXPECT_EQ(l.gif.flags, 0x77);
  EXPECT_EQ(l.gif.images[0].flags, 0x87);
  EXPECT_EQ(std::vector<uint8_t>(l.gif.images[0].table.begin(), l.gif.images[0].table.begin() + 12),
            Bytes(kTable));
  // Interlace undone by both readers: same row order.
  std::vector<uint8_t> stored;
  const std::vector<uint8_t> rows = Pattern(8, 6);
  for (int y : {0, 4, 2, 1, 3, 5})
    stored.insert(stored.end(), rows.begin() + y * 8, rows.begin() + y * 8 + 8);
  local.images[0].pixels = stored;
  l = Crop(GifBytes(local), {"0", "0", "7", "5", "1", "2", "3"});
  EXPECT_EQ(l.gif.images[0].pixels, Pattern(8, 6));
}

TEST(Pictcrop, RectangleInsideTheImage) {
  Cropped c =
      Crop(GifBytes(OneImageGif(8, 6, kTable, Pattern(8, 6))), {"2", "1", "5", "3", "9", "9", "9"});
  ASSERT_EQ(c.run.status, 0) << c.run.err;
  EXPECT_EQ(c.gif.width, 4);
  EXPECT_EQ(c.gif.height, 3);
  std::vector<uint8_t> expected;
  const std::vector<uint8_t> all = Pattern(8, 6);
  for (int y = 1; y <= 3; ++y) {
    for (int x = 2; x <= 5; ++x) expected.push_back(all[static_cast<size_t>(y * 8 + x)]);
  }
  EXPECT_EQ(c.gif.images[0].pixels, expected);
  // 1 x 1.
  Cropped one =
      Crop(GifBytes(OneImageGif(8, 6, kTable, Pattern(8, 6))), {"7", "5", "7", "5", "0", "0", "0"});
  ASSERT_EQ(one.run.status, 0);
  EXPECT_EQ(one.gif.images[0].pixels, std::vector<uint8_t>{all[47]});
}

TEST(Pictcrop, FillColourFromTheTable) {
  // A 3 x 2 image at (1, 1) of a 5 x 4 screen; the fill colour green is index 2, and
  // also index 3 in a table that holds it twice: the highest is taken.
  TestGif gif = PartImageGif(5, 4, Table({0, 0, 0, 9, 9, 9, 0, 255, 0, 0, 255, 0}),
                             {1, 0, 1, 0, 1, 0}, 1, 1, 3, 2);
  Cropped c = Crop(GifBytes(gif), {"0", "0", "4", "3", "0", "255", "0"});
  ASSERT_EQ(c.run.status, 0) << c.run.err;
  EXPECT_EQ(c.gif.images[0].flags, 0x07);
  EXPECT_EQ(c.gif.images[0].pixels,
            (std::vector<uint8_t>{3, 3, 3, 3, 3, 3, 1, 0, 1, 3, 3, 0, 1, 0, 3, 3, 3, 3, 3, 3}));
  // Black with a 4-entry table: index 255, a zero-filled entry, shown black.
  Cropped black = Crop(GifBytes(gif), {"0", "0", "4", "3", "0", "0", "0"});
  ASSERT_EQ(black.run.status, 0);
  EXPECT_EQ(black.gif.images[0].pixels[0], 255);
  EXPECT_EQ(Colours(black.gif, 0)[0], "0,0,0");
}

TEST(Pictcrop, FillColourOutsideTheTableMakesAColourImage) {
  TestGif gif = PartImageGif(5, 4, kTable, {1, 2, 3, 3, 2, 1}, 2, 2, 3, 2);
  Cropped c = Crop(GifBytes(gif), {"1", "1", "4", "3", "10", "20", "30"});
  ASSERT_EQ(c.run.status, 0) << c.run.err;
  EXPECT_EQ(c.gif.images[0].flags, 0x87);
  const std::string f = "10,20,30", r = "255,0,0", g = "0,255,0", b = "0,0,255";
  EXPECT_EQ(Colours(c.gif, 0), (std::vector<std::string>{f, f, f, f, f, r, g, b, f, b, g, r}));
  // Covered by the image: no fill needed, the indices go out as they are.
  Cropped covered = Crop(GifBytes(gif), {"2", "2", "4", "3", "10", "20", "30"});
  ASSERT_EQ(covered.run.status, 0);
  EXPECT_EQ(covered.gif.images[0].flags, 0x07);
  EXPECT_EQ(covered.gif.images[0].pixels, (std::vector<uint8_t>{1, 2, 3, 3, 2, 1}));
}

TEST(Pictcrop, AnimationKeepsItsDelaysAndLoop) {
  // Without extensions the output is GIF87a, as the mesh picture programs write it. A
  // loop count of 3 and a delay of 0.1 s go along (the transparency and disposal do not:
  // the output frames are whole); the second image has no graphic control.
  TestGif gif = OneImageGif(8, 6, kTable, Pattern(8, 6));
  gif.images.push_back(gif.images[0]);
  gif.tail = std::string("!\xfe\x02hi\x00", 6);
  Cropped plain = Crop(GifBytes(gif), {"1", "1", "6", "4", "255", "255", "255"});
  EXPECT_EQ(plain.gif.version, "GIF87a");
  EXPECT_EQ(plain.gif.loop, -1);
  gif.images[0].extensions = std::string("!\xff\x0bNETSCAPE2.0\x03\x01\x03\x00\x00", 19) +
                             std::string("!\xf9\x04\x09\x0a\x00\x03\x00", 8);
  Cropped c = Crop(GifBytes(gif), {"1", "1", "6", "4", "255", "255", "255"});
  EXPECT_EQ(c.gif.version, "GIF89a");
  EXPECT_EQ(c.gif.loop, 3);
  ASSERT_EQ(c.gif.images.size(), 2u);
  EXPECT_EQ(c.gif.images[0].control.flags, 0);
  EXPECT_EQ(c.gif.images[0].control.delay, 10);
  EXPECT_EQ(c.gif.images[1].control.flags, -1);
}

TEST(Pictcrop, FramesAsAViewerShowsThem) {
  // A 6 x 4 screen. A: red all over. B: a 3 x 2 green patch at (1, 1) whose second pixel
  // is transparent. C: one blue pixel at (4, 2). Each frame is written as the letters of
  // its colours (w: the fill colour), row after row; the crop is (2, 1) to (5, 3).
  struct Case {
    const char* what;
    int disposalA, disposalB;
    const char* frame1;  // B over what A left
    const char* frame2;  // C over what B left
  } cases[] = {
      {"left in place", 1, 0, "rrrrrr rgrgrr rgggrr rrrrrr", "rrrrrr rgrgrr rgggbr rrrrrr"},
      {"B set back to the fill", 0, 2, "rrrrrr rgrgrr rgggrr rrrrrr",
       "rrrrrr rwwwrr rwwwbr rrrrrr"},
      {"B set back to A", 1, 3, "rrrrrr rgrgrr rgggrr rrrrrr", "rrrrrr rrrrrr rrrrbr rrrrrr"},
      {"A set back to the fill", 2, 1, "wwwwww wgwgww wgggww wwwwww",
       "wwwwww wgwgww wgggbw wwwwww"},
      {"both set back", 3, 3, "wwwwww wgwgww wgggww wwwwww", "wwwwww wwwwww wwwwbw wwwwww"},
      {"undefined disposal 5 stays", 5, 5, "rrrrrr rgrgrr rgggrr rrrrrr",
       "rrrrrr rgrgrr rgggbr rrrrrr"},
  };
  // Table: white, red, green, blue, black (the transparent index of B).
  const std::string table = Table({255, 255, 255, 255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0});
  auto control = [](int disposal, int transparent) {
    std::string g("!\xf9\x04\x00\x05\x00\x00\x00", 8);
    g[3] = static_cast<char>(disposal << 2 | (transparent >= 0 ? 1 : 0));
    g[6] = static_cast<char>(transparent >= 0 ? transparent : 0);
    return g;
  };
  for (const Case& c : cases) {
    TestGif gif = OneImageGif(6, 4, table + std::string(9, '\0'), std::vector<uint8_t>(24, 1));
    gif.images[0].extensions = control(c.disposalA, -1);
    gif.images.push_back(ImageAt(1, 1, 3, 2, {2, 4, 2, 2, 2, 2}));
    gif.images.back().extensions = control(c.disposalB, 4);
    gif.images.push_back(ImageAt(4, 2, 1, 1, {3}));
    // A fill in the table (white, index 0: the frames stay in the input's indices) and
    // one outside it (written in colours).
    for (const char* fill : {"255,255,255", "10,20,30"}) {
      SCOPED_TRACE(std::string(c.what) + ", fill " + fill);
      const bool white = fill[0] == '2';
      const std::map<char, std::string> letters = {
          {'r', "255,0,0"}, {'g', "0,255,0"}, {'b', "0,0,255"}, {'w', fill}};
      Cropped out = Crop(GifBytes(gif), {"2", "1", "5", "3", white ? "255" : "10",
                                         white ? "255" : "20", white ? "255" : "30"});
      ASSERT_EQ(out.gif.images.size(), 3u) << out.run.err;
      const char* frames[3] = {"rrrrrr rrrrrr rrrrrr rrrrrr", c.frame1, c.frame2};
      for (int i = 0; i < 3; ++i) {
        std::vector<std::string> want;
        for (int y = 1; y < 4; ++y) {
          for (int x = 2; x < 6; ++x) want.push_back(letters.at(frames[i][y * 7 + x]));
        }
        EXPECT_EQ(Colours(out.gif, i), want) << "frame " << i;
        // Whole frames: no transparency, no disposal.
        EXPECT_EQ(out.gif.images[static_cast<size_t>(i)].control.flags, i < 2 ? 0 : -1);
      }
      if (white) {
        EXPECT_EQ(out.gif.images[2].flags, 0x07);
      }
    }
  }
}

TEST(Pictcrop, Failures) {
  const std::string gif = GifBytes(OneImageGif(8, 6, kTable, Pattern(8, 6)));
  EXPECT_EQ(::Run("pictcrop", {"a", "b"}).err,
            "usage : pictcrop orgGIF x1 y1 x2 y2 R G B newGIF\n");
  struct Case {
    std::vector<std::string> args;
    const char* err;
  } cases[] = {
      {{"0", "0", "7", "5", "256", "0", "0"}, "bad RGB value.\n"},
      {{"0", "0", "7", "5", "0", "-1", "0"}, "bad RGB value.\n"},
      {{"-1", "0", "7", "5", "0", "0", "0"}, "bad image area.\n"},
      {{"0", "-1", "7", "5", "0", "0", "0"}, "bad image area.\n"},
      {{"0", "0", "8", "5", "0", "0", "0"}, "bad image area.\n"},
      {{"3", "0", "2", "5", "0", "0", "0"}, "bad image area.\n"},
      {{"0", "0", "7", "6", "0", "0", "0"}, "bad image area.\n"},
      {{"0", "3", "7", "2", "0", "0", "0"}, "bad image area.\n"},
  };
  for (const Case& c : cases) {
    Cropped r = Crop(gif, c.args);
    EXPECT_EQ(r.run.err, c.err) << c.args[0] << c.args[1] << c.args[2] << c.args[3];
    EXPECT_EQ(r.run.status, 1);
  }
  Scratch dir;
  dir.Write("in.gif", gif);
  EXPECT_EQ(
      ::Run("pictcrop", {"none.gif", "0", "0", "1", "1", "0", "0", "0", "o.gif"}, "", dir.path).err,
      "none.gif : file not found.\n");
  EXPECT_EQ(
      ::Run("pictcrop", {"in.gif", "0", "0", "1", "1", "0", "0", "0", "no/o.gif"}, "", dir.path)
          .err,
      "file not created.\n");
  EXPECT_EQ(Crop("GIF88a" + gif.substr(6), {"0", "0", "1", "1", "0", "0", "0"}).run.err,
            "in.gif : bad magic number.\n");
  TestGif wide = OneImageGif(8, 6, kTable, Pattern(8, 6));
  wide.images[0].codeSize = 12;
  wide.images[0].data = std::string("\x00", 1);
  EXPECT_EQ(Crop(GifBytes(wide), {"0", "0", "1", "1", "0", "0", "0"}).run.err, "bad code size.\n");
  // Standard input and output.
  RunResult piped = ::Run("pictcrop", {"-", "0", "0", "1", "1", "0", "0", "0", "-"}, gif);
  EXPECT_EQ(piped.status, 0);
  GifFile out;
  EXPECT_TRUE(ParseGif(piped.out, &out)) << out.error;
  // A lost write.
  RunResult full =
      ::Run("pictcrop", {"in.gif", "0", "0", "7", "5", "0", "0", "0", "/dev/full"}, "", dir.path);
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err, "bytes write error.\n");
}
