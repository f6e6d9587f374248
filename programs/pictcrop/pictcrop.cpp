// pictcrop: a rectangle cut out of every frame of a GIF file, as a viewer shows the
// frames, written as a new GIF file whose logical screen is the rectangle. Pixels of the
// rectangle that no image has drawn get a fill colour. A frame whose colours are all in
// its image's table is written in that table's indices, else as a true-colour picture
// reduced to a table of its own. Each image's delay and the loop count go along.
#include <cstring>

#include "common/numbers.h"
#include "common/program.h"
#include "common/stream.h"
#include "gifread/frames.h"
#include "gifread/gifread.h"
#include "gifwrite/sgif.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " orgGIF x1 y1 x2 y2 R G B newGIF",
    "Cuts one rectangle out of every frame of a GIF file, as a viewer shows it, into a new GIF "
    "file.",
    "orgGIF\tthe GIF file read (\"-\": standard input)\n"
    "x1 y1\tthe top left pixel of the rectangle on the screen\n"
    "x2 y2\tthe bottom right pixel of the rectangle, included\n"
    "R G B\tthe colour of the pixels no image has drawn, 0 to 255 each\n"
    "newGIF\tthe GIF file written (\"-\": standard output)\n"};

constexpr int kEntries = 256;

struct Tables {
  unsigned char red[kEntries], green[kEntries], blue[kEntries];
};

struct Crop {
  int x1, y1, x2, y2;
  int width() const { return x2 - x1 + 1; }
  int height() const { return y2 - y1 + 1; }
};

// The rows of the frame, one at a time for the writer.
struct FrameRows {
  Frames* frames;
  const FrameImage* image;
};

void IndexRow(int r, const unsigned char* rows[3], void* context) {
  const auto* f = static_cast<const FrameRows*>(context);
  rows[0] = FrameIndexRow(f->frames, *f->image, r);
}

void ColourRow(int r, const unsigned char* rows[3], void* context) {
  const auto* f = static_cast<const FrameRows*>(context);
  FrameColourRow(f->frames, *f->image, r, rows);
}

// The header, once the extensions before the first image (or the trailer) are known:
// "GIF89a" when they hold any the output carries.
struct Output {
  FILE* stream;
  int width, height;
  const Tables* global;  // null without a global table
  bool started = false;
  bool looped = false;  // the loop extension written
};

void Start(Output* out, const GIFExtensions& extensions) {
  if (!out->started) {
    const bool some = extensions.control.present || extensions.loop >= 0;
    const Tables* g = out->global;
    InitStoreGIF(out->stream, out->width, out->height, g ? g->red : nullptr, g ? g->green : nullptr,
                 g ? g->blue : nullptr, some);
    out->started = true;
  }
  if (extensions.loop >= 0 && !out->looped) {
    PutLoop(out->stream, extensions.loop);
    out->looped = true;
  }
}

}  // namespace

int main(int argc, char** argv) {
  StartProgram(argc, argv, kProgram);
  if (argc != 10) Usage(kProgram.usage);
  int corner[4];
  for (int k = 0; k < 4; ++k) corner[k] = WholeArgument(argv[2 + k]);
  unsigned char fill[3];
  for (int c = 0; c < 3; ++c) {
    const int v = WholeArgument(argv[6 + c]);
    if (v < 0 || v > 255) Fail("bad RGB value.\n");
    fill[c] = static_cast<unsigned char>(v);
  }
  CheckOutput(argv[9], argv[1]);
  Stream in{OpenInput(argv[1])};
  if (!in) Fail("%s : file not found.\n", argv[1]);
  SetGIFInput(in.get());
  CheckMagic(argv[1]);
  const int screenWidth = GetWord();
  const int screenHeight = GetWord();

  const Crop crop{corner[0], corner[1], corner[2], corner[3]};
  const long long cw = static_cast<long long>(crop.x2) - crop.x1 + 1;
  const long long ch = static_cast<long long>(crop.y2) - crop.y1 + 1;
  if (crop.x1 < 0 || crop.y1 < 0 || crop.x2 >= screenWidth || cw <= 0 || crop.y2 >= screenHeight ||
      ch <= 0) {
    Fail("bad image area.\n");
  }

  FILE* out = OpenOutput(argv[9]);
  if (out == nullptr) Fail("file not created.\n");

  // Logical screen: flags, background colour index, aspect ratio, global table.
  const int flags = Get();
  Skip(2);
  const int res = ColourResolution(flags);
  Tables global;
  const bool hasGlobal = (flags & kTableFlag) != 0;
  if (hasGlobal) {
    ReadCM(res, TableBits(flags), global.red, global.green, global.blue);
  } else {
    std::memcpy(global.red, StoreGIF_Gray, kEntries);
    std::memcpy(global.green, StoreGIF_Gray, kEntries);
    std::memcpy(global.blue, StoreGIF_Gray, kEntries);
  }
  Output output{out, crop.width(), crop.height(), hasGlobal ? &global : nullptr};

  Frames frames;
  StartFrames(&frames, ImageBox{crop.x1, crop.y1, crop.width(), crop.height()}, fill);
  Tables local;
  FrameImage image;
  GIFExtensions extensions;
  ImageBox box;
  while (NextImage(&box, &extensions)) {
    Start(&output, extensions);
    const int imageFlags = Get();
    const bool hasLocal = (imageFlags & kTableFlag) != 0;
    if (hasLocal) ReadCM(res, TableBits(imageFlags), local.red, local.green, local.blue);
    const Tables& active = hasLocal ? local : global;
    const int codeSize = GetCodeSize();
    StartFrameImage(&image, frames, box, active.red, active.green, active.blue, extensions.control);
    DecodeImage(box.width, box.height, (imageFlags & kInterlaceFlag) != 0, codeSize, KeepFrameRow,
                &image);
    // The output frames are whole: no transparency, no disposal; the delay goes along.
    if (extensions.control.present) {
      GraphicControl control;
      control.delay = extensions.control.delay;
      PutGraphicControl(out, control);
    }
    FrameRows rows{&frames, &image};
    if (FrameInIndices(&frames, &image)) {
      StoreGIF_Rows(out, 0, 0, crop.width(), crop.height(), hasLocal ? local.red : nullptr,
                    hasLocal ? local.green : nullptr, hasLocal ? local.blue : nullptr, IndexRow,
                    &rows);
    } else {
      StoreGIF_RGBRows(out, 0, 0, crop.width(), crop.height(), ColourRow, &rows);
    }
    EndFrameImage(&frames, &image);
  }
  Start(&output, extensions);
  TermStoreGIF(out);
  return 0;
}
