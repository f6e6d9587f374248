// The frame every meshpix program shares: ending the process, usage and
// fatal messages, opening "-" as a standard stream, checked output.
//
//   ExitProgram(status)          end the process through the exit handler
//   SetExitHandler(handler)      fuzz targets and tests replace std::exit
//   Usage(text)                  text and a line feed on stderr, status 1
//   Fail(format, ...)            printf-style message on stderr, status 1
//   OpenInput(arg)               "-..." is stdin in binary mode, else "rb"
//   OpenOutput(arg)              "-..." is stdout in binary mode, else "wb"
//   OpenFile(path, mode)         fopen with a buffer sized for bulk data
//   CloseFile(stream)            fclose of such a stream; its result
//   CloseInput(stream)           fclose unless it is stdin
//   CloseOutput(stream)          flush and close (stdout: flush); false on any error
//   FinishOutput()               check stdout at exit: "output write error."
#pragma once

#include <cstdio>

using ExitHandler = void (*)(int status);

[[noreturn]] void ExitProgram(int status);
void SetExitHandler(ExitHandler handler);

[[noreturn]] void Usage(const char* text);
[[noreturn]] __attribute__((format(printf, 1, 2))) void Fail(const char* format, ...);

// True when the argument names a standard stream (its first character is "-").
inline bool IsDash(const char* arg) { return arg[0] == '-'; }

FILE* OpenFile(const char* path, const char* mode);
int CloseFile(FILE* stream);
FILE* OpenInput(const char* arg);
FILE* OpenOutput(const char* arg);
void CloseInput(FILE* stream);
bool CloseOutput(FILE* stream);
void FinishOutput();
