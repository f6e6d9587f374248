#include "common/program.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string_view>
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

// The argument lines of a help text, "word\tmeaning" each, with the meanings in one
// column two blanks after the longest word.
void PrintArguments(std::string_view lines) {
  size_t widest = 0;
  for (std::string_view rest = lines; !rest.empty();) {
    const size_t end = std::min(rest.find('\n'), rest.size());
    widest = std::max(widest, std::min(rest.find('\t'), end));
    rest.remove_prefix(std::min(end + 1, rest.size()));
  }
  for (std::string_view rest = lines; !rest.empty();) {
    const size_t end = std::min(rest.find('\n'), rest.size());
    const std::string_view line = rest.substr(0, end);
    const size_t tab = std::min(line.find('\t'), line.size());
    const std::string_view meaning = tab < line.size() ? line.substr(tab + 1) : std::string_view();
    std::printf("  %-*.*s  %.*s\n", static_cast<int>(widest), static_cast<int>(tab), line.data(),
                static_cast<int>(meaning.size()), meaning.data());
    rest.remove_prefix(std::min(end + 1, rest.size()));
  }
}

// The regular file a name leads to (links followed), or the standard stream given
// (-1 for none) when the name begins with "-". Only regular files count: writing to a
// terminal, a pipe or a device does not destroy what is read from it.
bool RegularFile(const char* name, int standard, FileKey* key) {
  struct stat st;
  const int result = standard >= 0 && IsDash(name) ? fstat(standard, &st) : stat(name, &st);
  if (result != 0 || !S_ISREG(st.st_mode)) return false;
  *key = {st.st_dev, st.st_ino};
  return true;
}

void AddInput(InputFiles* inputs, const char* name, int standard) {
  FileKey key;
  if (RegularFile(name, standard, &key)) inputs->files.push_back(key);
}

void Compare(const InputFiles& inputs, const char* name, int standard) {
  FileKey key;
  if (!RegularFile(name, standard, &key)) return;  // a new file, or not a regular one
  for (const FileKey& input : inputs.files) {
    if (input.device == key.device && input.inode == key.inode)
      Fail("%s : output is an input.\n", name);
  }
}

}  // namespace

void StartProgram(int argc, char** argv, const ProgramInfo& program) {
  if (argc != 2) return;
  if (std::strcmp(argv[1], "--help") == 0) {
    std::printf("%s\n%s\n", program.usage, program.summary);
    PrintArguments(program.arguments);
    std::printf("See meshpix(7) and %s(1).\n", program.name);
  } else if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("%s (meshpix) %s\n", program.name, MESHPIX_VERSION);
  } else {
    return;
  }
  FinishOutput();
  ExitProgram(0);
}

void SetExitHandler(ExitHandler handler) { exitHandler = handler; }

void ExitProgram(int status) {
  if (exitHandler != nullptr) exitHandler(status);
  std::exit(status);
}

void FailLine(const char* line) {
  std::fprintf(stderr, "%s\n", line);
  ExitProgram(1);
}

void Abort(const char* name, const char* phrase) { Fail("%s : %s.\n", name, phrase); }

void Usage(const char* text) { FailLine(text); }

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

bool FileBytesLeft(FILE* stream, uint64_t* left) {
  struct stat st;
  if (fstat(fileno(stream), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const long at = std::ftell(stream);
  if (at < 0 || st.st_size < at) return false;
  *left = static_cast<uint64_t>(st.st_size - at);
  return true;
}

void FinishOutput() {
  bool ok = std::fflush(stdout) == 0 && !std::ferror(stdout);
  ok = (std::fclose(stdout) == 0) && ok;
  if (!ok) {
    std::fputs("output write error.\n", stderr);
    ExitProgram(1);
  }
}

void NoteInput(InputFiles* inputs, const char* arg) { AddInput(inputs, arg, STDIN_FILENO); }
void NoteInputFile(InputFiles* inputs, const char* path) { AddInput(inputs, path, -1); }
void CheckOutput(const InputFiles& inputs, const char* arg) { Compare(inputs, arg, STDOUT_FILENO); }
void CheckOutputFile(const InputFiles& inputs, const char* path) { Compare(inputs, path, -1); }

void CheckOutput(const char* arg, const char* input) {
  InputFiles inputs;
  NoteInput(&inputs, input);
  CheckOutput(inputs, arg);
}
