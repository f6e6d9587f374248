// meshdump (both builds) and meshfacets, run as programs.
#include <gtest/gtest.h>

#include "support/cases.h"
#include "support/run.h"
#include "support/stlfiles.h"

namespace {

const std::string kLine =
    "0.000000 0.000000 0.000000 1.000000 0.000000 0.000000 0.000000 1.000000 0.000000";

std::string Colours() {
  return BinarySTL({Tri(0, 0, 0, 1, 0, 0, 0, 1, 0, 0x8000), Tri(0, 0, 0, 1, 0, 0, 0, 1, 0, 0x7FFF),
                    Tri(0, 0, 0, 1, 0, 0, 0, 1, 0, 0xFFFF),
                    Tri(0, 0, 0, 1, 0, 0, 0, 1, 0, 0x8000 | 1 << 10 | 1 << 5 | 1),
                    Tri(0, 0, 0, 1, 0, 0, 0, 1, 0, 0x8000 | 16 << 10)});
}

}  // namespace

TEST(Meshdump, PrintsColoursOnlyWhereBit15IsSet) {
  Scratch dir;
  dir.Write("c.stl", Colours());
  RunResult r = ::Run("meshdump", {"c.stl"}, "", dir.path);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "c.stl\n" + kLine + " 0 0 0\n" + kLine + "\n" + kLine + " 255 255 255\n" +
                       kLine + " 8 8 8\n" + kLine + " 132 0 0\n");
  RunResult plain = ::Run("meshdump-plain", {"c.stl"}, "", dir.path);
  EXPECT_EQ(plain.out,
            "c.stl\n" + kLine + "\n" + kLine + "\n" + kLine + "\n" + kLine + "\n" + kLine + "\n");
}

TEST(Meshdump, GoesOnPastMissingAndUnreadableFiles) {
  Scratch dir;
  dir.Write("a.stl", BinarySTL({Tri(0, 0, 0, 1, 0, 0, 0, 1, 0)}));
  dir.Write("empty.stl", "solid x\nendsolid x\n");  // short, but a complete empty solid
  dir.Write("short.stl", "solid x\n");
  RunResult r = ::Run("meshdump", {"a.stl", "missing.stl", "empty.stl", "short.stl", "-"},
                      AsciiSTL({Tri(0, 0, 0, 1, 0, 0, 0, 1, 0)}), dir.path);
  EXPECT_EQ(r.status, 1);  // the others are printed, but not every file could be read
  EXPECT_EQ(r.err, "missing.stl : file not found.\nshort.stl : STL header read error.\n");
  EXPECT_EQ(r.out, "a.stl\n" + kLine + "\nempty.stl\n-\n" + kLine + "\n");
}

TEST(Meshdump, PrintsTheVerticesAfterWindingRepairAndStopsAtABrokenFacet) {
  Scratch dir;
  TestFacet flipped = Tri(0, 0, 0, 1, 0, 0, 0, 1, 0);
  flipped.n[2] = -1;
  std::string bytes = BinarySTL({flipped, flipped, flipped});
  bytes.resize(bytes.size() - 10);
  dir.Write("f.stl", bytes);
  RunResult r = ::Run("meshdump-plain", {"f.stl"}, "", dir.path);
  const std::string swapped =
      "0.000000 0.000000 0.000000 0.000000 1.000000 0.000000 1.000000 0.000000 0.000000\n";
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "f.stl : STL data error after 2 facets.\n");
  EXPECT_EQ(r.out, "f.stl\n" + swapped + swapped);
}

TEST(Meshdump, UsageAndLostOutput) {
  ExpectRuns("", {
                     {{"meshdump"}, "usage : meshdump STL_files\n"},
                     {{"meshdump-plain"}, "usage : meshdump-plain STL_files\n"},
                 });
  Scratch dir;
  dir.Write("a.stl", BinarySTL(UnitCube()));
  RunResult full =
      RunCommand({"/bin/sh", "-c", ProgramPath("meshdump") + " a.stl > /dev/full"}, "", dir.path);
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err, "output write error.\n");
}

TEST(Meshfacets, OneRowPerWordInAscendingOrder) {
  Scratch dir;
  // Two red facets of area 0.5 and 2, one uncoloured facet, one degenerate blue one.
  dir.Write(
      "m.stl",
      BinarySTL({Tri(0, 0, 0, 1, 0, 0, 0, 1, 0, 0xFC00), Tri(0, 0, 0, 2, 0, 0, 0, 2, 0, 0xFC00),
                 Tri(0, 0, 0, 0, 0, 3, 0, 1, 0, 0), Tri(1, 1, 1, 1, 1, 1, 1, 1, 1, 0x801F)}));
  RunResult r = ::Run("meshfacets", {"m.stl"}, "", dir.path);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "0\t1\t1.500000\n32799\t0\t0\t255\t1\t0.000000\n64512\t255\t0\t0\t2\t2.500000\n");
}

TEST(Meshfacets, AsciiFileGivesASingleRowForWordZero) {
  Scratch dir;
  RunResult r = ::Run("meshfacets", {"-"}, AsciiSTL(UnitCube()), dir.path);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "0\t12\t6.000000\n");
}

TEST(Meshfacets, Failures) {
  Scratch dir;
  dir.Write("bad.stl", "tiny");
  const std::string usage = "usage : meshfacets STL_file\n";
  ExpectRuns(dir.path,
             {
                 {{"meshfacets"}, usage},
                 {{"meshfacets", "a", "b"}, usage},
                 {{"meshfacets", "none.stl"}, "none.stl : STL file not found.\n"},
                 {{"meshfacets", "bad.stl"}, "bad.stl : STL header read error.\n", 1, "", ""},
             });
  dir.Write("a.stl", BinarySTL(UnitCube()));
  RunResult full =
      RunCommand({"/bin/sh", "-c", ProgramPath("meshfacets") + " a.stl > /dev/full"}, "", dir.path);
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err, "output write error.\n");
}
