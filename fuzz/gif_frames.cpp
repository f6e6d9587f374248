// Fuzz target: the frames a viewer shows, as pictcrop builds them: the block walk with
// the graphic control and loop extensions kept, each image decoded into a window of the
// screen, the frame asked for in the image's indices and in colours, row by row, and
// each disposal done. The window is chosen by the last four bytes of the input.
#include <cstdint>

#include "gifread/frames.h"
#include "gifread/gifread.h"
#include "support.h"

namespace {

// Windows above this many pixels are passed over: pictcrop would write them whole,
// which only measures the machine.
constexpr int64_t kMaxWindow = int64_t{1} << 20;

void Walk(const uint8_t* data, size_t size) {
  CheckMagic();
  const int width = GetWord();
  const int height = GetWord();
  const uint8_t* pick = size >= 4 ? data + size - 4 : data;
  ImageBox window;
  window.left = width > 0 ? pick[0] % width : 0;
  window.top = height > 0 ? pick[1] % height : 0;
  window.width = width > window.left ? 1 + pick[2] % (width - window.left) : 0;
  window.height = height > window.top ? 1 + pick[3] % (height - window.top) : 0;
  if (window.Empty() || int64_t{window.width} * window.height > kMaxWindow) return;
  const int flags = Get();
  Skip(2);
  const int res = ColourResolution(flags);
  unsigned char red[256] = {}, green[256] = {}, blue[256] = {};
  if (flags & kTableFlag) ReadCM(res, TableBits(flags), red, green, blue);
  const unsigned char fill[3] = {pick[0], pick[1], pick[2]};
  Frames frames;
  StartFrames(&frames, window, fill);
  FrameImage image;
  GIFExtensions extensions;
  ImageBox box;
  while (NextImage(&box, &extensions)) {
    const int imageFlags = Get();
    unsigned char local[3][256];
    const bool own = (imageFlags & kTableFlag) != 0;
    if (own) ReadCM(res, TableBits(imageFlags), local[0], local[1], local[2]);
    const int codeSize = GetCodeSize();
    StartFrameImage(&image, frames, box, own ? local[0] : red, own ? local[1] : green,
                    own ? local[2] : blue, extensions.control);
    DecodeImage(box.width, box.height, (imageFlags & kInterlaceFlag) != 0, codeSize, KeepFrameRow,
                &image);
    if (FrameInIndices(&frames, &image)) {
      for (int y = 0; y < window.height; ++y) {
        if (FrameIndexRow(&frames, image, y) == nullptr) __builtin_trap();
      }
    }
    for (int y = 0; y < window.height; ++y) {
      const unsigned char* rows[3] = {};
      FrameColourRow(&frames, image, y, rows);
      if (rows[0] == nullptr || rows[1] == nullptr || rows[2] == nullptr) __builtin_trap();
    }
    EndFrameImage(&frames, &image);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzGuard guard;
  FILE* stream = MemoryStream(data, size);
  if (stream == nullptr) return 0;
  SetGIFInput(stream);
  try {
    Walk(data, size);
  } catch (const FuzzStop&) {
  }
  std::fclose(stream);
  SetGIFInput(stdin);
  return 0;
}
