// pictcrop: a rectangle cut out of every image of a GIF file, written as a new GIF file
// whose logical screen is the rectangle. Pixels of the rectangle that an image does not
// cover get a fill colour: its index when the image's table holds it, else the crop is
// written as a true-colour picture and reduced to a table of its own.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

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

// The part of one image inside the crop: screen rows top..bottom and columns
// from..to (none when from > to or top > bottom), kept row by row as the decoder
// delivers them, so that memory grows with the image data actually decoded.
struct Cut {
  int from, to, top, bottom;
  int left, imageTop;  // the image's position, to map its rows and columns
  std::vector<std::unique_ptr<unsigned char[]>> rows;  // screen row top + i
  bool Empty() const { return from > to || top > bottom; }
};

Cut MakeCut(const Crop& crop, const ImageBox& image) {
  Cut cut{std::max(crop.x1, image.left),
          std::min(crop.x2, image.Right()),
          std::max(crop.y1, image.top),
          std::min(crop.y2, image.Bottom()),
          image.left,
          image.top,
          {}};
  if (!cut.Empty()) cut.rows.resize(static_cast<size_t>(cut.bottom - cut.top + 1));
  return cut;
}

void KeepRow(int y, const unsigned char* row, void* context) {
  auto* cut = static_cast<Cut*>(context);
  const int screenRow = cut->imageTop + y;
  if (cut->Empty() || screenRow < cut->top || screenRow > cut->bottom) return;
  const size_t n = static_cast<size_t>(cut->to - cut->from + 1);
  auto& kept = cut->rows[static_cast<size_t>(screenRow - cut->top)];
  kept.reset(new (std::nothrow) unsigned char[n]);
  if (!kept) Fail("memory allocation error.\n");
  std::memcpy(kept.get(), row + (cut->from - cut->left), n);
}

// The crop's rows, one at a time for the writer: the fill colour where the image does
// not reach, the image's pixels (indices, or colours through the tables) where it
// does. The working rows hold the fill outside the image's columns all the time.
struct CropRows {
  const Crop* crop;
  const Cut* cut;
  const Tables* tables;                // null for an index crop
  std::vector<unsigned char> fill[3];  // a whole row of the fill, per channel
  std::vector<unsigned char> work[3];  // the row being handed out
  int channels;
};

void StartRows(CropRows* rows, const Crop& crop, const Cut& cut, const Tables* tables,
               const unsigned char* fill, int channels) {
  rows->crop = &crop;
  rows->cut = &cut;
  rows->tables = tables;
  rows->channels = channels;
  const size_t width = static_cast<size_t>(crop.width());
  for (int c = 0; c < channels; ++c) {
    rows->fill[c].assign(width, fill[c]);
    rows->work[c].assign(width, fill[c]);
  }
}

void CropRow(int r, const unsigned char* out[3], void* context) {
  auto* rows = static_cast<CropRows*>(context);
  const Crop& crop = *rows->crop;
  const Cut& cut = *rows->cut;
  const int y = crop.y1 + r;
  for (int c = 0; c < 3; ++c) out[c] = c < rows->channels ? rows->fill[c].data() : nullptr;
  if (cut.Empty() || y < cut.top || y > cut.bottom) return;
  const unsigned char* kept = cut.rows[static_cast<size_t>(y - cut.top)].get();
  const size_t at = static_cast<size_t>(cut.from - crop.x1);
  const size_t n = static_cast<size_t>(cut.to - cut.from + 1);
  if (rows->tables == nullptr) {
    if (n == static_cast<size_t>(crop.width())) {
      out[0] = kept;  // the image covers the whole row
      return;
    }
    std::memcpy(rows->work[0].data() + at, kept, n);
    out[0] = rows->work[0].data();
    return;
  }
  const unsigned char* table[3] = {rows->tables->red, rows->tables->green, rows->tables->blue};
  for (int c = 0; c < 3; ++c) {
    unsigned char* target = rows->work[c].data() + at;
    for (size_t i = 0; i < n; ++i) target[i] = table[c][kept[i]];
    out[c] = rows->work[c].data();
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
    global.fill = GetCM(res, TableBits(flags), global.red, global.green, global.blue, fill[0],
                        fill[1], fill[2]);
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
    const int imageFlags = Get();
    const bool hasLocal = (imageFlags & kTableFlag) != 0;
    if (hasLocal) {
      local.fill = GetCM(res, TableBits(imageFlags), local.red, local.green, local.blue, fill[0],
                         fill[1], fill[2]);
    }
    const Tables& active = hasLocal ? local : global;
    const int codeSize = GetCodeSize();
    // Only the part inside the crop is kept; the crop is built from it row by row.
    Cut cut = MakeCut(crop, image);
    DecodeImage(image.width, image.height, (imageFlags & kInterlaceFlag) != 0, codeSize, KeepRow,
                &cut);
    const bool covered = crop.x1 >= image.left && crop.x2 <= image.Right() &&
                         crop.y1 >= image.top && crop.y2 <= image.Bottom();
    CropRows rows;
    if (active.fill == -1 && !covered) {
      StartRows(&rows, crop, cut, &active, fill, 3);
      StoreGIF_RGBRows(out, 0, 0, crop.width(), crop.height(), CropRow, &rows);
    } else {
      // An index crop: the fill index where the image does not reach (never needed,
      // and -1, when the image covers the crop).
      const unsigned char fillIndex[1] = {static_cast<unsigned char>(active.fill)};
      StartRows(&rows, crop, cut, nullptr, fillIndex, 1);
      StoreGIF_Rows(out, 0, 0, crop.width(), crop.height(), hasLocal ? local.red : nullptr,
                    hasLocal ? local.green : nullptr, hasLocal ? local.blue : nullptr, CropRow,
                    &rows);
    }
  }
  TermStoreGIF(out);
  return 0;
}
