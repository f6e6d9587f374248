// Program tests of meshjoin and meshpaint.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/cases.h"
#include "support/run.h"
#include "support/stlfiles.h"
#include "tools.h"

namespace {

// Two coloured facets and one without colour, stored with normals of the right sense.
std::vector<TestFacet> Coloured() {
  return {Tri(0, 0, 0, 2, 0, 0, 0, 3, 0, 0xFC00), Tri(1, 1, 1, 1, 2, 1, 1, 1, 2, 0x7FFF),
          Tri(-1, 0, 5, 0, -1, 5, 0, 0, 6, 0x8000)};
}

std::vector<TestFacet> Joined(std::vector<TestFacet> a, const std::vector<TestFacet>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(MeshJoin, WritesAllFacetsInArgumentOrder) {
  Scratch dir;
  dir.Write("a.stl", AsciiSTL(UnitCube()));
  dir.Write("b.stl", BinarySTL(Coloured()));
  RunResult r =
      ::Run("meshjoin", {"a.stl", "-", "b.stl", "out.stl"}, BinarySTL(Coloured()), dir.path);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  // ASCII facets carry the word 0; binary facets keep theirs.
  EXPECT_TRUE(EqualSTL(WrittenSTL(Joined(Joined(UnitCube(), Coloured()), Coloured())),
                       dir.Read("out.stl")));
}

TEST(MeshJoin, OneInputIsCopiedWithRecomputedNormals) {
  Scratch dir;
  auto facets = Coloured();
  for (auto& f : facets) {
    for (float& n : f.n) n *= 10;
  }
  dir.Write("a.stl", BinarySTL(facets));
  EXPECT_EQ(::Run("meshjoin", {"a.stl", "out.stl"}, "", dir.path).status, 0);
  EXPECT_TRUE(EqualSTL(WrittenSTL(Coloured()), dir.Read("out.stl")));
}

TEST(MeshJoin, InputErrorsStopWithTheFacetsWrittenAndCountZero) {
  Scratch dir;
  dir.Write("a.stl", BinarySTL(Coloured()));
  dir.Write("short.stl", "solid\n");
  for (const char* second : {"missing.stl", "short.stl"}) {
    RunResult r = ::Run("meshjoin", {"a.stl", second, "out.stl"}, "", dir.path);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, std::string(second) + (std::string(second) == "missing.stl"
                                                ? " : file not found.\n"
                                                : " : STL header read error.\n"));
    std::string expected = WrittenSTL(Coloured());
    expected.replace(80, 4, 4, '\0');
    EXPECT_EQ(dir.Read("out.stl"), expected) << DescribeSTL(dir.Read("out.stl"));
  }
  // A model cut short ends the program like any other input error: its whole facets
  // stay written, the count field is still 0, and the next input is not read.
  std::string broken = BinarySTL(Coloured(), 5);
  dir.Write("broken.stl", broken);
  RunResult r = ::Run("meshjoin", {"broken.stl", "a.stl", "out.stl"}, "", dir.path);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "broken.stl : STL data error after 3 facets.\n");
  std::string expected = WrittenSTL(Coloured());
  expected.replace(80, 4, 4, '\0');
  EXPECT_EQ(dir.Read("out.stl"), expected) << DescribeSTL(dir.Read("out.stl"));
}

TEST(MeshJoin, ReportsUsageAndOutputFailures) {
  Scratch dir;
  dir.Write("a.stl", BinarySTL(Coloured()));
  const std::string usage = "usage : meshjoin STL_files STL\n";
  ExpectRuns(dir.path,
             {
                 {{"meshjoin"}, usage},
                 {{"meshjoin", "a.stl"}, usage},
                 {{"meshjoin", "a.stl", "no/dir.stl"}, "no/dir.stl : file not stored.\n"},
                 {{"meshjoin", "a.stl", "/dev/full"}, "/dev/full : STL facet data write error.\n"},
             });
}

TEST(MeshPaint, PaintsEveryFacetWithTheTopFiveBits) {
  Scratch dir;
  dir.Write("in.stl", BinarySTL(Coloured()));
  struct Case {
    std::vector<std::string> rgb;
    int word;
  };
  for (const Case& c : std::vector<Case>{{{"255", "0", "0"}, 0xFC00},
                                         {{"250", "0", "0"}, 0xFC00},
                                         {{"7", "7", "7"}, 0x8000},  // a coloured black
                                         {{"100", "150", "200"}, 0x8000 | 12 << 10 | 18 << 5 | 25},
                                         {{" +16", "12 ", "0"}, 0x8000 | 2 << 10 | 1 << 5}}) {
    std::vector<std::string> args{"in.stl"};
    args.insert(args.end(), c.rgb.begin(), c.rgb.end());
    args.push_back("out.stl");
    RunResult r = ::Run("meshpaint", args, "", dir.path);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(EqualSTL(WrittenSTL(Coloured(), c.word), dir.Read("out.stl"))) << c.rgb[0];
  }
  // The colour as meshdump shows it: cut to five bits and expanded again.
  ASSERT_EQ(::Run("meshpaint", {"in.stl", "100", "150", "200", "out.stl"}, "", dir.path).status, 0);
  RunResult dump = ::Run("meshdump", {"out.stl"}, "", dir.path);
  EXPECT_NE(dump.out.find(" 99 148 206\n"), std::string::npos) << dump.out;
}

TEST(MeshPaint, TwoArgumentsRemoveEveryColour) {
  Scratch dir;
  RunResult r = ::Run("meshpaint", {"-", "out.stl"}, BinarySTL(Coloured()), dir.path);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(EqualSTL(WrittenSTL(Coloured(), 0), dir.Read("out.stl")));
}

TEST(MeshPaint, ChecksArgumentsInputColourThenOutput) {
  Scratch dir;
  dir.Write("in.stl", BinarySTL(Coloured()));
  const std::string usage = "usage : meshpaint orgSTL {R G B} newSTL\n";
  ExpectRuns(dir.path, {
                           {{"meshpaint"}, usage},
                           {{"meshpaint", "in.stl"}, usage},
                           {{"meshpaint", "in.stl", "1", "out.stl"}, usage},
                           {{"meshpaint", "in.stl", "1", "2", "out.stl"}, usage},
                           {{"meshpaint", "in.stl", "1", "2", "3", "4", "out.stl"}, usage},
                       });
  for (const char* bad : {"256", "-1", "99999999999", "-99999999999"}) {
    for (int channel = 0; channel < 3; ++channel) {
      std::vector<std::string> args{"in.stl", "0", "0", "0", "out.stl"};
      args[1 + channel] = bad;
      RunResult r = ::Run("meshpaint", args, "", dir.path);
      EXPECT_EQ(r.status, 1) << bad;
      EXPECT_EQ(r.err, "bad surface color.\n") << bad;
      EXPECT_FALSE(dir.Exists("out.stl")) << bad;
    }
  }
  // The input is read before the colour is checked, the output opened last.
  ExpectRuns(
      dir.path,
      {
          {{"meshpaint", "missing.stl", "256", "0", "0", "out.stl"},
           "missing.stl : file not found.\n"},
          {{"meshpaint", "-", "256", "0", "0", "out.stl"},
           "- : STL header read error.\n",
           1,
           "short"},
          {{"meshpaint", "in.stl", "no/dir.stl"}, "no/dir.stl : file not stored.\n"},
          {{"meshpaint", "in.stl", "/dev/full"}, "/dev/full : STL facet data write error.\n"},
      });
}

}  // namespace
