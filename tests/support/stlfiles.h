// Model files for tests.
//
//   TestFacet                          stored normal, nine coordinates, attribute word
//   Tri(x1..z3 [, attribute])          a facet whose stored normal follows its winding
//   UnitCube()                         the 12 facets of [0,1]^3, normals outward
//   BinarySTL(facets [, count])        binary STL bytes (count defaults to the size)
//   AsciiSTL(facets [, name])          ASCII STL text
//   SolidHeader(bytes, name)           a binary STL with its header made "solid NAME"
//                                      padded with spaces, as some CAD exporters write it
//   AsciiBodies(facets, bodies, crlf)  ASCII STL of several solids ("solid part1" ...
//                                      "endsolid part1", ...), the facets shared out in
//                                      order, with CR LF line ends when asked
//   ParseBinarySTL(bytes, &facets)     back from binary STL; false when malformed
//   DescribeSTL(bytes)                 a readable dump, for failure messages
//   EqualSTL(expected, actual)         gtest assertion: same bytes, or a readable diff
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

struct TestFacet {
  float n[3];
  float v[9];
  uint16_t attribute;
};

TestFacet Tri(float x1, float y1, float z1, float x2, float y2, float z2, float x3, float y3,
              float z3, uint16_t attribute = 0);
std::vector<TestFacet> UnitCube();

std::string BinarySTL(const std::vector<TestFacet>& facets, int64_t count = -1);
std::string AsciiSTL(const std::vector<TestFacet>& facets, const std::string& name = "test");
std::string SolidHeader(std::string bytes, const std::string& name);
std::string AsciiBodies(const std::vector<TestFacet>& facets, size_t bodies, bool crlf);
bool ParseBinarySTL(const std::string& bytes, std::vector<TestFacet>* facets);
std::string DescribeSTL(const std::string& bytes);
::testing::AssertionResult EqualSTL(const std::string& expected, const std::string& actual);
