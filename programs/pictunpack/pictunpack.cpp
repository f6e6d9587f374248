// pictunpack: every image of a GIF file copied, without decoding, into a GIF file of its
// own: the input's header and global colour table, the image as it stands (position,
// flags, local table, code size and data), the trailer. Extensions are dropped. The
// files are named by a printf-style format that receives the image number from 0.
#include <cstdio>
#include <cstring>
#include <string>

#include "common/numbered.h"
#include "common/numbers.h"
#include "common/program.h"
#include "common/stream.h"
#include "gifread/gifread.h"

namespace {

// Header and logical screen descriptor, kept as read:
//   offset 0    6   signature "GIF87a" or "GIF89a"
//   offset 6    2   screen width
//   offset 8    2   screen height
//   offset 10   1   flags: global table, colour resolution, sort, table size exponent - 1
//   offset 11   1   background colour index
//   offset 12   1   pixel aspect ratio
constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " GIF file_name_format",
    "Copies every image of a GIF file, undecoded, into a GIF file of its own, named by its number.",
    "GIF\tthe GIF file read (\"-\": standard input)\n"
    "file_name_format\tthe printf format of the names, one integer conversion (\"f%02d.gif\")\n"};

constexpr int kHeaderSize = 13;
constexpr int kFlagsOffset = 10;
// Image descriptor after ",": left, top, width, height (2 bytes each), flags.
constexpr int kDescriptorSize = 9;
constexpr int kImageFlagsOffset = 8;

int TableSize(int flags) { return 3 << ((flags & 7) + 1); }

bool ReadAll(FILE* in, unsigned char* buffer, size_t size) {
  return std::fread(buffer, 1, size, in) == size;
}

int GetByte(FILE* in, const char* message) {
  const int c = getc_unlocked(in);
  if (c == EOF) FailLine(message);
  return c;
}

// Sub-blocks up to and including the terminator, copied to out when it is given.
void CopyBlocks(FILE* in, FILE* out, const char* message) {
  if (!CopySubBlocks(in, out)) FailLine(message);
}

void Unpack(FILE* in, const char* format, const InputFiles& inputs) {
  unsigned char header[kHeaderSize];
  if (!ReadAll(in, header, kHeaderSize) || std::memcmp(header, "GIF8", 4) != 0 ||
      (header[4] != '7' && header[4] != '9') || header[5] != 'a') {
    Fail("not a GIF file.\n");
  }
  unsigned char global[3 * 256];
  const int globalSize = (header[kFlagsOffset] & kTableFlag) ? TableSize(header[kFlagsOffset]) : 0;
  if (!ReadAll(in, global, static_cast<size_t>(globalSize))) Fail("global colormap read error.\n");

  int k = 0;
  for (;;) {
    const int c = getc_unlocked(in);
    // The end of the file after a whole image stands for a missing trailer.
    if (c == kTrailer || (c == EOF && k > 0)) return;
    if (c == EOF) Fail("unexpected end of file.\n");
    if (c == kExtensionIntroducer) {
      GetByte(in, "extension function read error.");
      CopyBlocks(in, nullptr, "extension data read error.");
      continue;
    }
    if (c != kImageSeparator) Fail("unknown extension introducer.\n");

    const std::string name = NumberedName(format, k++);
    CheckOutputFile(inputs, name.c_str());
    Stream out{OpenFile(name.c_str(), "wb")};
    if (!out) Fail("%s : GIF file not stored.\n", name.c_str());
    std::fwrite(header, 1, kHeaderSize, out.get());
    std::fwrite(global, 1, static_cast<size_t>(globalSize), out.get());
    std::putc(kImageSeparator, out.get());
    unsigned char descriptor[kDescriptorSize];
    if (!ReadAll(in, descriptor, kDescriptorSize)) Fail("image descriptor read error.\n");
    std::fwrite(descriptor, 1, kDescriptorSize, out.get());
    const int flags = descriptor[kImageFlagsOffset];
    if (flags & kTableFlag) {
      unsigned char local[3 * 256];
      const int localSize = TableSize(flags);
      if (!ReadAll(in, local, static_cast<size_t>(localSize))) Fail("local colormap read error.\n");
      std::fwrite(local, 1, static_cast<size_t>(localSize), out.get());
    }
    std::putc(GetByte(in, "code size read error."), out.get());
    CopyBlocks(in, out.get(), "raster data read error.");
    std::putc(kTrailer, out.get());
    if (!CloseOutput(out.release())) Fail("%s : GIF file not stored.\n", name.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  StartProgram(argc, argv, kProgram);
  if (argc != 3) Usage(kProgram.usage);
  InputFiles inputs;
  NoteInput(&inputs, argv[1]);
  if (!IsNameFormat(argv[2])) Fail("bad file name format.\n");
  Stream in{OpenInput(argv[1])};
  if (!in) Fail("GIF file not open.\n");
  Unpack(in.get(), argv[2], inputs);
  return 0;
}
