// Fuzz target: the GIF block reader on its own, walked as the programs that copy
// images without decoding them walk a file: the signature and screen, the global
// table, then block after block to the trailer, the sub-blocks of every image and
// extension copied out. The copy must be exactly the bytes the reader went over.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gifread/gifread.h"
#include "support.h"

namespace {

constexpr size_t kScreenSize = 13;  // signature and logical screen descriptor
constexpr int kScreenFlagsAt = 10;
constexpr size_t kDescriptorSize = 9;  // after the separator
constexpr int kImageFlagsAt = 8;

void SkipTable(GIFBlocks* in, int flags) {
  if (flags & kTableFlag) SkipBytes(in, static_cast<size_t>(3) << TableBits(flags));
}

// The sub-blocks at the stream's position, copied to out; traps unless what out
// gained is the input from that position to where the copy left the stream.
void CheckedCopy(GIFBlocks* in, FILE* out, char* const* copied, const size_t* copiedSize,
                 const uint8_t* data) {
  const long from = std::ftell(in->stream);
  std::fflush(out);
  const size_t before = *copiedSize;
  CopySubBlocks(in, out);
  std::fflush(out);
  const long to = std::ftell(in->stream);
  const size_t gained = *copiedSize - before;
  if (from < 0 || to < from || gained != static_cast<size_t>(to - from) ||
      std::memcmp(*copied + before, data + from, gained) != 0) {
    __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzGuard guard;
  FILE* stream = MemoryStream(data, size);
  if (stream == nullptr) return 0;
  char* copied = nullptr;
  size_t copiedSize = 0;
  FILE* out = open_memstream(&copied, &copiedSize);
  if (out == nullptr) std::abort();
  // Messages with a subject and without.
  GIFBlocks in{stream, size % 2 != 0 ? "in.gif" : nullptr, "unexpected end of file."};
  try {
    unsigned char screen[kScreenSize];
    ReadSignature(&in, screen, kScreenSize, "not a GIF file.");
    SkipTable(&in, screen[kScreenFlagsAt]);
    for (;;) {
      const int c = NextBlock(&in);
      if (c == kTrailer) break;
      if (c == kImageSeparator) {
        unsigned char descriptor[kDescriptorSize];
        ReadBytes(&in, descriptor, kDescriptorSize);
        SkipTable(&in, descriptor[kImageFlagsAt]);
      }
      ReadByte(&in);  // an image's code size, an extension's label, or after a stray byte
      CheckedCopy(&in, out, &copied, &copiedSize, data);
    }
  } catch (const FuzzStop&) {
  }
  std::fclose(stream);
  std::fclose(out);
  std::free(copied);
  return 0;
}
