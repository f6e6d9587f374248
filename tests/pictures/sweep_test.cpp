// Every byte of a small valid GIF flipped, zeroed and cut off in turn, run through the
// picture programs: each damaged file must end with status 0 or 1, never a crash, with
// nothing on standard error but one-line messages.
#include <gtest/gtest.h>

#include "giffiles.h"
#include "support/cases.h"
#include "support/run.h"

namespace {

// Two images: a full one with an extension before it, and an interlaced one at (2, 1)
// with a local table and code size 2.
std::string SmallGif() {
  TestGif gif = OneImageGif(
      6, 4, GrayTable(4), {0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 2, 2, 3, 3, 0, 0, 1, 2, 3, 0, 1, 2, 3, 0});
  gif.images[0].extensions = std::string("!\xf9\x04\x00\x05\x00\x00\x00", 8);
  TestImage part;
  part.left = 2;
  part.top = 1;
  part.width = 3;
  part.height = 3;
  part.pixels = {1, 0, 1, 0, 1, 0, 1, 1, 0};
  part.table = Table({255, 0, 0, 0, 0, 255});
  part.interlace = true;
  part.codeSize = 2;
  gif.images.push_back(part);
  return GifBytes(gif);
}

void Sweep(const std::vector<std::string>& command) {
  const std::string valid = SmallGif();
  Scratch dir;
  RunCommand({"/bin/mkdir", "in"}, "", dir.path);
  auto run = [&](const std::string& bytes, const std::string& what) {
    dir.Write("in/x.gif", bytes);
    std::vector<std::string> args = command;
    args[0] = ProgramPath(command[0]);
    RunResult r = RunCommand(args, "", dir.path);
    EXPECT_TRUE(r.status == 0 || r.status == 1)
        << command[0] << " ended with status " << r.status << " on " << what << "\n"
        << r.err.substr(0, 2000);
    EXPECT_TRUE(OnlyMessages(r.err)) << command[0] << " on " << what;
  };
  run(valid, "the valid file");
  for (size_t i = 0; i < valid.size(); ++i) {
    std::string flipped = valid, zeroed = valid;
    flipped[i] = static_cast<char>(~flipped[i]);
    zeroed[i] = '\0';
    run(flipped, "byte " + std::to_string(i) + " flipped");
    run(zeroed, "byte " + std::to_string(i) + " zeroed");
    run(valid.substr(0, i), "the file cut at " + std::to_string(i));
  }
}

}  // namespace

TEST(PictureSweep, Pictmeasure) { Sweep({"pictmeasure", "in/x.gif", "-", "0-100", "-"}); }
TEST(PictureSweep, Pictstack) { Sweep({"pictstack", "in/x.gif", "f%d.tif"}); }
TEST(PictureSweep, PictstackPalette) { Sweep({"pictstack-palette", "in/x.gif", "p%d.tif"}); }
TEST(PictureSweep, Pictunpack) { Sweep({"pictunpack", "in/x.gif", "u%d.gif"}); }
TEST(PictureSweep, Pictanimate) {
  Sweep({"pictanimate", "in", "-x.gif x.gif", "3", "1", "out.gif"});
}
