// Program tests of meshbounds, meshstats and meshverify.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/run.h"
#include "support/stlfiles.h"
#include "tools.h"

namespace {

const std::vector<std::string> kPrograms = {"meshbounds", "meshstats", "meshverify"};

std::vector<TestFacet> OneFacet() { return {Tri(0, 0, 0, 1, 0, 0, 0, 1, 0)}; }

// The unit cube turned inside out: every facet's vertex order and stored normal reversed.
std::vector<TestFacet> InsideOut() {
  auto cube = UnitCube();
  for (auto& f : cube)
    f = Tri(f.v[0], f.v[1], f.v[2], f.v[6], f.v[7], f.v[8], f.v[3], f.v[4], f.v[5]);
  return cube;
}

TEST(MeshMeasure, OneFacet) {
  Scratch dir;
  dir.Write("one.stl", BinarySTL(OneFacet()));
  RunResult r = ::Run("meshbounds", {"one.stl"}, "", dir.path);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "one.stl\t1\t0.000000\t0.000000\t0.000000\t1.000000\t1.000000\t0.000000\n");
  EXPECT_EQ(::Run("meshstats", {"one.stl"}, "", dir.path).out, "one.stl\t1\t0.500000\t0.000000\n");
  EXPECT_EQ(::Run("meshverify", {"one.stl"}, "", dir.path).out,
            "one.stl\t1\t0.000000\t0.000000\t0.500000\t0.500000\n");
}

TEST(MeshMeasure, ClosedCubeAndItsFaults) {
  Scratch dir;
  dir.Write("cube.stl", AsciiSTL(UnitCube()));
  dir.Write("inside.stl", BinarySTL(InsideOut()));
  auto flipped = UnitCube();
  flipped[0] = InsideOut()[0];
  dir.Write("flipped.stl", BinarySTL(flipped));
  auto open = UnitCube();
  open.pop_back();
  dir.Write("open.stl", BinarySTL(open));

  RunResult r =
      ::Run("meshstats", {"cube.stl", "inside.stl", "flipped.stl", "open.stl"}, "", dir.path);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "cube.stl\t12\t6.000000\t1.000000\n"
            "inside.stl\t12\t6.000000\t-1.000000\n"
            "flipped.stl\t12\t6.000000\t1.000000\n"  // that facet spans no volume with the origin
            "open.stl\t11\t5.500000\t0.833333\n");
  r = ::Run("meshverify", {"cube.stl", "inside.stl", "flipped.stl", "open.stl"}, "", dir.path);
  EXPECT_EQ(r.out,
            "cube.stl\t12\t0.000000\t0.000000\t0.000000\t6.000000\n"
            "inside.stl\t12\t0.000000\t0.000000\t0.000000\t6.000000\n"
            "flipped.stl\t12\t0.000000\t0.000000\t1.000000\t6.000000\n"
            "open.stl\t11\t-0.500000\t0.000000\t0.000000\t5.500000\n");
}

TEST(MeshMeasure, ReaderRepairsWindingAgainstStoredNormals) {
  // Vertices listed clockwise but stored with the outward normals: the reader swaps
  // them back, so the volume stays positive.
  Scratch dir;
  auto cube = UnitCube();
  auto inside = InsideOut();
  for (size_t i = 0; i < cube.size(); ++i) {
    for (int k = 0; k < 3; ++k) inside[i].n[k] = cube[i].n[k];
  }
  RunResult r = ::Run("meshstats", {"-"}, BinarySTL(inside), dir.path);
  EXPECT_EQ(r.out, "-\t12\t6.000000\t1.000000\n");
}

TEST(MeshMeasure, EmptyFileGivesZeros) {
  Scratch dir;
  dir.Write("empty.stl", BinarySTL({}));
  EXPECT_EQ(::Run("meshbounds", {"empty.stl"}, "", dir.path).out,
            "empty.stl\t0\t0.000000\t0.000000\t0.000000\t0.000000\t0.000000\t0.000000\n");
  EXPECT_EQ(::Run("meshstats", {"empty.stl"}, "", dir.path).out,
            "empty.stl\t0\t0.000000\t0.000000\n");
  EXPECT_EQ(::Run("meshverify", {"empty.stl"}, "", dir.path).out,
            "empty.stl\t0\t0.000000\t0.000000\t0.000000\t0.000000\n");
}

TEST(MeshMeasure, BoundsSkipCoordinatesThatAreNotNumbers) {
  Scratch dir;
  const float nan = std::nanf("");
  // The very first coordinate is not a number; neither is every z of the second file.
  dir.Write("a.stl",
            BinarySTL({Tri(nan, 2, 3, 4, -5, 6, 7, 8, -9), Tri(-1, 0, 0, 0, 0, 0, 0, 0, 0)}));
  dir.Write("b.stl", BinarySTL({Tri(1, 2, nan, 3, 4, nan, 5, 6, nan)}));
  RunResult r = ::Run("meshbounds", {"a.stl", "b.stl"}, "", dir.path);
  EXPECT_EQ(r.out,
            "a.stl\t2\t-1.000000\t-5.000000\t-9.000000\t7.000000\t8.000000\t6.000000\n"
            "b.stl\t1\t1.000000\t2.000000\t0.000000\t5.000000\t6.000000\t0.000000\n");
}

TEST(MeshMeasure, BadFilesAreReportedAndSkipped) {
  Scratch dir;
  dir.Write("one.stl", BinarySTL(OneFacet()));
  dir.Write("short.stl", "solid x\n");
  auto truncated = BinarySTL(UnitCube()).substr(0, 84 + 50 * 3 + 20);
  dir.Write("cut.stl", truncated);
  for (const auto& program : kPrograms) {
    RunResult r = ::Run(program, {"one.stl", "missing.stl", "short.stl", "cut.stl", "-"},
                        BinarySTL(OneFacet()), dir.path);
    EXPECT_EQ(r.status, 1) << program;
    EXPECT_EQ(r.err,
              "missing.stl : file not found.\nshort.stl : STL header read error.\n"
              "cut.stl : STL data error after 3 facets.\n")
        << program;
    // One line per readable file, in argument order; the cut file counts its whole facets.
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = r.out.find('\n', at)) != std::string::npos; at = end + 1) {
      lines.push_back(r.out.substr(at, end - at));
    }
    ASSERT_EQ(lines.size(), 3u) << program << "\n" << r.out;
    EXPECT_EQ(lines[0].substr(0, 10), "one.stl\t1\t") << program;
    EXPECT_EQ(lines[1].substr(0, 10), "cut.stl\t3\t") << program;
    EXPECT_EQ(lines[2].substr(0, 2), "-\t") << program;
    EXPECT_EQ(lines[2].substr(1), lines[0].substr(lines[0].find('\t'))) << program;
  }
}

TEST(MeshMeasure, UsageAndOutputWriteErrors) {
  Scratch dir;
  dir.Write("one.stl", BinarySTL(OneFacet()));
  for (const auto& program : kPrograms) {
    RunResult r = ::Run(program, {}, "", dir.path);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "usage : " + program + " STL_files\n");
    r = RunToFull(program, {dir.Path("one.stl")});
    EXPECT_EQ(r.status, 1) << program;
    EXPECT_EQ(r.err, "output write error.\n") << program;
  }
}

}  // namespace
