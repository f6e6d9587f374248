// The frames of a GIF animation as a viewer shows them, kept for one window of the
// logical screen: a pixel outside the window never changes one inside it.
//
//   Frames frames; StartFrames(&frames, window, fill)
//                      the window (a box on the logical screen) and the colour of the
//                      pixels no image has drawn
//   FrameImage image; StartFrameImage(&image, frames, box, red, green, blue, control)
//                      an image about to be decoded: its box on the screen, its colour
//                      table (three 256-entry tables, copied) and its graphic control
//                      (transparent index, disposal method)
//   DecodeImage(width, height, interlace, m, KeepFrameRow, &image)
//                      the image's part within the window, kept row by row
//   FrameInIndices(&frames, &image)
//                      true when every pixel of the frame has a colour of the image's
//                      table, so that the frame can be written in the image's indices
//   FrameIndexRow(&frames, image, r), FrameColourRow(&frames, image, r, rows)
//                      row r of the window (0 at its top) of the frame the image makes:
//                      as indices of the image's table (after FrameInIndices said yes; the
//                      image's own index where it shows, the highest index of the colour
//                      elsewhere), or as red, green and blue rows; valid until the next call
//   EndFrameImage(&frames, &image)
//                      the image's disposal done: what the next image is drawn over
//
// A frame is the screen as the images before left it, with this image's pixels that are
// not its transparent index drawn over it. After the frame, the image's box is left as
// it is (disposal 0, 1 and 4 to 7), set back to the fill colour (2) or set back to what
// it was before the image (3). The screen under the images is kept as colours only once
// an image must be merged into it; until then the last two images that stay are kept as
// their indices and drawn over the screen as each row is asked for, so that an image
// that hides them all (as most frames of an animation do) costs no merge. Memory, at
// most: the window's colours (3 bytes a pixel) and indices (1 byte a pixel), and the
// indices of three images' parts within it, whatever the size of the logical screen.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "gifread/gifread.h"

struct FrameImage {
  ImageBox box;                                        // on the logical screen
  ImageBox part;                                       // its part within the window (empty: none)
  std::vector<std::unique_ptr<unsigned char[]>> rows;  // indices of part's rows, as decoded
  unsigned char colour[3][256];                        // red, green, blue of each index
  int transparent = -1;
  int disposal = 0;
  bool opaque = true;  // no pixel of the part is the transparent index
  // Colour to index, the highest index of each colour (FrameInIndices): open addressing
  // of key + 1 (0: empty) and index.
  static constexpr size_t kSlots = 512;
  uint32_t keys[kSlots];
  unsigned char indices[kSlots];
};

struct Frames {
  ImageBox window;
  unsigned char fill[3];
  bool drawn = false;  // screen holds the screen under the kept images; else it is all fill
  Plane screen[3];     // red, green, blue of the window, made at the first need
  bool hasKept = false;
  FrameImage kept;  // the last image left in place, not yet drawn into screen
  bool hasBelow = false;
  FrameImage below;                   // the one left in place before it (only with kept), under it
  std::vector<unsigned char> row[3];  // the row handed out: red, green, blue
  std::vector<int16_t> wide;          // a row of indices being laid, -1: none
  // The frame in the image's indices (FrameInIndices): the index of the fill colour
  // and of each of the kept images' colours (-1: none), and the rows when they were made
  // to find out (cached).
  int16_t fillIndex = -1;
  int16_t keptIndex[256];
  int16_t belowIndex[256];
  Plane indices;
  bool cached = false;
};

void StartFrames(Frames* frames, const ImageBox& window, const unsigned char fill[3]);
void StartFrameImage(FrameImage* image, const Frames& frames, const ImageBox& box,
                     const unsigned char* red, const unsigned char* green,
                     const unsigned char* blue, const GraphicControl& control);
void KeepFrameRow(int y, const unsigned char* row, void* image);
bool FrameInIndices(Frames* frames, FrameImage* image);
const unsigned char* FrameIndexRow(Frames* frames, const FrameImage& image, int r);
void FrameColourRow(Frames* frames, const FrameImage& image, int r, const unsigned char* rows[3]);
void EndFrameImage(Frames* frames, FrameImage* image);
