// meshmove, meshscale and meshtransform, run as programs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>

#include "support/cases.h"
#include "support/run.h"
#include "support/stlfiles.h"

namespace {

// A model with coloured facets whose stored normals are not unit length, so that a
// rewritten file shows the recomputed ones.
std::vector<TestFacet> Model() {
  auto cube = UnitCube();
  for (size_t i = 0; i < cube.size(); ++i) {
    cube[i].attribute = static_cast<uint16_t>(i % 2 ? 0xFC00 : 0x0123);
    for (float& n : cube[i].n) n *= 3;
  }
  return cube;
}

std::vector<TestFacet> Output(const Scratch& dir, const std::string& name) {
  std::vector<TestFacet> facets;
  EXPECT_TRUE(ParseBinarySTL(dir.Read(name), &facets)) << DescribeSTL(dir.Read(name));
  return facets;
}

}  // namespace

TEST(Meshmove, ZeroShiftRecomputesNormalsAndKeepsColours) {
  Scratch dir;
  dir.Write("in.stl", BinarySTL(Model()));
  ExpectRuns(dir.path, {{{"meshmove", "in.stl", "0", "0", "0", "out.stl"}, "", 0}});
  auto expected = Model();
  for (auto& f : expected) {
    for (float& n : f.n) n /= 3;
  }
  EXPECT_TRUE(EqualSTL(BinarySTL(expected), dir.Read("out.stl")));
}

TEST(Meshmove, ShiftsEveryVertexAndReadsStandardInput) {
  Scratch dir;
  RunResult r =
      ::Run("meshmove", {"-", "1", "-2", "0.5", "out.stl"}, AsciiSTL(UnitCube()), dir.path);
  EXPECT_EQ(r.status, 0);
  auto out = Output(dir, "out.stl");
  auto cube = UnitCube();
  ASSERT_EQ(out.size(), cube.size());
  for (size_t i = 0; i < out.size(); ++i) {
    for (int k = 0; k < 9; k += 3) {
      EXPECT_EQ(out[i].v[k], cube[i].v[k] + 1);
      EXPECT_EQ(out[i].v[k + 1], cube[i].v[k + 1] - 2);
      EXPECT_EQ(out[i].v[k + 2], cube[i].v[k + 2] + 0.5f);
    }
    EXPECT_EQ(out[i].attribute, 0);  // ASCII facets carry no colour
  }
}

TEST(Meshscale, OneRatioOrOnePerAxis) {
  Scratch dir;
  dir.Write("in.stl", BinarySTL(Model()));
  ASSERT_EQ(::Run("meshscale", {"in.stl", "2", "double.stl"}, "", dir.path).status, 0);
  ASSERT_EQ(::Run("meshscale", {"in.stl", "1", "1", "-1", "mirror.stl"}, "", dir.path).status, 0);
  auto model = Model();
  auto twice = Output(dir, "double.stl");
  auto mirror = Output(dir, "mirror.stl");
  ASSERT_EQ(twice.size(), model.size());
  ASSERT_EQ(mirror.size(), model.size());
  for (size_t i = 0; i < model.size(); ++i) {
    for (int k = 0; k < 9; ++k) {
      EXPECT_EQ(twice[i].v[k], 2 * model[i].v[k]);
      EXPECT_EQ(mirror[i].v[k], k % 3 == 2 ? -model[i].v[k] : model[i].v[k]);
    }
    EXPECT_EQ(twice[i].attribute, model[i].attribute);
    // Mirrored in z with the vertex order kept: the normals now point inward, so the
    // z component of a top or bottom facet keeps its sign although the facet moved.
    EXPECT_EQ(mirror[i].n[2], model[i].n[2] / 3);
  }
}

TEST(Meshscale, WrongArgumentCountsPrintUsage) {
  const std::string usage = "usage : meshscale orgSTL ratio|(Rx Ry Rz) newSTL\n";
  ExpectRuns("", {
                     {{"meshscale"}, usage},
                     {{"meshscale", "a", "b"}, usage},
                     {{"meshscale", "a", "2", "3", "b"}, usage},
                     {{"meshscale", "a", "1", "2", "3", "4", "b"}, usage},
                 });
}

TEST(Meshtransform, TranslationGivesMeshmovesBytesEvenForLargeOffsets) {
  Scratch dir;
  dir.Write("in.stl", BinarySTL(Model()));
  for (std::string offset : {"1.25", "1e6", "-3e7"}) {
    ASSERT_EQ(::Run("meshmove", {"in.stl", offset, "2", offset, "move.stl"}, "", dir.path).status,
              0);
    ASSERT_EQ(::Run("meshtransform",
                    {"in.stl", offset, "1", "0", "0", "2", "0", "1", "0", offset, "0", "0", "1",
                     "tr.stl"},
                    "", dir.path)
                  .status,
              0);
    EXPECT_TRUE(EqualSTL(dir.Read("move.stl"), dir.Read("tr.stl"))) << "offset " << offset;
  }
}

TEST(Meshtransform, NormalIsTheLinearPartAppliedToTheUnitNormal) {
  Scratch dir;
  dir.Write("in.stl", BinarySTL({Tri(0, 0, 0, 1, 0, 0, 0, 1, 0, 0x8001)}));
  // Scaling by 2 in z: the normal (0, 0, 1) becomes (0, 0, 2), not of unit length.
  ASSERT_EQ(::Run("meshtransform",
                  {"in.stl", "5", "1", "0", "0", "0", "0", "1", "0", "0", "0", "0", "2", "s.stl"},
                  "", dir.path)
                .status,
            0);
  TestFacet scaled{{0, 0, 2}, {5, 0, 0, 6, 0, 0, 5, 1, 0}, 0x8001};
  EXPECT_TRUE(EqualSTL(BinarySTL({scaled}), dir.Read("s.stl")));
  // Mirroring x keeps the vertex order and writes the mirrored normal; reading the
  // file back swaps vertices 2 and 3, because normal and order now disagree.
  ASSERT_EQ(::Run("meshtransform",
                  {"in.stl", "0", "-1", "0", "0", "0", "0", "1", "0", "0", "0", "0", "1", "m.stl"},
                  "", dir.path)
                .status,
            0);
  TestFacet mirrored{{-0.0f, 0, 1}, {0, 0, 0, -1, 0, 0, 0, 1, 0}, 0x8001};  // -1 * 0 is -0
  EXPECT_TRUE(EqualSTL(BinarySTL({mirrored}), dir.Read("m.stl")));
  RunResult dump = ::Run("meshdump-plain", {"m.stl"}, "", dir.path);
  EXPECT_EQ(
      dump.out,
      "m.stl\n0.000000 0.000000 0.000000 0.000000 1.000000 0.000000 -1.000000 0.000000 0.000000\n");
}

TEST(Meshedit, UsageLines) {
  ExpectRuns("",
             {
                 {{"meshmove", "a", "1", "2", "b"}, "usage : meshmove orgSTL Sx Sy Sz newSTL\n"},
                 {{"meshtransform", "a", "b"},
                  "usage : meshtransform orgSTL h0 hx hy hz v0 vx vy vz d0 dx dy dz newSTL\n"},
             });
}

TEST(Meshedit, InputFailuresLeaveNoOutput) {
  Scratch dir;
  dir.Write("short.stl", "solid\n");
  ExpectRuns(
      dir.path,
      {
          {{"meshmove", "none.stl", "1", "2", "3", "out.stl"}, "none.stl : file not found.\n"},
          {{"meshscale", "short.stl", "2", "out.stl"}, "short.stl : STL header read error.\n"},
      });
  EXPECT_FALSE(dir.Exists("out.stl"));
}

TEST(Meshedit, OutputFailuresAreReported) {
  Scratch dir;
  dir.Write("in.stl", BinarySTL(UnitCube()));
  ExpectRuns(dir.path, {
                           {{"meshmove", "in.stl", "1", "2", "3", "no/such/dir.stl"},
                            "no/such/dir.stl : file not stored.\n"},
                           // A full disk: the data cannot be flushed, never status 0.
                           {{"meshscale", "in.stl", "2", "/dev/full"},
                            "/dev/full : STL facet data write error.\n"},
                       });
}

TEST(Meshedit, EmptyModelGives84ZeroBytes) {
  Scratch dir;
  dir.Write("empty.stl", BinarySTL({}));
  ASSERT_EQ(
      ::Run("meshtransform",
            {"empty.stl", "0", "1", "0", "0", "0", "0", "1", "0", "0", "0", "0", "1", "o.stl"}, "",
            dir.path)
          .status,
      0);
  EXPECT_EQ(dir.Read("o.stl"), std::string(84, '\0'));
}
