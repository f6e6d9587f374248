// Sweeps: a small valid model with every byte flipped, every byte zeroed and cut off at
// every length, read from standard input by the tools that do more with a facet than
// sum it (the reader itself has a fuzz target): odd floats reach meshtally's bins and
// meshtotext's number output. Every run must end with
// status 0 or 1, never with a signal (or, under the sanitizers, a report), and print
// nothing on standard error but one-line messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/cases.h"
#include "support/run.h"
#include "support/stlfiles.h"

namespace {

std::vector<TestFacet> Model() {
  return {Tri(0, 0, 0, 1.5f, 0, 0, 0, 2, 0.25f, 0xFC00),
          Tri(1e-3f, -4, 7, 3, 1e6f, -2, 0, 0, 9, 0x8421)};
}

std::vector<std::string> Variants(const std::string& bytes) {
  std::vector<std::string> out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::string flipped = bytes, zeroed = bytes;
    flipped[i] = static_cast<char>(flipped[i] ^ 0xFF);
    zeroed[i] = '\0';
    out.push_back(flipped);
    out.push_back(zeroed);
    out.push_back(bytes.substr(0, i));
  }
  return out;
}

void Sweep(const std::string& program, const std::vector<std::string>& args,
           const std::string& bytes) {
  Scratch dir;
  int runs = 0;
  for (const auto& input : Variants(bytes)) {
    RunResult r = ::Run(program, args, input, dir.path);
    ++runs;
    ASSERT_TRUE(r.status == 0 || r.status == 1) << program << " ended with " << r.status << "\n"
                                                << r.err << DescribeSTL(input);
    EXPECT_TRUE(OnlyMessages(r.err)) << program << " on\n" << DescribeSTL(input);
  }
  EXPECT_EQ(runs, static_cast<int>(3 * bytes.size()));
}

TEST(StlToolsSweep, MeshTally) {
  Sweep("meshtally", {"-", "0.25"}, BinarySTL(Model()));
  Sweep("meshtally", {"-", "255", "0", "0", "1e-6"}, BinarySTL(Model()));
}

TEST(StlToolsSweep, MeshToText) {
  Sweep("meshtotext", {"-"}, BinarySTL(Model()));
  Sweep("meshtotext", {"-", "%.3e"}, AsciiSTL({Model()[1]}, "s"));
}

}  // namespace
