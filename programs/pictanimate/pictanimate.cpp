// pictanimate: the images of several GIF files of one directory joined into one animated
// GIF. The names come from a name file, from the command line or from the directory in
// a chosen order. The images' compressed data is copied unchanged; their colour tables
// become one global table when every image uses the same one. When every file has the
// same logical screen and every image lies on it (the frames of one animation), that is
// the screen and each image keeps its place; else each image is centred on a screen as
// large as the largest image. Each image keeps its transparent index and disposal method.
#include <dirent.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/lines.h"
#include "common/numbers.h"
#include "common/program.h"
#include "common/stream.h"
#include "gifread/gifread.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " directory nameFile delayTime repeatCount GIF",
    "Joins the images of GIF files of one directory into one animated GIF, data copied unchanged.",
    "directory\tthe folder of the GIF files\n"
    "nameFile\ta file of names; \"-NAMES\" the names themselves; \"-\" every file of the folder, "
    "\"--r\" reversed, \"--n\" by number, \"--rn\" by number reversed\n"
    "delayTime\tthe pause after each image, hundredths of a second, 0 to 65535\n"
    "repeatCount\tthe loop count, 0 to 65536 (0: no loop extension)\n"
    "GIF\tthe animated GIF written (\"-\": standard output)\n"};

constexpr int kMaxDelay = 65535;
constexpr int kMaxRepeat = 65536;
constexpr int kMaxTable = 3 * 256;
// Image flags kept when an image is copied: interlace, reserved bits and the size field
// (the table and sort flags are cleared); without the size field when a table of
// another size is attached.
constexpr int kKeptFlags = 0x5F;
constexpr int kKeptFlagsNoSize = 0x58;
// Logical screen flags written: colour resolution 8 bits, not sorted, with or without
// a global table; the table's size field (0 here) is added to them.
constexpr int kScreenRes8WithTable = 0xF0;
constexpr int kScreenRes8WithoutTable = 0x70;
// Graphic control flags an image keeps: its disposal method and transparency flag.
constexpr int kKeptControl = 0x1C | kTransparencyFlag;

[[noreturn]] void Error(const std::string& subject, const char* message) {
  Fail("%s : %s\n", subject.c_str(), message);
}

// ---------------------------------------------------------------------------
// The list of image names

// "%lf" from the first "+", "-" or digit of the name; a not-a-number is not numeric,
// so that names sort consistently.
bool Numeric(const std::string& name, double* value) {
  const size_t at = name.find_first_of("+-0123456789");
  if (at == std::string::npos) return false;
  return std::sscanf(name.c_str() + at, "%lf", value) == 1 && !std::isnan(*value);
}

int Normal(const std::string& a, const std::string& b) { return std::strcmp(a.c_str(), b.c_str()); }

// Non-numeric names first, in byte order, then numeric names by their numbers; names
// of equal numbers in byte order, so that the order does not depend on the directory's.
int Ascending(const std::string& a, const std::string& b) {
  double x, y;
  const bool numericA = Numeric(a, &x);
  const bool numericB = Numeric(b, &y);
  if (numericA && numericB && x != y) return x < y ? -1 : 1;
  if (numericA != numericB) return numericA ? 1 : -1;
  return Normal(a, b);
}

enum class Order { Normal, Reverse, Ascending, Descending };

void Sort(std::vector<std::string>* names, Order order) {
  auto compare = [order](const std::string& a, const std::string& b) {
    switch (order) {
      case Order::Normal: return Normal(a, b) < 0;
      case Order::Reverse: return Normal(b, a) < 0;
      case Order::Ascending: return Ascending(a, b) < 0;
      case Order::Descending: return Ascending(b, a) < 0;
    }
    return false;
  };
  std::sort(names->begin(), names->end(), compare);
}

// The white-space separated words of a text.
void Words(std::string_view text, std::vector<std::string>* words) {
  std::vector<std::string_view> found(static_cast<size_t>(SplitWords(text, nullptr, 0)));
  SplitWords(text, found.data(), static_cast<int>(found.size()));
  for (std::string_view word : found) words->emplace_back(word);
}

struct CloseDirectory {
  void operator()(DIR* d) const { closedir(d); }
};

// Every entry of the directory but "." and "..". The directory is read twice, counting
// first, as a changing directory is reported rather than half read.
void ListDirectory(const char* directory, std::vector<std::string>* names) {
  std::unique_ptr<DIR, CloseDirectory> dir{opendir(directory)};
  if (!dir) Error(directory, "directory not found.");
  auto skip = [](const char* entry) {
    return std::strcmp(entry, ".") == 0 || std::strcmp(entry, "..") == 0;
  };
  size_t count = 0;
  while (const dirent* entry = readdir(dir.get())) count += !skip(entry->d_name);
  if (count == 0) Error(directory, "no image file name.");
  rewinddir(dir.get());
  while (const dirent* entry = readdir(dir.get())) {
    if (skip(entry->d_name)) continue;
    if (names->size() == count) Error(directory, "bad number of image file name.");
    names->emplace_back(entry->d_name);
  }
  if (names->size() != count) Error(directory, "bad number of image file name.");
}

std::vector<std::string> NameList(const char* directory, const char* nameFile) {
  std::vector<std::string> names;
  if (nameFile[0] != '-') {
    Stream file{OpenFile(nameFile, "r")};
    if (!file) Error(nameFile, "name file not found.");
    std::string text;
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) text.append(chunk, got);
    Words(text, &names);
    if (names.empty()) Error(nameFile, "no image file name.");
    return names;
  }
  if (nameFile[1] != '-' && nameFile[1] != '\0') {
    Words(nameFile + 1, &names);
    if (names.empty()) Error(nameFile + 1, "no image file name.");
    return names;
  }
  Order order = Order::Normal;
  if (nameFile[1] == '-') {
    const char a = nameFile[2];
    const char b = a == '\0' ? '\0' : nameFile[3];
    if (a == 'r' && b == '\0') {
      order = Order::Reverse;
    } else if (a == 'n' && b == '\0') {
      order = Order::Ascending;
    } else if ((a == 'r' && b == 'n') || (a == 'n' && b == 'r')) {
      order = Order::Descending;
    } else {
      Error(nameFile + 1, "unknown sorting option.");
    }
  }
  ListDirectory(directory, &names);
  Sort(&names, order);
  return names;
}

// A whole decimal number ("WORD : not a number." otherwise) from 0 to max.
bool ReadUnsigned(const char* text, unsigned max, unsigned* value) {
  const int v = WholeArgument(text);
  if (v < 0 || static_cast<unsigned>(v) > max) return false;
  *value = static_cast<unsigned>(v);
  return true;
}

// ---------------------------------------------------------------------------
// Input files

// What a short read of an input file says, but in its signature and colour tables.
constexpr char kEndOfFile[] = "unexpected end of file.";

struct Input {
  Stream file;
  std::string path;
  GIFBlocks blocks;
  int width = 0, height = 0;  // the logical screen
  int res = 8;
  int globalBits = 1;  // of the global table, or of the grey ramp that stands for it
  GIFExtensions extensions;
};

// A colour table of the given byte length, brought to 8 bits per component.
void Read(Input* in, unsigned char* table, int length) {
  in->blocks.shortRead = "colormap read error.";
  ReadBytes(&in->blocks, table, static_cast<size_t>(length));
  in->blocks.shortRead = kEndOfFile;
  ScaleColourTable(in->res, table, length);
}

// Header and logical screen descriptor:
//   offset 0    6   "GIF87a" or "GIF89a"
//   offset 6    2   screen width
//   offset 8    2   screen height
//   offset 10   1   flags: global table, colour resolution, sort, table size exponent - 1
//   offset 11   1   background colour index
//   offset 12   1   pixel aspect ratio
// then the global table, read into global when it is given, else skipped. A file
// without a global table gets a grey ramp of the flags' size in its place.
void Open(Input* in, const std::string& path, unsigned char* global) {
  in->path = path;
  in->file.reset(OpenFile(path.c_str(), "rb"));
  if (!in->file) Error(path, "GIF file not found.");
  in->blocks = GIFBlocks{in->file.get(), in->path.c_str(), "not a GIF file."};
  unsigned char magic[6];
  ReadSignature(&in->blocks, magic, sizeof magic, "not a GIF file.");
  in->blocks.shortRead = kEndOfFile;
  in->width = ReadWord(&in->blocks);
  in->height = ReadWord(&in->blocks);
  const int flags = ReadByte(&in->blocks);
  SkipBytes(&in->blocks, 2);
  in->res = ColourResolution(flags);
  in->globalBits = TableBits(flags);
  const int length = 3 << in->globalBits;
  if (flags & kTableFlag) {
    if (global != nullptr) {
      Read(in, global, length);
    } else {
      SkipBytes(&in->blocks, static_cast<size_t>(length));
    }
  } else if (global != nullptr) {
    const int top = (1 << in->globalBits) - 1;
    for (int k = 0; k <= top; ++k) {
      std::memset(global + 3 * k, static_cast<int>(255.0 * k / top + 0.5), 3);
    }
  }
}

// Blocks up to the next image, its graphic control kept: true with the image's position
// and size read (the flags byte is next), false at the trailer, or at the end of the file
// where a block would start once an image has been read whole (a file without its
// trailer).
bool NextImage(Input* in, ImageBox* box) {
  in->extensions.control = GraphicControl{};
  for (;;) {
    const int c = NextBlock(&in->blocks);
    if (c == kTrailer) return false;
    if (c == kImageSeparator) break;
    if (c != kExtensionIntroducer) Error(in->path, "unknown extension introducer.");
    const int label = ReadByte(&in->blocks);
    ReadExtension(&in->blocks, label, &in->extensions);
  }
  box->left = ReadWord(&in->blocks);
  box->top = ReadWord(&in->blocks);
  box->width = ReadWord(&in->blocks);
  box->height = ReadWord(&in->blocks);
  return true;
}

// What the graphic control written before an image keeps of its own: the disposal
// method, and the transparent index when it has one.
GraphicControl KeptControl(const GraphicControl& control, unsigned delay) {
  GraphicControl kept;
  kept.present = true;
  kept.flags = control.present ? control.flags & kKeptControl : 0;
  kept.delay = static_cast<int>(delay);
  kept.index = control.Transparent() >= 0 ? control.index : 0;
  return kept;
}

// The bits of an image's colour table: its own with a local table, else its file's
// global table's, whatever its size field holds.
int ImageBits(const Input& in, int flags) {
  return (flags & kTableFlag) ? TableBits(flags) : in.globalBits;
}

// ---------------------------------------------------------------------------
// The two passes

struct Survey {
  bool uniform = true;
  bool any = false;  // an image has been seen; reference holds its table
  unsigned char reference[kMaxTable];
  int maxBits = 0;
  int width = 0, height = 0;  // the largest image
  // One logical screen for all: every file's is screenWidth x screenHeight (-1 before
  // the first file) and every image lies on it.
  bool shared = true;
  int screenWidth = -1, screenHeight = -1;
  bool controls = false;  // an image keeps a transparent index or a disposal method
  int Width() const { return shared && any ? screenWidth : width; }
  int Height() const { return shared && any ? screenHeight : height; }
};

void Unify(Survey* survey, const unsigned char* table, int bits) {
  const size_t length = static_cast<size_t>(3) << bits;
  if (!survey->any) {
    std::memcpy(survey->reference, table, length);
  } else if (survey->maxBits != bits || std::memcmp(survey->reference, table, length) != 0) {
    survey->uniform = false;
  }
}

// First pass: the screen size, the largest table and whether all tables are one.
void SurveyFile(const std::string& path, Survey* survey) {
  Input in;
  unsigned char global[kMaxTable];
  Open(&in, path, survey->uniform ? global : nullptr);
  if (survey->screenWidth < 0) {
    survey->screenWidth = in.width;
    survey->screenHeight = in.height;
  }
  survey->shared &= in.width == survey->screenWidth && in.height == survey->screenHeight;
  ImageBox box;
  while (NextImage(&in, &box)) {
    survey->shared &= box.Inside(in.width, in.height);
    survey->controls |= KeptControl(in.extensions.control, 0).flags != 0;
    const int flags = ReadByte(&in.blocks);
    const int bits = ImageBits(in, flags);
    if (flags & kTableFlag) {
      if (survey->uniform) {
        unsigned char local[kMaxTable];
        Read(&in, local, 3 << bits);
        Unify(survey, local, bits);
      } else {
        SkipBytes(&in.blocks, static_cast<size_t>(3) << bits);
      }
    } else if (survey->uniform) {
      Unify(survey, global, bits);
    }
    survey->any = true;
    survey->maxBits = std::max(survey->maxBits, bits);
    ReadByte(&in.blocks);  // code size
    CopySubBlocks(&in.blocks, nullptr);
    survey->width = std::max(survey->width, box.width);
    survey->height = std::max(survey->height, box.height);
  }
}

void PutW(int value, FILE* out) {
  std::putc(value & 0xFF, out);
  std::putc((value >> 8) & 0xFF, out);
}

// Header, logical screen and global table, then the loop count (0: for ever).
void PutHeader(const Survey& survey, unsigned delay, unsigned repeat, FILE* out) {
  std::fputs(delay != 0 || repeat != 0 || survey.controls ? "GIF89a" : "GIF87a", out);
  PutW(survey.Width(), out);
  PutW(survey.Height(), out);
  const bool table = survey.any && survey.uniform;
  const int size = survey.any ? survey.maxBits - 1 : 0;
  std::putc((table ? kScreenRes8WithTable : kScreenRes8WithoutTable) | size, out);
  std::putc(0, out);  // background colour index
  std::putc(0, out);  // no aspect ratio
  if (table) std::fwrite(survey.reference, 1, static_cast<size_t>(3) << survey.maxBits, out);
  if (repeat != 0) PutLoop(out, static_cast<int>(repeat & 0xFFFF));
}

// Second pass: every image in its place on a shared screen, or centred; its data copied
// unchanged.
void CopyFile(const std::string& path, const Survey& survey, unsigned delay, FILE* out) {
  Input in;
  unsigned char global[kMaxTable];
  Open(&in, path, survey.uniform ? nullptr : global);
  ImageBox box;
  while (NextImage(&in, &box)) {
    if (box.width > survey.width || box.height > survey.height ||
        (survey.shared && !box.Inside(survey.screenWidth, survey.screenHeight))) {
      Error(path, "bad image size.");
    }
    // Graphic control: the delay; the image's disposal method and transparent index.
    const GraphicControl control = KeptControl(in.extensions.control, delay);
    if (delay != 0 || control.flags != 0) PutGraphicControl(out, control);
    std::putc(kImageSeparator, out);
    PutW(survey.shared ? box.left : (survey.width - box.width) / 2, out);
    PutW(survey.shared ? box.top : (survey.height - box.height) / 2, out);
    PutW(box.width, out);
    PutW(box.height, out);
    const int flags = ReadByte(&in.blocks);
    const int bits = ImageBits(in, flags);
    if (bits > survey.maxBits) Error(path, "bad bits per sample.");
    const int length = 3 << bits;
    if (survey.uniform) {
      if (flags & kTableFlag) SkipBytes(&in.blocks, static_cast<size_t>(length));
      std::putc(flags & kKeptFlags, out);
    } else if (flags & kTableFlag) {
      unsigned char local[kMaxTable];
      Read(&in, local, length);
      std::putc(flags, out);
      std::fwrite(local, 1, static_cast<size_t>(length), out);
    } else {
      std::putc((flags & kKeptFlagsNoSize) | kTableFlag | (bits - 1), out);
      std::fwrite(global, 1, static_cast<size_t>(length), out);
    }
    std::putc(ReadByte(&in.blocks), out);  // code size
    CopySubBlocks(&in.blocks, out);
  }
}

}  // namespace

int main(int argc, char** argv) {
  StartProgram(argc, argv, kProgram);
  if (argc != 6) Usage(kProgram.usage);
  const char* directory = argv[1];
  const std::vector<std::string> names = NameList(directory, argv[2]);
  unsigned delay, repeat;
  if (!ReadUnsigned(argv[3], kMaxDelay, &delay)) Error(argv[3], "bad delay time.");
  if (!ReadUnsigned(argv[4], kMaxRepeat, &repeat)) Error(argv[4], "bad repeat count.");

  std::vector<std::string> paths;
  for (const std::string& name : names) paths.push_back(std::string(directory) + "/" + name);
  InputFiles inputs;
  if (!IsDash(argv[2])) NoteInput(&inputs, argv[2]);  // the name file
  for (const std::string& path : paths) NoteInputFile(&inputs, path.c_str());
  CheckOutput(inputs, argv[5]);
  Survey survey;
  for (const std::string& path : paths) SurveyFile(path, &survey);

  Stream out{OpenOutput(argv[5])};
  if (!out) Error(argv[5], "file not open.");
  PutHeader(survey, delay, repeat, out.get());
  for (const std::string& path : paths) CopyFile(path, survey, delay, out.get());
  std::putc(kTrailer, out.get());
  if (!CloseOutput(out.release())) Error(argv[5], "file not stored.");
  return 0;
}
