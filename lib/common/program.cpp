#include "common/program.h"

#include <cstdarg>
#include <cstdlib>
#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace {

ExitHandler exitHandler = nullptr;

// Streams of bulk data get a larger buffer than stdio's default: models and
// pictures run to tens of megabytes and are read and written sequentially.
constexpr size_t kStreamBuffer = 1 << 16;
constexpr int kBufferSlots = 8;
struct BufferSlot {
  FILE* stream;
  char* buffer;
};
BufferSlot slots[kBufferSlots];

void GiveBuffer(FILE* stream) {
  for (auto& slot : slots) {
    if (slot.stream == nullptr) {
      char* buffer = static_cast<char*>(std::malloc(kStreamBuffer));
      if (buffer == nullptr) return;
      if (std::setvbuf(stream, buffer, _IOFBF, kStreamBuffer) != 0) {
        std::free(buffer);
        return;
      }
      slot = {stream, buffer};
      return;
    }
  }
}

// The buffer given to a stream, now taken back from it (null when it had none); the
// caller frees it once the stream is closed.
char* TakeBuffer(FILE* stream) {
  for (auto& slot : slots) {
    if (slot.stream == stream) {
      char* buffer = slot.buffer;
      slot = {nullptr, nullptr};
      return buffer;
    }
  }
  return nullptr;
}

void BinaryMode([[maybe_unused]] FILE* stream) {
#if defined(_WIN32)
  _setmode(_fileno(stream), _O_BINARY);
#endif
}

}  // namespace

void SetExitHandler(ExitHandler handler) { exitHandler = handler; }

void ExitProgram(int status) {
  if (exitHandler != nullptr) exitHandler(status);
  std::exit(status);
}

void Usage(const char* text) {
  std::fprintf(stderr, "%s\n", text);
  ExitProgram(1);
}

void Fail(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  ExitProgram(1);
}

FILE* OpenFile(const char* path, const char* mode) {
  FILE* stream = std::fopen(path, mode);
  if (stream != nullptr) GiveBuffer(stream);
  return stream;
}

int CloseFile(FILE* stream) {
  char* buffer = TakeBuffer(stream);
  int result = std::fclose(stream);
  std::free(buffer);
  return result;
}

FILE* OpenInput(const char* arg) {
  if (IsDash(arg)) {
    BinaryMode(stdin);
    return stdin;
  }
  return OpenFile(arg, "rb");
}

FILE* OpenOutput(const char* arg) {
  if (IsDash(arg)) {
    BinaryMode(stdout);
    return stdout;
  }
  return OpenFile(arg, "wb");
}

void CloseInput(FILE* stream) {
  if (stream == nullptr || stream == stdin) return;
  CloseFile(stream);
}

bool CloseOutput(FILE* stream) {
  bool ok = std::fflush(stream) == 0 && !std::ferror(stream);
  if (stream == stdout) return ok;
  return (CloseFile(stream) == 0) && ok;
}

void FinishOutput() {
  bool ok = std::fflush(stdout) == 0 && !std::ferror(stdout);
  ok = (std::fclose(stdout) == 0) && ok;
  if (!ok) {
    std::fputs("output write error.\n", stderr);
    ExitProgram(1);
  }
}
