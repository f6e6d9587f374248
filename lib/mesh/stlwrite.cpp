#include "mesh/stlwrite.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "common/bytes.h"
#include "common/program.h"
#include "mesh/stl.h"

namespace {

// Binary STL as written:
//   offset  size  field
//   0       80    header: zeros, or the caller's 80 bytes
//   80      4     facet count: 0 at first, patched at the end (held output: in place)
//   84+50i  48    normal, vertex 1, vertex 2, vertex 3: twelve floats
//   132+50i 2     attribute word
constexpr long kCountOffset = 80;

// The writer whose file is open: a fatal error while it is open (an input that cannot
// be read, say) hands its gathered records to the file first, so that the output keeps
// every facet written before the error, as with plain stdio buffering. This is done at
// exit (BeginSTL registers it), before stdio flushes and closes the streams, whoever
// reported the error: the writer itself (through Abort) or the program (a model cut
// short). Held output is not written at all then: a reader down the pipe sees no model
// rather than one whose count says it has no facets.
STLWriter* openWriter = nullptr;

// True when standard output is a regular file that can be patched in place: not a
// pipe or a device, and not opened for appending (where every write goes to the end).
// *start is the offset the header will be written at.
bool StdoutSeeks(long long* start) {
#if defined(__unix__) || defined(__APPLE__)
  const int fd = fileno(stdout);
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || (flags & O_APPEND) != 0) return false;
  const off_t at = ftello(stdout);
  if (at < 0) return false;
  *start = at;
  return true;
#else
  (void)start;
  return false;
#endif
}

// A temporary file for held records, removed from its folder at once so that it goes
// with the process however that ends; null when it cannot be made.
FILE* OpenSpill() {
#if defined(__unix__) || defined(__APPLE__)
  const char* dir = std::getenv("TMPDIR");
  if (dir == nullptr || *dir == '\0') dir = "/tmp";
  std::string path = std::string(dir) + "/meshpix-stl-XXXXXX";
  const int fd = mkstemp(path.data());
  if (fd < 0) return nullptr;
  unlink(path.c_str());
  FILE* stream = fdopen(fd, "w+b");
  if (stream == nullptr) close(fd);
  return stream;
#else
  return std::tmpfile();
#endif
}

// Keeps n record bytes of an output that cannot seek: in memory while they fit, then
// in the temporary file.
void Hold(STLWriter* w, const unsigned char* data, size_t n) {
  if (w->spill == nullptr) {
    // Taken at the first block; pages are touched only as records arrive, so a small
    // model costs only its own size. Without it the records go to the file at once.
    if (w->held == nullptr) w->held = static_cast<unsigned char*>(std::malloc(kSTLHoldBytes));
    if (w->held != nullptr && n <= kSTLHoldBytes - w->heldUsed) {
      std::memcpy(w->held + w->heldUsed, data, n);
      w->heldUsed += n;
      return;
    }
    w->spill = OpenSpill();
    if (w->spill == nullptr) Abort(w->name, "temporary file write error");
  }
  if (std::fwrite(data, 1, n, w->spill) != n) Abort(w->name, "temporary file write error");
}

void FlushOpenWriter() {
  STLWriter* w = openWriter;
  openWriter = nullptr;  // flushed once, whichever way the exit came
  if (w != nullptr && w->sink != STLWriter::kHeld && w->used > 0) {
    std::fwrite(w->block, 1, w->used, w->stream);
    w->used = 0;
  }
}

// Hands the gathered records on: to the stream, or to the held store. A short write is
// a facet data error.
void WriteBlock(STLWriter* w) {
  const size_t used = w->used;
  w->used = 0;
  if (used == 0) return;
  if (w->sink == STLWriter::kHeld) {
    Hold(w, w->block, used);
  } else if (std::fwrite(w->block, 1, used, w->stream) != used) {
    Abort(w->name, "STL facet data write error");
  }
}

// Held output, now that the count is known: the header with the count, the records
// kept in memory, then those in the temporary file.
void WriteHeld(STLWriter* w) {
  unsigned char head[kSTLHeaderSize];
  PackSTLHeader(head, w->header, w->count);
  if (std::fwrite(head, 1, kSTLHeaderSize, w->stream) != kSTLHeaderSize ||
      (w->heldUsed > 0 && std::fwrite(w->held, 1, w->heldUsed, w->stream) != w->heldUsed)) {
    Abort(w->name, "STL facet data write error");
  }
  if (w->spill != nullptr) {
    // The memory store is free again and serves as the copy buffer.
    unsigned char* buffer = w->held != nullptr ? w->held : w->block;
    const size_t size = w->held != nullptr ? kSTLHoldBytes : sizeof w->block;
    if (std::fflush(w->spill) != 0 || std::ferror(w->spill) ||
        std::fseek(w->spill, 0, SEEK_SET) != 0) {
      Abort(w->name, "temporary file write error");
    }
    size_t got;
    while ((got = std::fread(buffer, 1, size, w->spill)) > 0) {
      if (std::fwrite(buffer, 1, got, w->stream) != got)
        Abort(w->name, "STL facet data write error");
    }
    if (std::ferror(w->spill)) Abort(w->name, "temporary file write error");
    std::fclose(w->spill);
    w->spill = nullptr;
  }
  std::free(w->held);
  w->held = nullptr;
  if (std::fflush(w->stream) != 0 || std::ferror(w->stream)) {
    Abort(w->name, "STL facet data write error");
  }
}

// Standard output as a regular file: the count goes in at its place and the stream is
// left at the end of the model, for whatever the shell writes after it.
void PatchStdout(STLWriter* w) {
  if (std::fflush(w->stream) != 0 || std::ferror(w->stream)) {
    Abort(w->name, "STL facet data write error");
  }
  unsigned char count[4];
  PutLE32(count, w->count);
#if defined(__unix__) || defined(__APPLE__)
  const off_t end = ftello(w->stream);
  if (end < 0 || fseeko(w->stream, static_cast<off_t>(w->start + kCountOffset), SEEK_SET) != 0 ||
      std::fwrite(count, 1, 4, w->stream) != 4 || fseeko(w->stream, end, SEEK_SET) != 0 ||
      std::fflush(w->stream) != 0) {
    Abort(w->name, "STL facet number write error");
  }
#else
  Abort(w->name, "STL facet number write error");
#endif
}

// A named file: reopened for update, the count patched, closed.
void PatchFile(STLWriter* w) {
  // Everything written so far must have reached the file before the count says so.
  if (std::fflush(w->stream) != 0 || std::ferror(w->stream)) {
    Abort(w->name, "STL facet data write error");
  }
  unsigned char count[4];
  PutLE32(count, w->count);
  w->stream = std::freopen(w->name, "rb+", w->stream);
  if (w->stream == nullptr || std::fseek(w->stream, kCountOffset, SEEK_SET) != 0 ||
      std::fwrite(count, 1, 4, w->stream) != 4 || CloseFile(w->stream) != 0) {
    Abort(w->name, "STL facet number write error");
  }
}

}  // namespace

void BeginSTL(STLWriter* w, const char* name, const unsigned char* header) {
  w->name = name;
  w->count = 0;
  w->used = 0;
  w->start = 0;
  w->held = nullptr;
  w->heldUsed = 0;
  w->spill = nullptr;
  if (header != nullptr) {
    std::memcpy(w->header, header, kSTLHeaderText);
  } else {
    std::memset(w->header, 0, kSTLHeaderText);
  }
  if (IsDash(name)) {
    w->stream = OpenOutput(name);
    w->sink = StdoutSeeks(&w->start) ? STLWriter::kSeekingStdout : STLWriter::kHeld;
  } else {
    w->stream = OpenFile(name, "wb");
    if (w->stream == nullptr) Abort(name, "file not stored");
    w->sink = STLWriter::kNamedFile;
  }
  openWriter = w;
  static const bool atExit = std::atexit(FlushOpenWriter) == 0;
  (void)atExit;
  if (w->sink != STLWriter::kHeld) {
    // The header and the count placeholder; a failed write shows in the stream's
    // error flag, which EndSTL checks.
    unsigned char head[kSTLHeaderSize];
    PackSTLHeader(head, w->header, 0);
    std::fwrite(head, 1, kSTLHeaderSize, w->stream);
  }
}

void PutSTLFacet(STLWriter* w, float block[12], int16_t attribute) {
  // Records are packed little-endian whatever the host, and written in blocks.
  if (w->used == sizeof w->block) WriteBlock(w);
  // The count field holds 32 bits: one facet more would wrap it to a small number.
  if (w->count == UINT32_MAX) Abort(w->name, "too many facets");
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
  switch (w->sink) {
    case STLWriter::kHeld: WriteHeld(w); break;
    case STLWriter::kSeekingStdout: PatchStdout(w); break;
    case STLWriter::kNamedFile: PatchFile(w); break;
  }
  w->stream = nullptr;
}
