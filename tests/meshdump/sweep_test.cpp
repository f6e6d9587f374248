// Every byte of a small valid binary and ASCII STL flipped, zeroed and cut off in turn:
// meshdump must read each damaged file without crashing (status 0 or 1) and report on
// it in one-line messages only. The damaged
// files go to meshdump in batches, since it reports on every file it is given.
#include <gtest/gtest.h>

#include "support/cases.h"
#include "support/run.h"
#include "support/stlfiles.h"

namespace {

void Sweep(const std::string& valid, const std::string& program) {
  Scratch dir;
  std::vector<std::string> batch;
  auto flush = [&] {
    if (batch.empty()) return;
    RunResult r = ::Run(program, batch, "", dir.path);
    EXPECT_TRUE(r.status == 0 || r.status == 1)
        << program << " ended with status " << r.status << " on one of " << batch.front() << " .. "
        << batch.back() << "\n"
        << r.err.substr(0, 2000);
    EXPECT_TRUE(OnlyMessages(r.err))
        << program << " on one of " << batch.front() << " .. " << batch.back();
    batch.clear();
  };
  for (size_t i = 0; i < valid.size(); ++i) {
    std::string flipped = valid, zeroed = valid;
    flipped[i] = static_cast<char>(~flipped[i]);
    zeroed[i] = '\0';
    const std::string n = std::to_string(i);
    dir.Write("flip" + n, flipped);
    dir.Write("zero" + n, zeroed);
    dir.Write("cut" + n, valid.substr(0, i));
    for (const char* kind : {"flip", "zero", "cut"}) batch.push_back(kind + n);
    if (batch.size() >= 300) flush();
  }
  flush();
}

std::vector<TestFacet> Small() {
  auto cube = UnitCube();
  cube.resize(3);
  cube[1].attribute = 0xFC1F;
  return cube;
}

}  // namespace

TEST(Sweep, DamagedBinarySTL) {
  Sweep(BinarySTL(Small()), "meshdump");
  Sweep(BinarySTL(Small()), "meshdump-plain");
}

TEST(Sweep, DamagedAsciiSTL) { Sweep(AsciiSTL(Small(), "sweep"), "meshdump"); }
