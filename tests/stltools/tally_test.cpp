// Program tests of meshtally.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/cases.h"
#include "support/run.h"
#include "support/stlfiles.h"
#include "tools.h"

namespace {

// A right triangle of the given area in the plane z = 0.
TestFacet OfArea(float area, uint16_t attribute = 0) {
  return Tri(0, 0, 0, 2 * area, 0, 0, 0, 1, 0, attribute);
}

RunResult Tally(const std::vector<TestFacet>& facets, const std::vector<std::string>& args) {
  std::vector<std::string> all{"-"};
  all.insert(all.end(), args.begin(), args.end());
  return ::Run("meshtally", all, BinarySTL(facets));
}

TEST(MeshTally, BinsAreAreasOverTheSizeRoundedHalvesUp) {
  RunResult r = Tally({OfArea(1), OfArea(1), OfArea(1)}, {"1"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "1\t0.500000\t1.500000\t\t3\n");

  // 0.75 / 0.5 + 0.5 = 2; a degenerate facet lands in bin 0, printed from 0.
  r = Tally({OfArea(0.75f), Tri(1, 1, 1, 1, 1, 1, 2, 2, 2), OfArea(0.1f), OfArea(2.2f)}, {"0.5"});
  EXPECT_EQ(r.out,
            "0\t0.000000\t0.250000\t\t2\n"
            "2\t0.750000\t1.250000\t\t1\n"
            "4\t1.750000\t2.250000\t\t1\n");
}

TEST(MeshTally, FlagFormCountsOneAttributeWord) {
  const std::vector<TestFacet> facets = {OfArea(1, 0), OfArea(1, 0x8000), OfArea(2, 0x8000),
                                         OfArea(1, 0x7FFF), OfArea(1, 0xFFFF)};
  EXPECT_EQ(Tally(facets, {"0", "1"}).out, "1\t0.500000\t1.500000\t\t1\n");
  EXPECT_EQ(Tally(facets, {"32768", "1"}).out,
            "1\t0.500000\t1.500000\t\t1\n2\t1.500000\t2.500000\t\t1\n");
  EXPECT_EQ(Tally(facets, {"65535", "1"}).out, "1\t0.500000\t1.500000\t\t1\n");
  EXPECT_EQ(Tally(facets, {"12", "1"}).out, "");  // no match: nothing, status 0
  // Every facet of an ASCII file carries the word 0.
  RunResult r = ::Run("meshtally", {"-", "0", "0.5"}, AsciiSTL(UnitCube()));
  EXPECT_EQ(r.out, "1\t0.250000\t0.750000\t\t12\n");
}

TEST(MeshTally, ColourFormRoundsChannelsToFiveBits) {
  Scratch dir;
  dir.Write("in.stl", BinarySTL({OfArea(1)}));
  ASSERT_EQ(::Run("meshpaint", {"in.stl", "255", "0", "0", "a.stl"}, "", dir.path).status, 0);
  ASSERT_EQ(::Run("meshpaint", {"in.stl", "250", "0", "0", "b.stl"}, "", dir.path).status, 0);
  ASSERT_EQ(::Run("meshjoin", {"a.stl", "b.stl", "in.stl", "ab.stl"}, "", dir.path).status, 0);
  // 255 and 250 both paint red 31, which 255 selects and 250 (rounding to 30) does not.
  EXPECT_EQ(::Run("meshtally", {"ab.stl", "255", "0", "0", "1"}, "", dir.path).out,
            "1\t0.500000\t1.500000\t\t2\n");
  EXPECT_EQ(::Run("meshtally", {"ab.stl", "250", "0", "0", "1"}, "", dir.path).out, "");
  // 128 rounds to 16 and 4 to 0: the word 0x8000 | 16 << 5.
  EXPECT_EQ(Tally({OfArea(3, 0x8000 | 16 << 5), OfArea(3, 0x8000)}, {"4", "128", "4", "2"}).out,
            "2\t3.000000\t5.000000\t\t1\n");
}

TEST(MeshTally, FacetsWithoutAnAreaAreNotCounted) {
  const float nan = std::nanf("");
  const float inf = INFINITY;
  RunResult r = Tally(
      {Tri(nan, 0, 0, 1, 0, 0, 0, 1, 0), OfArea(1), Tri(0, 0, 0, inf, 0, 0, 0, inf, 0)}, {"1"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "1\t0.500000\t1.500000\t\t1\n");
}

TEST(MeshTally, BinsBeyondTheIndexRangeStop) {
  for (const char* size : {"1e-300", "4.9e-324", "1e-9"}) {
    RunResult r = Tally({OfArea(1), OfArea(1e30f)}, {size});
    EXPECT_EQ(r.status, 1) << size;
    EXPECT_EQ(r.err, "bin memory allocation error.\n") << size;
    EXPECT_EQ(r.out, "") << size;
  }
  // Nor has an area of 4.5e76 at a bin size of 1.
  RunResult r = Tally({Tri(0, 0, 0, 3e38f, 0, 0, 0, 3e38f, 0)}, {"1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "bin memory allocation error.\n");
  // A large but representable bin index is fine.
  r = Tally({OfArea(1e6f)}, {"0.5"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "2000000\t999999.750000\t1000000.250000\t\t1\n");
}

TEST(MeshTally, ChecksArgumentsFileHeaderSelectionThenSize) {
  Scratch dir;
  dir.Write("in.stl", BinarySTL({OfArea(1)}));
  dir.Write("short.stl", "short");
  const std::string usage = "usage : meshtally STL_file {flag|(R G B)} bin_size\n";
  // Status 1 and no output: usage, then the input, the selection and the bin size.
  ExpectRuns(dir.path,
             {
                 {{"meshtally"}, usage},
                 {{"meshtally", "in.stl"}, usage},
                 {{"meshtally", "in.stl", "1", "2", "3"}, usage},
                 {{"meshtally", "in.stl", "1", "2", "3", "4", "5"}, usage},
                 {{"meshtally", "missing.stl", "-1", "0"},
                  "missing.stl : STL file not found.\n",
                  1,
                  "",
                  ""},
                 {{"meshtally", "short.stl", "-1", "0"},
                  "short.stl : STL header read error.\n",
                  1,
                  "",
                  ""},
                 {{"meshtally", "in.stl", "-1", "0"}, "bad flag.\n", 1, "", ""},
                 {{"meshtally", "in.stl", "65536", "1"}, "bad flag.\n", 1, "", ""},
                 {{"meshtally", "in.stl", "99999999999", "1"}, "bad flag.\n", 1, "", ""},
                 {{"meshtally", "in.stl", "256", "0", "0", "0"}, "bad color.\n", 1, "", ""},
                 {{"meshtally", "in.stl", "0", "-0.5", "0", "1"}, "bad color.\n", 1, "", ""},
                 {{"meshtally", "in.stl", "0"}, "bad bin size.\n", 1, "", ""},
                 {{"meshtally", "in.stl", "-1"}, "bad bin size.\n", 1, "", ""},
                 {{"meshtally", "in.stl", "size"}, "size : not a number.\n", 1, "", ""},
             });
  // A colour or a bin size that is no finite number is named as no number.
  ExpectRuns(
      dir.path,
      {
          {{"meshtally", "in.stl", "0", "0", "nan", "1"}, "nan : not a number.\n", 1, "", ""},
          {{"meshtally", "in.stl", "0", "1e400", "0", "1"}, "1e400 : not a number.\n", 1, "", ""},
          {{"meshtally", "in.stl", "nan"}, "nan : not a number.\n", 1, "", ""},
          {{"meshtally", "in.stl", "-nan"}, "-nan : not a number.\n", 1, "", ""},
          {{"meshtally", "in.stl", "0", "0", "0", "-inf"}, "-inf : not a number.\n", 1, "", ""},
      });
  RunResult r = RunToFull("meshtally", {dir.Path("in.stl"), "1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "output write error.\n");
}

TEST(MeshTally, FarApartBinsTakeMemoryForTheFacetsOnly) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizers need more address space than the limit leaves";
#else
  // Areas up to 2.1e9 with bins of width 1: a table up to the largest bin would take
  // 8 GB. The program is allowed 64 MB of address space; its output is exact.
  Scratch dir;
  const std::vector<TestFacet> facets = {OfArea(1), OfArea(1.5e9f), OfArea(2.1e9f), OfArea(1.5e9f),
                                         OfArea(0.2f)};
  dir.Write("far.stl", BinarySTL(facets));
  const RunResult r =
      RunCommand({"/bin/sh", "-c", "ulimit -v 64000 && " + ProgramPath("meshtally") + " far.stl 1"},
                 "", dir.path);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "0\t0.000000\t0.500000\t\t1\n"
            "1\t0.500000\t1.500000\t\t1\n"
            "1500000000\t1499999999.500000\t1500000000.500000\t\t2\n"
            "2100000000\t2099999999.500000\t2100000000.500000\t\t1\n");
#endif
}

}  // namespace
