// ZCP files for the program tests, built here independently of the library.
//
//   TestFace                       colour, three indices, the count byte (3)
//   ZCPHeader(n, m)                the twelve header lines
//   ZCPFile(xyz, faces)            header and records: xyz holds 3 floats a vertex
//   ParseZCP(bytes, &xyz, &faces)  back; false when the header or the size is off
//   DescribeZCP(bytes)             a readable dump, for failure messages
//   EqualZCP(expected, actual)     gtest assertion: same bytes, or both dumps
//   PLYFile(format, elements, value)
//                                  a PLY file of any kind: "ply", "format FORMAT 1.0",
//                                  the element, property (and comment) lines as given,
//                                  "end_header", then every row, each value written in
//                                  its property's type (ASCII: a row a line).
//                                  value(element, property, row) gives a scalar's value,
//                                  or a list's count followed by its entries
//   RunInLittleMemory(program, args, dir)
//                                  the program on args in dir with 40 MB of address
//                                  space (no limit under the sanitizers, which need more)
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/run.h"

struct TestFace {
  unsigned char r, g, b;
  uint32_t i[3];
  unsigned char count = 3;
};

std::string ZCPHeader(uint64_t n, uint64_t m);
std::string ZCPFile(const std::vector<float>& xyz, const std::vector<TestFace>& faces);
bool ParseZCP(const std::string& bytes, std::vector<float>* xyz, std::vector<TestFace>* faces);
std::string DescribeZCP(const std::string& bytes);
::testing::AssertionResult EqualZCP(const std::string& expected, const std::string& actual);

using PLYValues = std::function<std::vector<double>(const std::string& element,
                                                    const std::string& property, uint32_t row)>;
std::string PLYFile(const std::string& format, const std::string& elements, const PLYValues& value);
RunResult RunInLittleMemory(const std::string& program, const std::vector<std::string>& args,
                            const std::string& dir);
