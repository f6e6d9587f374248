// pictunpack: every image of a GIF file copied, without decoding, into a GIF file of its
// own: the input's header and global colour table, the image's graphic control extension
// when it has one (its delay, transparency and disposal), the image as it stands
// (position, flags, local table, code size and data), the trailer. Other extensions are
// dropped. The files are named by a printf-style format that receives the image number
// from 0.
#include <cstdio>
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

int TableSize(int flags) { return 3 << TableBits(flags); }

// Each part of the file has its own message for a short read.
void Unpack(FILE* stream, const char* format, const InputFiles& inputs) {
  GIFBlocks in{stream, nullptr, "not a GIF file."};
  unsigned char header[kHeaderSize];
  ReadSignature(&in, header, kHeaderSize, "not a GIF file.");
  unsigned char global[3 * 256];
  const int globalSize = (header[kFlagsOffset] & kTableFlag) ? TableSize(header[kFlagsOffset]) : 0;
  in.shortRead = "global colormap read error.";
  ReadBytes(&in, global, static_cast<size_t>(globalSize));

  int k = 0;
  GIFExtensions extensions;
  for (;;) {
    in.shortRead = "unexpected end of file.";
    const int c = NextBlock(&in);
    if (c == kTrailer) return;
    if (c == kExtensionIntroducer) {
      in.shortRead = "extension function read error.";
      const int label = ReadByte(&in);
      in.shortRead = "extension data read error.";
      ReadExtension(&in, label, &extensions);
      continue;
    }
    if (c != kImageSeparator) FailLine("unknown extension introducer.");

    const std::string name = NumberedName(format, k++);
    CheckOutputFile(inputs, name.c_str());
    Stream out{OpenFile(name.c_str(), "wb")};
    if (!out) Fail("%s : GIF file not stored.\n", name.c_str());
    std::fwrite(header, 1, kHeaderSize, out.get());
    std::fwrite(global, 1, static_cast<size_t>(globalSize), out.get());
    if (extensions.control.present) PutGraphicControl(out.get(), extensions.control);
    extensions.control = GraphicControl{};  // it was this image's
    std::putc(kImageSeparator, out.get());
    unsigned char descriptor[kDescriptorSize];
    in.shortRead = "image descriptor read error.";
    ReadBytes(&in, descriptor, kDescriptorSize);
    std::fwrite(descriptor, 1, kDescriptorSize, out.get());
    const int flags = descriptor[kImageFlagsOffset];
    if (flags & kTableFlag) {
      unsigned char local[3 * 256];
      const int localSize = TableSize(flags);
      in.shortRead = "local colormap read error.";
      ReadBytes(&in, local, static_cast<size_t>(localSize));
      std::fwrite(local, 1, static_cast<size_t>(localSize), out.get());
    }
    in.shortRead = "code size read error.";
    std::putc(ReadByte(&in), out.get());
    in.shortRead = "raster data read error.";
    CopySubBlocks(&in, out.get());
    std::putc(kTrailer, out.get());
    if (!CloseOutput(out.release())) Fail("%s : GIF file not stored.\n", name.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  InputFiles inputs;
  Stream in{OpenNumberedSplit(argc, argv, kProgram, &inputs)};
  if (!in) FailLine("GIF file not open.");
  Unpack(in.get(), argv[2], inputs);
  return 0;
}
