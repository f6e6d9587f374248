// The reader's winding repair: which stored normals turn a facet over, and what the
// measuring programs make of models whose stored normals lie almost in their facets.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "mesh/stl.h"
#include "support/run.h"
#include "support/stlfiles.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Reads one binary facet (0 0 0, 1 0 0, 0 1 0: counter-clockwise about +z) stored with
// the normal n; true when the reader swapped its vertices 2 and 3.
bool Swapped(float nx, float ny, float nz) {
  TestFacet t = Tri(0, 0, 0, 1, 0, 0, 0, 1, 0);
  t.n[0] = nx;
  t.n[1] = ny;
  t.n[2] = nz;
  const std::string bytes = BinarySTL({t});
  FILE* f = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::rewind(f);
  STLReader r;
  EXPECT_EQ(SetUpSTL(&r, f), 1);
  float v[9];
  EXPECT_EQ(ScanSTL(&r, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8]), 1);
  std::fclose(f);
  EXPECT_TRUE((v[3] == 1 && v[7] == 1) || (v[4] == 1 && v[6] == 1));
  return v[4] == 1;  // vertex 2 is now 0 1 0
}

TEST(Winding, OnlyANormalClearlyAgainstTheFacetTurnsIt) {
  struct Case {
    float n[3];
    bool swapped;
    const char* what;
  };
  const Case cases[] = {
      {{1, 0, -1e-4f}, false, "nearly in the facet's plane, slightly against"},
      {{0, 1, -0.09f}, false, "cosine about -0.0896"},
      {{0, 1, -0.11f}, true, "cosine about -0.109"},
      {{0, 0, -7}, true, "against, long"},
      {{0, 0, -1e-30f}, true, "against, tiny"},
      {{0, 0, -1e-45f}, true, "against, the smallest float"},
      {{3e38f, 0, -3e38f}, true, "against at 45 degrees, huge"},
      {{0, 0, 1}, false, "with the facet"},
      {{0, 0, 0}, false, "zero"},
      {{-0.0f, 0, -0.0f}, false, "negative zeros"},
      {{kNaN, 0, -1}, false, "not a number"},
      {{0, 0, -INFINITY}, false, "infinite: the cosine is not a number"},
  };
  for (const Case& c : cases) EXPECT_EQ(Swapped(c.n[0], c.n[1], c.n[2]), c.swapped) << c.what;
}

// The unit cube with every stored normal nearly in its facet's plane and tilted 1e-4
// against the outward side: each facet's vertex order is right, its normal is noise.
std::vector<TestFacet> NoiseNormals() {
  auto cube = UnitCube();
  for (auto& f : cube) {
    double n[3];
    CalcNormal(f.v[0], f.v[1], f.v[2], f.v[3], f.v[4], f.v[5], f.v[6], f.v[7], f.v[8], &n[0], &n[1],
               &n[2]);
    const float edge[3] = {f.v[3] - f.v[0], f.v[4] - f.v[1], f.v[5] - f.v[2]};
    for (int i = 0; i < 3; ++i) f.n[i] = static_cast<float>(edge[i] - 1e-4 * n[i]);
  }
  return cube;
}

TEST(Winding, NoiseNormalsLeaveTheVolumeOfTheVertexOrder) {
  Scratch dir;
  dir.Write("noise.stl", BinarySTL(NoiseNormals()));
  dir.Write("cube.stl", BinarySTL(UnitCube()));
  RunResult r = ::Run("meshstats", {"noise.stl", "cube.stl"}, "", dir.path);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "noise.stl\t12\t6.000000\t1.000000\ncube.stl\t12\t6.000000\t1.000000\n");
  r = ::Run("meshverify", {"noise.stl"}, "", dir.path);
  EXPECT_EQ(r.out, "noise.stl\t12\t0.000000\t0.000000\t0.000000\t6.000000\n");
}

}  // namespace
