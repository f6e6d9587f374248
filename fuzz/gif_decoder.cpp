// Fuzz target: the GIF decoder, walking the block stream as the decoding programs do,
// once with each form of DecodeImage and its colour-table reader: the screen form
// (GetCM, then GetLUT for the local tables), the index form (16-bit ReadCM) and the
// true-colour form (8-bit ReadCM), and the row form, whose rows must each come once.
#include <cstdint>
#include <vector>

#include "gifread/gifread.h"
#include "support.h"

namespace {

// Screens above this many cells are passed over: the programs would allocate them,
// which only measures the machine's memory.
constexpr int64_t kMaxScreen = int64_t{1} << 24;

enum class Form { Screen, Index, Colour, Rows };

void CountRow(int y, const unsigned char*, void* context) {
  auto* seen = static_cast<std::vector<int>*>(context);
  if (y < 0 || y >= static_cast<int>(seen->size()) || (*seen)[static_cast<size_t>(y)]++ != 0)
    __builtin_trap();
}

void Walk(Form form) {
  CheckMagic();
  const int width = GetWord();
  const int height = GetWord();
  Plane screen;
  if (form == Form::Screen) {
    if (int64_t{width} * height > kMaxScreen || !MakePlane(&screen, width, height)) return;
  }
  const int flags = Get();
  Skip(2);
  const int res = ColourResolution(flags);
  unsigned char red[256] = {}, green[256] = {}, blue[256] = {};
  uint16_t red16[256] = {}, green16[256] = {}, blue16[256] = {};
  unsigned char all[256], selection[256];
  for (unsigned char& a : all) a = 1;
  all[17] = 0;
  auto readTable = [&](int f, bool local) {
    switch (form) {
      case Form::Screen:
        if (local) {
          GetLUT(res, TableBits(f), all, all, all, (f & 1) != 0, selection);
        } else {
          GetCM(res, TableBits(f), red, green, blue, 0, 0, 0);
        }
        break;
      case Form::Index: ReadCM(res, TableBits(f), red16, green16, blue16); break;
      case Form::Colour:
      case Form::Rows: ReadCM(res, TableBits(f), red, green, blue); break;
    }
  };
  if (flags & kTableFlag) readTable(flags, false);
  ImageBox image;
  while (NextImage(&image)) {
    const int imageFlags = Get();
    if (imageFlags & kTableFlag) readTable(imageFlags, true);
    const int codeSize = GetCodeSize();
    const bool interlace = (imageFlags & kInterlaceFlag) != 0;
    if (form == Form::Screen) {
      if (!image.Inside(width, height)) return;
      DecodeImage(image.left, image.top, image.width, image.height, interlace, codeSize,
                  screen.rows.data());
    } else if (form == Form::Index) {
      CellPicture picture = DecodeImage(image.width, image.height, interlace, codeSize);
      if (picture.rows.size() != static_cast<size_t>(image.height)) __builtin_trap();
    } else if (form == Form::Rows) {
      std::vector<int> seen(static_cast<size_t>(image.height), 0);
      DecodeImage(image.width, image.height, interlace, codeSize, CountRow, &seen);
      for (int n : seen) {
        if (n != 1) __builtin_trap();
      }
    } else {
      int grey = -1;
      ColourPicture picture =
          DecodeImage(image.width, image.height, interlace, codeSize, red, green, blue, &grey);
      if (grey != 0 && grey != 1) __builtin_trap();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzGuard guard;
  for (Form form : {Form::Screen, Form::Index, Form::Colour, Form::Rows}) {
    FILE* stream = MemoryStream(data, size);
    if (stream == nullptr) return 0;
    SetGIFInput(stream);
    try {
      Walk(form);
    } catch (const FuzzStop&) {
    }
    std::fclose(stream);
  }
  SetGIFInput(stdin);
  return 0;
}
