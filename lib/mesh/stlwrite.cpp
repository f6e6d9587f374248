#include "mesh/stlwrite.h"

#include <cstring>

#include "common/bytes.h"
#include "common/program.h"
#include "mesh/stl.h"

namespace {

// Binary STL as written:
//   offset  size  field
//   0       80    header: zeros
//   80      4     facet count: 0 at first, patched at the end
//   84+50i  48    normal, vertex 1, vertex 2, vertex 3: twelve floats
//   132+50i 2     attribute word
constexpr size_t kZeroBytes = kSTLHeaderSize;
constexpr long kCountOffset = 80;

size_t Fwrite(void* data, size_t size, size_t count, FILE* stream) {
  return std::fwrite(data, size, count, stream);
}

// The writer whose file is open: a fatal error while it is open (an input that cannot
// be read, say) hands its gathered records to the file first, so that the output keeps
// every facet written before the error, as with plain stdio buffering.
STLWriter* openWriter = nullptr;

// Hands the gathered records to the stream; a short write is a facet data error.
void WriteBlock(STLWriter* w) {
  const size_t used = w->used;
  w->used = 0;
  if (used > 0 && std::fwrite(w->block, 1, used, w->stream) != used) {
    Abort(w->name, "STL facet data write error");
  }
}

}  // namespace

void Abort(const char* name, const char* phrase) {
  if (openWriter != nullptr && openWriter->used > 0) {
    std::fwrite(openWriter->block, 1, openWriter->used, openWriter->stream);
    openWriter->used = 0;
  }
  Fail("%s : %s.\n", name, phrase);
}

size_t fWriteReverse(void* data, size_t size, size_t count, FILE* stream) {
  ReverseElements(data, size, count);
  return std::fwrite(data, size, count, stream);
}

void OpenSTLInput(STLReader* reader, const char* name) {
  FILE* stream = OpenInput(name);
  if (stream == nullptr) Abort(name, "file not found");
  if (SetUpSTL(reader, stream) != 1) Abort(name, "STL header read error");
}

void BeginSTL(STLWriter* w, const char* name) {
  w->write = HostIsLittleEndian() ? Fwrite : fWriteReverse;
  w->name = name;
  w->count = 0;
  w->used = 0;
  w->stream = OpenFile(name, "wb");
  if (w->stream == nullptr) Abort(name, "file not stored");
  openWriter = w;
  // The header and the count placeholder; a failed write shows in the
  // stream's error flag, which EndSTL checks.
  for (size_t i = 0; i < kZeroBytes; ++i) std::fputc(0, w->stream);
}

void PutSTLFacet(STLWriter* w, float block[12], int16_t attribute) {
  // Records are packed little-endian whatever the host, and written in blocks.
  if (w->used == sizeof w->block) WriteBlock(w);
  PackSTLFacet(w->block + w->used, block, attribute);
  w->used += kSTLRecordSize;
  ++w->count;
}

void PutSTLFacetNormal(STLWriter* w, const float v[9], int16_t attribute) {
  float block[12];
  CalcNormalFloat(v, block);
  std::memcpy(block + 3, v, 9 * sizeof(float));
  PutSTLFacet(w, block, attribute);
}

void EndSTL(STLWriter* w) {
  WriteBlock(w);
  openWriter = nullptr;
  // Everything written so far must have reached the file before the count says so.
  if (std::fflush(w->stream) != 0 || std::ferror(w->stream)) {
    Abort(w->name, "STL facet data write error");
  }
  uint32_t count = w->count;
  w->stream = std::freopen(w->name, "rb+", w->stream);
  if (w->stream == nullptr || std::fseek(w->stream, kCountOffset, SEEK_SET) != 0 ||
      w->write(&count, 4, 1, w->stream) != 1 || CloseFile(w->stream) != 0) {
    Abort(w->name, "STL facet number write error");
  }
  w->stream = nullptr;
}
