// pictstack: every image of a GIF file decoded and written as a TIFF file of its own
// size, named by a printf-style format that receives the image number from 0. The
// true-colour build writes grey images as one-channel 8-bit files and the others as
// RGB; the palette build writes palette files whose index width fits the colour table.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/numbered.h"
#include "common/numbers.h"
#include "common/program.h"
#include "common/stream.h"
#include "gifread/gifread.h"
#include "tiffwrite/sif.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " GIF file_name_format",
#if defined(MESHPIX_PALETTE)
    "Writes every image of a GIF file as a palette TIFF file of its own, named by its number.",
#else
    "Writes every image of a GIF file as a grey or RGB TIFF file of its own, named by its number.",
#endif
    "GIF\tthe GIF file read (\"-\": standard input)\n"
    "file_name_format\tthe printf format of the names, one integer conversion (\"f%03d.tif\")\n"};

constexpr int kEntries = 256;

// One image decoded as indices into a plane of its own size; the writers look the
// colours up row by row as they serialise.
Plane DecodePicture(const ImageBox& image, bool interlace, int codeSize) {
  Plane picture;
  if (!MakePlane(&picture, image.width, image.height)) FailLine("cell memory allocation error.");
  DecodeImage(0, 0, image.width, image.height, interlace, codeSize, picture.rows.data());
  return picture;
}

#if defined(MESHPIX_PALETTE)

// Colour tables as 16-bit colour maps, with the TIFF index width they need.
struct Tables {
  uint16_t red[kEntries], green[kEntries], blue[kEntries];
  int width;
};

void ReadTables(int res, int flags, Tables* t) {
  t->width = ReadCM(res, TableBits(flags), t->red, t->green, t->blue);
}

// A file without a global table: grey, entry i = 257 i.
void DefaultTables(Tables* t) {
  for (int i = 0; i < kEntries; ++i)
    t->red[i] = t->green[i] = t->blue[i] = static_cast<uint16_t>(257 * i);
  t->width = 8;
}

// An index past the table (a 2-entry table with code size 8 can carry 255) widens the
// image's indices until they hold it; the map entries past the table are 0.
int IndexWidth(const Plane& picture, int width) {
  unsigned char largest = 0;
  for (const unsigned char* row : picture.rows) {
    for (int x = 0; x < picture.width; ++x) largest = row[x] > largest ? row[x] : largest;
  }
  while (largest >= (1 << width)) width *= 2;
  return width;
}

struct IndexRows {
  const Plane* picture;
  int bits;  // 1, 2, 4 or 8
};

// One row of indices packed at the index width, most significant bits first.
void PackRow(int y, unsigned char* bytes, void* context) {
  const auto* t = static_cast<const IndexRows*>(context);
  const unsigned char* row = t->picture->rows[static_cast<size_t>(y)];
  const int width = t->picture->width;
  if (t->bits == 8) {
    std::memcpy(bytes, row, static_cast<size_t>(width));
    return;
  }
  const int perByte = 8 / t->bits;
  for (int x = 0; x < width; x += perByte) {
    unsigned acc = 0;
    for (int k = 0; k < perByte; ++k) {
      acc = (acc << t->bits) | (x + k < width ? row[x + k] : 0u);
    }
    *bytes++ = static_cast<unsigned char>(acc);
  }
}

void StoreImage(const ImageBox& image, bool interlace, int codeSize, const Tables& t,
                const char* name) {
  const Plane picture = DecodePicture(image, interlace, codeSize);
  IndexRows rows{&picture, IndexWidth(picture, t.width)};
  StoreImageFile_CM(name, image.width, image.height, rows.bits, t.red, t.green, t.blue, PackRow,
                    &rows, nullptr);
}

#else

constexpr int kSampleBits = 8;

struct Tables {
  unsigned char red[kEntries], green[kEntries], blue[kEntries];
};

void ReadTables(int res, int flags, Tables* t) {
  ReadCM(res, TableBits(flags), t->red, t->green, t->blue);
}

// A file without a global table: entry i = i, a grey ramp.
void DefaultTables(Tables* t) {
  for (int i = 0; i < kEntries; ++i)
    t->red[i] = t->green[i] = t->blue[i] = static_cast<unsigned char>(i);
}

// The colour of each table entry as the bytes of one RGB pixel: red, green, blue in
// the first three bytes, so that one 4-byte copy writes a pixel (the fourth byte is
// overwritten by the next pixel).
struct ColourRows {
  const Plane* picture;
  const Tables* tables;
  uint32_t pixel[kEntries];
};

void MakePixels(ColourRows* rows) {
  const Tables& c = *rows->tables;
  for (int i = 0; i < kEntries; ++i) {
    const unsigned char bytes[4] = {c.red[i], c.green[i], c.blue[i], 0};
    std::memcpy(&rows->pixel[i], bytes, 4);
  }
}

void GreyRow(int y, unsigned char* bytes, void* context) {
  const auto* t = static_cast<const ColourRows*>(context);
  const unsigned char* row = t->picture->rows[static_cast<size_t>(y)];
  for (int x = 0; x < t->picture->width; ++x) bytes[x] = t->tables->red[row[x]];
}

// Red, green and blue, pixel after pixel. The row buffer holds exactly 3 bytes a
// pixel, so the last pixel is written byte by byte.
void ColourRow(int y, unsigned char* bytes, void* context) {
  const auto* t = static_cast<const ColourRows*>(context);
  const unsigned char* row = t->picture->rows[static_cast<size_t>(y)];
  const int width = t->picture->width;
  if (width == 0) return;
  for (int x = 0; x + 1 < width; ++x) {
    std::memcpy(bytes, &t->pixel[row[x]], 4);
    bytes += 3;
  }
  std::memcpy(bytes, &t->pixel[row[width - 1]], 3);
}

// Grey when every index the picture uses is a grey entry of the table; the first
// pixel of another colour decides.
bool IsGrey(const Plane& picture, const Tables& t) {
  bool grey[kEntries];
  for (int i = 0; i < kEntries; ++i) grey[i] = t.red[i] == t.green[i] && t.red[i] == t.blue[i];
  for (const unsigned char* row : picture.rows) {
    bool all = true;
    for (int x = 0; x < picture.width; ++x) all &= grey[row[x]];
    if (!all) return false;
  }
  return true;
}

void StoreImage(const ImageBox& image, bool interlace, int codeSize, const Tables& t,
                const char* name) {
  const Plane picture = DecodePicture(image, interlace, codeSize);
  ColourRows rows{&picture, &t, {}};
  MakePixels(&rows);
  if (IsGrey(picture, t)) {
    StoreImageFile(name, image.width, image.height, kSampleBits, GreyRow, &rows, nullptr);
  } else {
    StoreImageFile_RGB(name, image.width, image.height, kSampleBits, ColourRow, &rows, nullptr);
  }
}

#endif

}  // namespace

int main(int argc, char** argv) {
  InputFiles inputs;
  Stream in{OpenNumberedSplit(argc, argv, kProgram, &inputs)};
  if (!in) Fail("%s : file not found.\n", argv[1]);
  SetGIFInput(in.get());
  CheckMagic(argv[1]);

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
    CheckOutputFile(inputs, name.c_str());
    StoreImage(image, (imageFlags & kInterlaceFlag) != 0, codeSize, *tables, name.c_str());
  }
  return 0;
}
