// pictstack: every image of a GIF file decoded and written as a TIFF file of its own
// size, named by a printf-style format that receives the image number from 0. The
// true-colour build writes grey images as one-channel 8-bit files and the others as
// RGB; the palette build writes palette files whose index width fits the colour table.
#include <cstdint>
#include <cstdio>
#include <string>

#include "common/numbered.h"
#include "common/numbers.h"
#include "common/program.h"
#include "common/stream.h"
#include "gifread/gifread.h"
#include "tiffwrite/sif.h"

namespace {

constexpr int kEntries = 256;

#if defined(MESHPIX_PALETTE)

// Colour tables as 16-bit colour maps, with the TIFF index width they need.
struct Tables {
  uint16_t red[kEntries], green[kEntries], blue[kEntries];
  int width;
};

void ReadTables(int res, int flags, Tables* t) { t->width = ReadCM(res, TableBits(flags), t->red, t->green, t->blue); }

// A file without a global table: grey, entry i = 257 i.
void DefaultTables(Tables* t) {
  for (int i = 0; i < kEntries; ++i) t->red[i] = t->green[i] = t->blue[i] = static_cast<uint16_t>(257 * i);
  t->width = 8;
}

// An index past the table (a 2-entry table with code size 8 can carry 255) widens the
// image's indices until they hold it; the map entries past the table are 0.
int IndexWidth(const CellPicture& picture, int width) {
  int largest = 0;
  for (const uint16_t* row : picture.rows) {
    for (int x = 0; x < picture.width; ++x) largest = row[x] > largest ? row[x] : largest;
  }
  while (largest >= (1 << width)) width *= 2;
  return width;
}

void StoreImage(const ImageBox& image, bool interlace, int codeSize, const Tables& t, const char* name) {
  const CellPicture picture = DecodeImage(image.width, image.height, interlace, codeSize);
  StoreImageFile_CM(name, image.width, image.height, IndexWidth(picture, t.width), t.red, t.green, t.blue,
                    picture.rows.data(), nullptr);
}

#else

constexpr int kSampleBits = 8;

struct Tables {
  unsigned char red[kEntries], green[kEntries], blue[kEntries];
};

void ReadTables(int res, int flags, Tables* t) { ReadCM(res, TableBits(flags), t->red, t->green, t->blue); }

// A file without a global table: entry i = i, a grey ramp.
void DefaultTables(Tables* t) {
  for (int i = 0; i < kEntries; ++i) t->red[i] = t->green[i] = t->blue[i] = static_cast<unsigned char>(i);
}

void StoreImage(const ImageBox& image, bool interlace, int codeSize, const Tables& t, const char* name) {
  int grey;
  const ColourPicture picture = DecodeImage(image.width, image.height, interlace, codeSize, t.red, t.green, t.blue, &grey);
  if (grey) {
    StoreImageFile(name, image.width, image.height, kSampleBits, picture.red.rows.data(), nullptr);
  } else {
    StoreImageFile_RGB(name, image.width, image.height, kSampleBits, picture.red.rows.data(),
                       picture.green.rows.data(), picture.blue.rows.data(), nullptr);
  }
}

#endif

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) Usage("usage : pictstack GIF file_name_format");
  if (!IsNameFormat(argv[2])) Fail("bad file name format.\n");
  Stream in{OpenInput(argv[1])};
  if (!in) Fail("file not found.\n");
  SetGIFInput(in.get());
  CheckMagic();

  // Logical screen: width and height (not used), flags, background, aspect ratio.
  Skip(4);
  const int flags = Get();
  Skip(2);
  const int res = ColourResolution(flags);
  Tables global;
  if (flags & kTableFlag) {
    ReadTables(res, flags, &global);
  } else {
    DefaultTables(&global);
  }

  Tables local;
  ImageBox image;
  for (int k = 0; NextImage(&image); ++k) {
    const int imageFlags = Get();
    const Tables* tables = &global;
    if (imageFlags & kTableFlag) {
      ReadTables(res, imageFlags, &local);
      tables = &local;
    }
    const int codeSize = GetCodeSize();
    const std::string name = NumberedName(argv[2], k);
    if (image.width == 0 || image.height == 0) {
      // A picture without pixels makes no valid TIFF file: none is written.
      SkipBlock();
      std::fprintf(stderr, "%s : empty image (warning).\n", name.c_str());
      continue;
    }
    StoreImage(image, (imageFlags & kInterlaceFlag) != 0, codeSize, *tables, name.c_str());
  }
  return 0;
}
