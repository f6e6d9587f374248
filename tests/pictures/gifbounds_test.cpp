// The GIF programs at the edges of their input: files without their trailer, files cut
// short elsewhere, screens far larger than their data (under a memory limit), and file
// name formats that would make huge names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "giffiles.h"
#include "support/run.h"

namespace {

// A 6 x 4 screen: a full image, then a comment, then an interlaced 2 x 3 image at
// (3, 1) with a local table.
TestGif TwoImages() {
  TestGif gif = OneImageGif(6, 4, Table({255, 255, 255, 0, 0, 0, 200, 30, 30, 20, 20, 200}), {});
  for (int i = 0; i < 24; ++i) gif.images[0].pixels.push_back(static_cast<uint8_t>((i * 7) % 4));
  TestImage part = ImageAt(3, 1, 2, 3, {1, 0, 1, 1, 0, 1});
  part.interlace = true;
  part.table = Table({0, 0, 0, 255, 255, 255});
  part.extensions = std::string(
      "!\xfe\x03"
      "abc\x00",
      7);
  gif.images.push_back(part);
  return gif;
}

// Every GIF program on an input called in.gif: its command line, and the files it
// writes besides its standard output.
struct Program {
  const char* name;
  std::vector<std::string> args;
  std::vector<std::string> outputs;
};

const std::vector<Program>& Programs() {
  static const std::vector<Program> programs = {
      {"pictcrop", {"in.gif", "1", "0", "5", "3", "1", "2", "3", "out.gif"}, {"out.gif"}},
      {"pictstack", {"in.gif", "s%d.tif"}, {"s0.tif", "s1.tif"}},
      {"pictstack-palette", {"in.gif", "p%d.tif"}, {"p0.tif", "p1.tif"}},
      {"pictunpack", {"in.gif", "u%d.gif"}, {"u0.gif", "u1.gif"}},
      {"pictmeasure", {"in.gif", "255", "255", "255"}, {}},
      {"pictmeasure-inside", {"in.gif", "255", "255", "255"}, {}},
      {"pictanimate", {".", "-in.gif", "0", "0", "anim.gif"}, {"anim.gif"}},
  };
  return programs;
}

struct Outcome {
  RunResult run;
  std::vector<std::string> files;
};

Outcome RunOn(const Program& p, const std::string& gif) {
  Scratch dir;
  dir.Write("in.gif", gif);
  Outcome o{::Run(p.name, p.args, "", dir.path), {}};
  for (const std::string& f : p.outputs) o.files.push_back(dir.Read(f));
  return o;
}

TEST(GifEnds, NoTrailerAfterAWholeImageEndsTheFile) {
  // A file whose last image (or an extension after it) ends where the trailer would
  // stand gives every program what the complete file gives.
  const std::string whole = GifBytes(TwoImages());
  ASSERT_EQ(whole.back(), ';');
  TestGif withTail = TwoImages();
  withTail.tail = std::string("!\xfe\x01x\x00", 5);
  const std::string tailed = GifBytes(withTail);
  for (const Program& p : Programs()) {
    const Outcome complete = RunOn(p, whole);
    ASSERT_EQ(complete.run.status, 0) << p.name << complete.run.err;
    for (const std::string& cut :
         {whole.substr(0, whole.size() - 1), tailed.substr(0, tailed.size() - 1)}) {
      const Outcome o = RunOn(p, cut);
      EXPECT_EQ(o.run.status, 0) << p.name << o.run.err;
      EXPECT_EQ(o.run.err, complete.run.err) << p.name;
      EXPECT_EQ(o.run.out, complete.run.out) << p.name;
      for (size_t i = 0; i < o.files.size(); ++i) {
        EXPECT_FALSE(o.files[i].empty()) << p.name << " " << p.outputs[i];
        EXPECT_EQ(o.files[i], complete.files[i]) << p.name << " " << p.outputs[i];
      }
    }
  }
}

TEST(GifEnds, EndElsewhereStaysAnError) {
  // Cut after the screen (no image yet), inside the first image's data, inside the
  // comment's label and data, and inside the second image's descriptor: each fails with
  // status 1, as before.
  const std::string whole = GifBytes(TwoImages());
  const size_t firstImage = whole.find(',');
  const size_t comment = whole.find("!\xfe");
  ASSERT_NE(comment, std::string::npos);
  const size_t cuts[] = {firstImage, firstImage + 14, comment + 1, comment + 4, comment + 8};
  for (const Program& p : Programs()) {
    for (size_t cut : cuts) {
      const Outcome o = RunOn(p, whole.substr(0, cut));
      EXPECT_EQ(o.run.status, 1) << p.name << " cut at " << cut << ": " << o.run.err;
      EXPECT_NE(o.run.err, "") << p.name << " cut at " << cut;
    }
  }
}

TEST(GifBounds, HugeScreenWithATinyImageTakesLittleMemory) {
  // A 65535 x 65535 screen holding one 1 x 1 image: every program finishes within a
  // 300 MB address space (a screen plane alone would take 4 GiB). pictcrop cuts 20 rows
  // of the full width with a fill in no table, so its output is true colour.
  TestGif gif = OneImageGif(1, 1, GrayTable(2), {1});
  gif.width = 65535;
  gif.height = 65535;
  gif.images[0].left = 70;
  gif.images[0].top = 5;
  Scratch dir;
  dir.Write("in.gif", GifBytes(gif));
  // The same screen as an animation of such images, transparent, set back to the
  // background and to what was before: the frames are kept for the crop alone.
  TestGif anim = gif;
  for (const char* control : {"!\xf9\x04\x0d\x01\x00\x00\x00", "!\xf9\x04\x09\x01\x00\x01\x00",
                              "!\xf9\x04\x04\x01\x00\x00\x00"}) {
    anim.images.push_back(gif.images[0]);
    anim.images.back().extensions = std::string(control, 8);
  }
  dir.Write("anim.gif", GifBytes(anim));
  struct Case {
    std::string command;
    std::string out;
  };
  const Case cases[] = {
      {"pictcrop anim.gif 0 0 65534 19 1 2 3 out.gif", ""},
      {"pictcrop anim.gif 0 0 65534 19 255 255 255 out.gif", ""},
      {"pictcrop in.gif 0 0 65534 19 1 2 3 out.gif", ""},
      {"pictcrop in.gif 60 0 80 9 255 255 255 out.gif", ""},
      {"pictstack in.gif s%d.tif", ""},
      {"pictstack-palette in.gif p%d.tif", ""},
      {"pictunpack in.gif u%d.gif", ""},
      {"pictmeasure in.gif 0 0 0 0 0 0", "70\t5\t70\t5\n"},
      {"pictmeasure-inside in.gif 255 255 255 255 255 255", "70\t5\t70\t5\n"},
      {"pictanimate . -in.gif 0 0 anim.gif", ""},
  };
  for (const Case& c : cases) {
    const std::string bin = ProgramPath("pictcrop");
    const std::string dirOfBin = bin.substr(0, bin.rfind('/') + 1);
#if defined(__SANITIZE_ADDRESS__)
    const std::string limit = "";  // the sanitizers need more address space than the limit leaves
#else
    const std::string limit = "ulimit -v 300000; ";
#endif
    const RunResult r =
        RunCommand({"/bin/sh", "-c", limit + "exec " + dirOfBin + c.command}, "", dir.path);
    EXPECT_EQ(r.status, 0) << c.command << ": " << r.err;
    EXPECT_EQ(r.out, c.out) << c.command;
  }
  // The crops: 65535 x 20 and 21 x 10, with the image's white pixel where it lies.
  const std::string crop = dir.Read("out.gif");
  ASSERT_GE(crop.size(), 10u);
  EXPECT_EQ(static_cast<unsigned char>(crop[6]) | static_cast<unsigned char>(crop[7]) << 8, 21);
  EXPECT_EQ(static_cast<unsigned char>(crop[8]) | static_cast<unsigned char>(crop[9]) << 8, 10);
}

TEST(GifBounds, ImagesBeyondTheScreenAreClipped) {
  // A 6 x 4 white screen and one image of red (1) and blue (2) stripes placed partly,
  // wholly or over the edges of it: pictmeasure finds only the red on the screen.
  struct Case {
    int left, top, width, height;
    const char* measured;  // pictmeasure-inside of red
  } cases[] = {
      {4, 2, 5, 3, "4\t2\t5\t3\n"},
      {0, 0, 9, 7, "0\t0\t5\t2\n"},
      {6, 0, 3, 3, ""},
      {65000, 65000, 2, 2, ""},
  };
  for (const Case& c : cases) {
    TestGif gif = OneImageGif(6, 4, Table({255, 255, 255, 255, 0, 0, 0, 0, 255, 0, 0, 0}), {});
    gif.images[0] = ImageAt(c.left, c.top, c.width, c.height, {});
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) gif.images[0].pixels.push_back(y < 3 ? 1 + (x + y) % 2 : 2);
    }
    const RunResult measured = ::Run("pictmeasure-inside", {"-", "255", "0", "0"}, GifBytes(gif));
    EXPECT_EQ(measured.out, c.measured) << c.left;
    EXPECT_EQ(measured.err, *c.measured ? "" : "no area.\n") << c.left;
  }
}

TEST(GifBounds, NameFormatsOfHugeNamesAreRefusedBeforeAnyOutput) {
  Scratch dir;
  dir.Write("in.gif", GifBytes(TwoImages()));
  const std::string longText(4100, 'n');
  for (const char* program : {"pictstack", "pictstack-palette", "pictunpack"}) {
    for (const std::string& format :
         {std::string("fo/%2000000000d"), std::string("%.5000d"), longText + "%d"}) {
      const RunResult r = ::Run(program, {"in.gif", format}, "", dir.path);
      EXPECT_EQ(r.status, 1) << program << " " << format.substr(0, 20);
      EXPECT_EQ(r.err, "bad file name format.\n") << program << " " << format.substr(0, 20);
    }
    const RunResult r = RunCommand({"/bin/ls"}, "", dir.path);
    EXPECT_EQ(r.out, "in.gif\n") << program;
  }
}

}  // namespace
