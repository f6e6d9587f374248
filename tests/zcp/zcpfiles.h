// ZCP files for the program tests, built here independently of the library.
//
//   TestFace                       colour, three indices, the count byte (3)
//   ZCPHeader(n, m)                the twelve header lines
//   ZCPFile(xyz, faces)            header and records: xyz holds 3 floats a vertex
//   ParseZCP(bytes, &xyz, &faces)  back; false when the header or the size is off
//   DescribeZCP(bytes)             a readable dump, for failure messages
//   EqualZCP(expected, actual)     gtest assertion: same bytes, or both dumps
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

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
