// Helpers of the STL tool tests.
//
//   Written(facets, attribute)     the facets as the binary writers write them: the normal
//                                  is CalcNormal of the vertices, narrowed to floats, and
//                                  the attribute word is replaced (kKeep: kept)
//   WrittenSTL(facets, attribute)  the same as binary STL bytes
//   RunToFull(program, args)       the program with standard output on /dev/full (every
//                                  write fails); gives standard error and the status
//   Line(fmt, ...)                 printf into a std::string
//   kSTLPrograms                   every program that reads STL, with its arguments ("IN":
//                                  the model, "OUT": the output, a folder for meshslice),
//                                  its standard input (the picture programs' view lines)
//                                  and what it keeps of its output when a model breaks off
#pragma once

#include <string>
#include <vector>

#include "support/run.h"
#include "support/stlfiles.h"

constexpr int kKeep = -1;

std::vector<TestFacet> Written(std::vector<TestFacet> facets, int attribute = kKeep);
std::string WrittenSTL(const std::vector<TestFacet>& facets, int attribute = kKeep);
RunResult RunToFull(const std::string& program, const std::vector<std::string>& args);
__attribute__((format(printf, 1, 2))) std::string Line(const char* format, ...);

using Words = std::vector<std::string>;

enum class Keeps { kFacetsWritten, kText, kNothing, kLine };

struct STLProgram {
  std::string name;
  Words args;
  std::string input;  // standard input
  Keeps keeps;
  bool binaryOnly = false;
};

extern const std::vector<STLProgram> kSTLPrograms;
