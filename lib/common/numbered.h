// Names of numbered files, made from a printf-style format with one integer conversion.
//
//   IsNameFormat(format)       literal text, "%%" and exactly one conversion of d i u o x X,
//                              and no name of it longer than kMaxNameLength bytes
//   NumberedName(format, k)    the format applied to k, a name of any length (check the
//                              format with IsNameFormat first)
//   OpenNumberedSplit(argc, argv, program, &inputs)
//                              the start of a program "INPUT FORMAT" that splits one input
//                              into numbered files: help and version, the usage line
//                              unless there are two arguments, "bad file name format.";
//                              the input noted in inputs and opened ("-": standard
//                              input), null when it does not open
#pragma once

#include <climits>
#include <cstdio>
#include <string>

#include "common/numbers.h"
#include "common/program.h"

constexpr int kMaxNameLength = 4096;

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
// The longest name is that of the largest number: k runs from 0 up, and every
// conversion of a non-negative int grows with its digits.
inline bool IsNameFormat(const char* format) {
  if (!IsFormat(format, "diuoxX", false)) return false;
  const int longest = std::snprintf(nullptr, 0, format, INT_MAX);
  return longest >= 0 && longest <= kMaxNameLength;
}

inline std::string NumberedName(const char* format, int k) {
  const int size = std::snprintf(nullptr, 0, format, k);
  std::string name(size > 0 ? static_cast<size_t>(size) : 0, '\0');
  if (size > 0) std::snprintf(name.data(), name.size() + 1, format, k);
#pragma GCC diagnostic pop
  return name;
}

inline FILE* OpenNumberedSplit(int argc, char** argv, const ProgramInfo& program,
                               InputFiles* inputs) {
  StartProgram(argc, argv, program);
  if (argc != 3) Usage(program.usage);
  NoteInput(inputs, argv[1]);
  if (!IsNameFormat(argv[2])) FailLine("bad file name format.");
  return OpenInput(argv[1]);
}
