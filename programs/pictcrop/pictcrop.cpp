// pictcrop: a rectangle cut out of every image of a GIF file, written as a new GIF file
// whose logical screen is the rectangle. Pixels of the rectangle that an image does not
// cover get a fill colour: its index when the image's table holds it, else the crop is
// written as a true-colour picture and reduced to a table of its own.
#include <algorithm>
#include <cstring>

#include "common/numbers.h"
#include "common/program.h"
#include "common/stream.h"
#include "gifread/gifread.h"
#include "gifwrite/sgif.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " orgGIF x1 y1 x2 y2 R G B newGIF",
    "Cuts one rectangle out of every image of a GIF file into a new GIF file.",
    "orgGIF\tthe GIF file read (\"-\": standard input)\n"
    "x1 y1\tthe top left pixel of the rectangle on the screen\n"
    "x2 y2\tthe bottom right pixel of the rectangle, included\n"
    "R G B\tthe colour of the pixels no image covers, 0 to 255 each\n"
    "newGIF\tthe GIF file written (\"-\": standard output)\n"};

constexpr int kEntries = 256;

struct Tables {
  unsigned char red[kEntries], green[kEntries], blue[kEntries];
  int fill;  // the highest index of the fill colour, or -1
};

struct Crop {
  int x1, y1, x2, y2;
  int width() const { return x2 - x1 + 1; }
  int height() const { return y2 - y1 + 1; }
};

// The columns of crop row y that the image covers, as [from, to] in screen columns;
// from > to when it covers none.
void Covered(const Crop& crop, const ImageBox& image, int y, int* from, int* to) {
  *from = std::max(crop.x1, image.left);
  *to = std::min(crop.x2, image.Right());
  if (y < image.top || y > image.Bottom()) *to = *from - 1;
}

// The crop as indices, built in place in the index plane: every target lies at or
// before its source in row order, so each pixel is read before it is overwritten.
void IndexCrop(const Crop& crop, const ImageBox& image, int fill, Plane* index) {
  const unsigned char fillIndex = static_cast<unsigned char>(fill);
  for (int y = crop.y1; y <= crop.y2; ++y) {
    unsigned char* out = index->rows[y - crop.y1];
    int from, to;
    Covered(crop, image, y, &from, &to);
    if (from > to) {
      std::memset(out, fillIndex, static_cast<size_t>(crop.width()));
      continue;
    }
    std::memmove(out + (from - crop.x1), index->rows[y] + from, static_cast<size_t>(to - from + 1));
    std::memset(out, fillIndex, static_cast<size_t>(from - crop.x1));
    std::memset(out + (to + 1 - crop.x1), fillIndex, static_cast<size_t>(crop.x2 - to));
  }
}

// The crop as colours: red and green into their planes, blue into the index plane, in
// place as above.
void ColourCrop(const Crop& crop, const ImageBox& image, const Tables& t, const unsigned char fill[3],
                Plane* red, Plane* green, Plane* index) {
  for (int y = crop.y1; y <= crop.y2; ++y) {
    unsigned char* r = red->rows[y - crop.y1];
    unsigned char* g = green->rows[y - crop.y1];
    unsigned char* b = index->rows[y - crop.y1];
    const unsigned char* source = index->rows[y];
    int from, to;
    Covered(crop, image, y, &from, &to);
    for (int x = crop.x1; x <= crop.x2; ++x) {
      const int i = x - crop.x1;
      if (x >= from && x <= to) {
        const unsigned char k = source[x];
        r[i] = t.red[k];
        g[i] = t.green[k];
        b[i] = t.blue[k];
      } else {
        r[i] = fill[0];
        g[i] = fill[1];
        b[i] = fill[2];
      }
    }
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
  if (!in) Fail("file not found.\n");
  SetGIFInput(in.get());
  CheckMagic();
  const int screenWidth = GetWord();
  const int screenHeight = GetWord();

  const Crop crop{corner[0], corner[1], corner[2], corner[3]};
  const long long cw = static_cast<long long>(crop.x2) - crop.x1 + 1;
  const long long ch = static_cast<long long>(crop.y2) - crop.y1 + 1;
  if (crop.x1 < 0 || crop.y1 < 0 || crop.x2 >= screenWidth || cw <= 0 || crop.y2 >= screenHeight || ch <= 0) {
    Fail("bad image area.\n");
  }

  Plane red, green, index;
  if (!MakePlane(&red, screenWidth, screenHeight) || !MakePlane(&green, screenWidth, screenHeight) ||
      !MakePlane(&index, screenWidth, screenHeight)) {
    Fail("memory allocation error.\n");
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
    global.fill = GetCM(res, TableBits(flags), global.red, global.green, global.blue, fill[0], fill[1], fill[2]);
  } else {
    std::memcpy(global.red, StoreGIF_Gray, kEntries);
    std::memcpy(global.green, StoreGIF_Gray, kEntries);
    std::memcpy(global.blue, StoreGIF_Gray, kEntries);
    global.fill = -1;
  }
  InitStoreGIF(out, crop.width(), crop.height(), hasGlobal ? global.red : nullptr,
               hasGlobal ? global.green : nullptr, hasGlobal ? global.blue : nullptr);

  Tables local;
  ImageBox image;
  while (NextImage(&image)) {
    if (!image.Inside(screenWidth, screenHeight)) Fail("bad image size.\n");
    const int imageFlags = Get();
    const bool hasLocal = (imageFlags & kTableFlag) != 0;
    if (hasLocal) {
      local.fill = GetCM(res, TableBits(imageFlags), local.red, local.green, local.blue, fill[0], fill[1], fill[2]);
    }
    const Tables& active = hasLocal ? local : global;
    const int codeSize = GetCodeSize();
    DecodeImage(image.left, image.top, image.width, image.height, (imageFlags & kInterlaceFlag) != 0, codeSize,
                index.rows.data());
    const bool covered =
        crop.x1 >= image.left && crop.x2 <= image.Right() && crop.y1 >= image.top && crop.y2 <= image.Bottom();
    if (active.fill == -1 && !covered) {
      ColourCrop(crop, image, active, fill, &red, &green, &index);
      StoreGIF_RGB(out, 0, 0, crop.width(), crop.height(), red.rows.data(), green.rows.data(), index.rows.data());
    } else {
      IndexCrop(crop, image, active.fill, &index);
      StoreGIF(out, 0, 0, crop.width(), crop.height(), hasLocal ? local.red : nullptr,
               hasLocal ? local.green : nullptr, hasLocal ? local.blue : nullptr, index.rows.data());
    }
  }
  TermStoreGIF(out);
  return 0;
}
