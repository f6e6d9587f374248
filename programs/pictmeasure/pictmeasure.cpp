// pictmeasure: the bounding rectangle of the pixels of a GIF file selected by a colour
// condition, over all its images. The condition is three range lists or two RGB
// corners; the outside build selects the pixels that do not meet it (the condition
// names the background), the inside build those that do.
#include <cstdio>

#include "common/numbers.h"
#include "common/program.h"
#include "gifread/gifread.h"
#include "gifread/rl.h"

namespace {

#if defined(MESHPIX_SELECT_INSIDE)
constexpr bool kInside = true;
#else
constexpr bool kInside = false;
#endif

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM,
    "usage : " MESHPIX_PROGRAM
    " GIF rangeListR rangeListG rangeListB\n"
    "        " MESHPIX_PROGRAM " GIF R1 G1 B1 R2 G2 B2",
#if defined(MESHPIX_SELECT_INSIDE)
    "Prints the rectangle around the pixels of a GIF file that meet a colour condition.",
#else
    "Prints the rectangle around the pixels of a GIF file that do not meet a colour condition.",
#endif
    "GIF\tthe GIF file read (\"-\": standard input)\n"
    "rangeListR\tthe red values of the condition, as \"0-9,20,200-\"; G and B likewise\n"
    "R1 G1 B1\tthe lowest red, green and blue of the condition, 0 to 255\n"
    "R2 G2 B2\tthe highest red, green and blue of the condition, 0 to 255\n"};

constexpr int kMaxSample = 255;

struct Rectangle {
  int left, top, right, bottom;
};

// Channel sets from the corners (R1 G1 B1) and (R2 G2 B2), each checked in turn.
void CornerSets(char** corner, unsigned char sets[3][kMaxSample + 1]) {
  for (int c = 0; c < 3; ++c) {
    const int low = WholeArgument(corner[c]);
    const int high = WholeArgument(corner[c + 3]);
    if (low < 0 || high > kMaxSample || high < low) Fail("bad RGB range.\n");
    for (int v = 0; v <= kMaxSample; ++v) sets[c][v] = v >= low && v <= high;
  }
}

// Extends the rectangle by the selected pixels of one decoded row of an image, within
// the part of the image on the logical screen (shown).
struct Measurement {
  ImageBox shown;
  const unsigned char* selection;
  Rectangle* area;
};

void MeasureRow(int y, const unsigned char* row, void* context) {
  const auto* m = static_cast<const Measurement*>(context);
  if (y >= m->shown.height) return;
  const unsigned char* selection = m->selection;
  int first = 0;
  const int stop = m->shown.width;
  while (first < stop && !selection[row[first]]) ++first;
  if (first == stop) return;
  int last = stop - 1;
  while (!selection[row[last]]) --last;
  Rectangle* area = m->area;
  const int left = m->shown.left;
  const int top = m->shown.top;
  if (left + first < area->left) area->left = left + first;
  if (left + last > area->right) area->right = left + last;
  if (top + y < area->top) area->top = top + y;
  if (top + y > area->bottom) area->bottom = top + y;
}

}  // namespace

int main(int argc, char** argv) {
  StartProgram(argc, argv, kProgram);
  if (argc != 5 && argc != 8) Usage(kProgram.usage);
  unsigned char sets[3][kMaxSample + 1];
  if (argc == 5) {
    for (int c = 0; c < 3; ++c) RangeList(argv[2 + c], kMaxSample, sets[c]);
  } else {
    CornerSets(argv + 2, sets);
  }

  FILE* in = OpenInput(argv[1]);
  if (in == nullptr) Fail("%s : file not found.\n", argv[1]);
  SetGIFInput(in);
  CheckMagic(argv[1]);
  const int screenWidth = GetWord();
  const int screenHeight = GetWord();
  // No screen is kept: an image is measured row by row as it is decoded, and nothing
  // outside the current image counts.

  // Logical screen: flags, background colour index, aspect ratio, global table.
  const int flags = Get();
  Skip(2);
  const int res = ColourResolution(flags);
  unsigned char global[256] = {};
  if (flags & kTableFlag) GetLUT(res, TableBits(flags), sets[0], sets[1], sets[2], kInside, global);

  Rectangle area{screenWidth, screenHeight, -1, -1};
  unsigned char local[256];
  ImageBox image;
  while (NextImage(&image)) {
    const int imageFlags = Get();
    const unsigned char* selection = global;
    if (imageFlags & kTableFlag) {
      GetLUT(res, TableBits(imageFlags), sets[0], sets[1], sets[2], kInside, local);
      selection = local;
    }
    const int codeSize = GetCodeSize();
    // Only the part on the screen counts. An image wholly outside the screen, or
    // whose part on it lies inside the rectangle found so far, cannot enlarge it.
    const ImageBox shown = image.Clipped(ImageBox{0, 0, screenWidth, screenHeight});
    if (shown.Empty() || (shown.left >= area.left && shown.Right() <= area.right &&
                          shown.top >= area.top && shown.Bottom() <= area.bottom)) {
      SkipBlock();
      continue;
    }
    Measurement measurement{shown, selection, &area};
    DecodeImage(image.width, image.height, (imageFlags & kInterlaceFlag) != 0, codeSize, MeasureRow,
                &measurement);
  }
  CloseInput(in);

  if (area.right < area.left || area.bottom < area.top) Fail("no area.\n");
  std::printf("%d\t%d\t%d\t%d\n", area.left, area.top, area.right, area.bottom);
  FinishOutput();
  return 0;
}
