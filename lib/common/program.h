// The frame every meshpix program shares: ending the process, usage and
// fatal messages, opening "-" as a standard stream, checked output.
//
//   StartProgram(argc, argv, program)
//                                exactly "--help": the program's help on stdout, status 0;
//                                exactly "--version": "NAME (meshpix) VERSION", status 0;
//                                anything else: back to the caller
//   ExitProgram(status)          end the process through the exit handler
//   SetExitHandler(handler)      fuzz targets and tests replace std::exit
//   FailLine(line)               a fatal message: the line and a line feed on stderr, status 1
//   Usage(text)                  the usage line, the same way
//   Fail(format, ...)            printf-style message on stderr, status 1
//   Abort(name, phrase)          a fatal message about a file: "NAME : PHRASE." on stderr,
//                                status 1 (the phrase without its full stop)
//   OpenInput(arg)               "-..." is stdin in binary mode, else "rb"
//   OpenOutput(arg)              "-..." is stdout in binary mode, else "wb"
//   OpenFile(path, mode)         fopen with a buffer sized for bulk data
//   CloseFile(stream)            fclose of such a stream; its result
//   CloseInput(stream)           fclose unless it is stdin
//   CloseOutput(stream)          flush and close (stdout: flush); false on any error
//   FileBytesLeft(stream, &left) true, with the bytes after the stream's position, when it
//                                is a regular file; false for pipes, terminals, devices
//   FinishOutput()               check stdout at exit: "output write error."
//   InputFiles inputs;           the regular files a program reads, by device and inode
//   NoteInput(&inputs, arg)      the file an input argument names ("-...": stdin)
//   NoteInputFile(&inputs, path) the file of that name, even one beginning with "-"
//   CheckOutput(inputs, arg)     before an output is opened: "ARG : output is an input."
//                                and status 1 when it is one of those files ("-...":
//                                stdout, when it is a regular file)
//   CheckOutputFile(inputs, path) the same for a name that is always a file
//   CheckOutput(arg, input)      CheckOutput against one input argument
// Only regular files are compared: a terminal, a pipe or a device loses nothing.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <vector>

// What a program says about itself. One record per program, beside its usage check:
//   constexpr ProgramInfo kProgram = {
//       MESHPIX_PROGRAM,                                  // the executable's name
//       "usage : " MESHPIX_PROGRAM " orgSTL ratio newSTL",  // printed on a wrong count
//       "Scales an STL model about the origin.",           // one line
//       "orgSTL\tthe model read (\"-\": standard input)\n"  // one "word\tmeaning" line
//       "ratio\tthe factor\n"                              // per argument
//       "newSTL\tthe binary STL written\n"};
// MESHPIX_PROGRAM is the build target's name, given to every program by the build, so
// a build variant names itself.
struct ProgramInfo {
  const char* name;
  const char* usage;
  const char* summary;
  const char* arguments;
};

void StartProgram(int argc, char** argv, const ProgramInfo& program);

using ExitHandler = void (*)(int status);

[[noreturn]] void ExitProgram(int status);
void SetExitHandler(ExitHandler handler);

[[noreturn]] void FailLine(const char* line);
[[noreturn]] void Usage(const char* text);
[[noreturn]] __attribute__((format(printf, 1, 2))) void Fail(const char* format, ...);
[[noreturn]] void Abort(const char* name, const char* phrase);

// True when the argument names a standard stream (its first character is "-").
inline bool IsDash(const char* arg) { return arg[0] == '-'; }

FILE* OpenFile(const char* path, const char* mode);
int CloseFile(FILE* stream);
FILE* OpenInput(const char* arg);
FILE* OpenOutput(const char* arg);
void CloseInput(FILE* stream);
bool CloseOutput(FILE* stream);
bool FileBytesLeft(FILE* stream, uint64_t* left);
void FinishOutput();

struct FileKey {
  dev_t device;
  ino_t inode;
};
struct InputFiles {
  std::vector<FileKey> files;
};
void NoteInput(InputFiles* inputs, const char* arg);
void NoteInputFile(InputFiles* inputs, const char* path);
void CheckOutput(const InputFiles& inputs, const char* arg);
void CheckOutputFile(const InputFiles& inputs, const char* path);
void CheckOutput(const char* arg, const char* input);
