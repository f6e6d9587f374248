// meshslice as a program: arguments and messages, slice file names, the centre
// rule on small models, reports of inconsistent rows, and models far outside the grid.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "support/run.h"
#include "support/stlfiles.h"
#include "tiffread.h"

namespace {

using Facets = std::vector<TestFacet>;
using Slice = std::vector<std::string>;  // one text row a y index: '#' solid, '.' empty

// The box [x0, x1] x [y0, y1] x [z0, z1], normals outward.
Facets Box(float x0, float y0, float z0, float x1, float y1, float z1) {
  Facets box;
  for (const TestFacet& f : UnitCube()) {
    float v[9];
    for (int k = 0; k < 9; k += 3) {
      v[k] = f.v[k] == 0 ? x0 : x1;
      v[k + 1] = f.v[k + 1] == 0 ? y0 : y1;
      v[k + 2] = f.v[k + 2] == 0 ? z0 : z1;
    }
    box.push_back(Tri(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]));
  }
  return box;
}

// The same facets turned inside out: winding and stored normals point inwards.
Facets Inverted(const Facets& facets) {
  Facets out;
  for (const TestFacet& f : facets) {
    const float* v = f.v;
    out.push_back(Tri(v[0], v[1], v[2], v[6], v[7], v[8], v[3], v[4], v[5]));
  }
  return out;
}

// A prism along z over the triangle (ax, 0), (bx, 0), (cx, cy), from z = 0 to z = depth;
// with ax < bx and cy > 0 the triangle runs counter-clockwise and the normals point out.
Facets Roof(float ax, float bx, float cx, float cy, float depth) {
  const float p[3][2] = {{ax, 0}, {bx, 0}, {cx, cy}};
  Facets facets;
  for (int e = 0; e < 3; ++e) {
    const float* a = p[e];
    const float* b = p[(e + 1) % 3];
    facets.push_back(Tri(a[0], a[1], 0, b[0], b[1], 0, b[0], b[1], depth));
    facets.push_back(Tri(a[0], a[1], 0, b[0], b[1], depth, a[0], a[1], depth));
  }
  facets.push_back(Tri(p[0][0], p[0][1], 0, p[2][0], p[2][1], 0, p[1][0], p[1][1], 0));
  facets.push_back(Tri(p[0][0], p[0][1], depth, p[1][0], p[1][1], depth, p[2][0], p[2][1], depth));
  return facets;
}

struct Sliced {
  RunResult run;
  std::vector<Slice> slices;
};

// Runs meshslice in a scratch folder on the given models (a.stl, b.stl, ...) and
// reads back every slice file of the folder "out".
Sliced SliceModels(Scratch& dir, const std::vector<Facets>& models,
                   const std::vector<std::string>& grid, int nz, const std::string& input = "") {
  std::vector<std::string> args;
  for (size_t m = 0; m < models.size(); ++m) {
    const std::string name = std::string(1, char('a' + m)) + ".stl";
    dir.Write(name, BinarySTL(models[m]));
    args.push_back(name);
  }
  if (!input.empty()) args.push_back("-");
  std::filesystem::create_directory(dir.Path("out"));
  for (const auto& g : grid) args.push_back(g);
  args.push_back("out");
  Sliced s{::Run("meshslice", args, input, dir.path), {}};
  int digits = 1;
  for (long long p = 10; p < nz; p *= 10) ++digits;
  for (int i = 0; i < nz && s.run.status == 0; ++i) {
    std::string number = std::to_string(i);
    number.insert(0, digits - number.size(), '0');
    TiffFile t;
    std::string why;
    EXPECT_TRUE(ParseTiff(dir.Read("out/" + number + ".tif"), &t, &why)) << number << ": " << why;
    EXPECT_EQ(t.bits, 1u);
    EXPECT_EQ(t.Find(262)->value, 0u);  // 0 is white: solid voxels are black
    Slice slice;
    for (uint32_t j = 0; j < t.height; ++j) {
      std::string row;
      for (uint32_t k = 0; k < t.width; ++k) row += t.samples[j * t.width + k] ? '#' : '.';
      slice.push_back(row);
    }
    s.slices.push_back(slice);
  }
  return s;
}

// Slices the models into as many slices as expected holds, and checks that meshslice
// ran silently and wrote those slices.
void ExpectSilentSlices(const std::vector<Facets>& models, const std::vector<std::string>& grid,
                        const std::vector<Slice>& expected) {
  Scratch dir;
  Sliced s = SliceModels(dir, models, grid, static_cast<int>(expected.size()));
  ASSERT_EQ(s.run.status, 0) << s.run.err;
  EXPECT_EQ(s.run.out, "");
  EXPECT_EQ(s.slices, expected);
}

TEST(MeshSlice, ArgumentErrors) {
  Scratch dir;
  dir.Write("a.stl", BinarySTL(UnitCube()));
  dir.Write("short.stl", "solid x");
  const std::string usage = "usage : meshslice STL_files xO yO zO Sx Sy Sz Nx Ny Nz directory\n";
  struct Case {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{}, usage},
      {{"0", "0", "0", "1", "1", "1", "1", "1", "1", "."}, usage},  // no STL file
      {{"a.stl", "0", "0", "0", "1", "0", "1", "1", "1", "1", "."}, "bad pixel size.\n"},
      {{"a.stl", "0", "0", "0", "1", "1", "-2", "1", "1", "1", "."}, "bad pixel size.\n"},
      {{"a.stl", "0", "0", "0", "nan", "1", "1", "1", "1", "1", "."}, "nan : not a number.\n"},
      {{"a.stl", "0", "0", "0", "1", "1", "1", "4", "0", "1", "."}, "bad pixel number.\n"},
      {{"a.stl", "0", "0", "0", "1", "1", "1", "x", "1", "1", "."}, "x : not a number.\n"},
      // A grid whose bits cannot even be counted in memory.
      {{"a.stl", "0", "0", "0", "1", "1", "1", "2000000000", "2000000000", "2000000000", "."},
       "bad pixel number.\n"},
      // One that can be counted but not allocated (2^57 bytes).
      {{"a.stl", "0", "0", "0", "1", "1", "1", "1048576", "1048576", "1048576", "."},
       "wall memory allocation error.\n"},
      {{"a.stl", "none.stl", "0", "0", "0", "1", "1", "1", "1", "1", "1", "."},
       "none.stl : STL file not found.\n"},
      {{"short.stl", "0", "0", "0", "1", "1", "1", "1", "1", "1", "."},
       "short.stl : STL header read error.\n"},
  };
  // The sanitizers' allocator must report the failed allocation instead of stopping.
  setenv("ASAN_OPTIONS", "allocator_may_return_null=1", 1);
  for (const auto& c : cases) {
    RunResult r = ::Run("meshslice", c.args, "", dir.path);
    // The sanitizers' note on the failed allocation ("==pid==WARNING: ...") aside.
    if (r.err.rfind("==", 0) == 0) r.err.erase(0, r.err.find('\n') + 1);
    EXPECT_EQ(r.err, c.err) << c.args.size() << " arguments";
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
  }
  unsetenv("ASAN_OPTIONS");
  EXPECT_FALSE(dir.Exists("0.tif"));
}

TEST(MeshSlice, SliceNamesHaveTheDigitsOfTheLastNumber) {
  Scratch dir;
  dir.Write("empty.stl", BinarySTL({}));
  for (auto [nz, first, last] :
       {std::tuple{10, "0", "9"}, {11, "00", "10"}, {100, "00", "99"}, {101, "000", "100"}}) {
    const std::string out = "out" + std::to_string(nz);
    std::filesystem::create_directory(dir.Path(out));
    RunResult r = ::Run(
        "meshslice", {"empty.stl", "0", "0", "0", "1", "1", "1", "1", "1", std::to_string(nz), out},
        "", dir.path);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(dir.Exists(out + "/" + first + ".tif")) << nz;
    EXPECT_TRUE(dir.Exists(out + "/" + last + ".tif")) << nz;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path(out)), {}), nz);
  }
}

TEST(MeshSlice, DirectoryIsNeverAFormat) {
  Scratch dir;
  dir.Write("a.stl", BinarySTL(UnitCube()));
  // Conversions in the name, and a path longer than a fixed 1024-byte buffer.
  std::string out = "p%d%s%n";
  for (int level = 0; level < 5; ++level) out += "/" + std::string(250, 'x');
  std::filesystem::create_directories(dir.Path(out));
  RunResult r = ::Run(
      "meshslice", {"a.stl", "0", "0", "0", "0.5", "0.5", "0.5", "2", "2", "2", out}, "", dir.path);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(dir.Exists(out + "/0.tif"));
  EXPECT_TRUE(dir.Exists(out + "/1.tif"));
}

TEST(MeshSlice, BoxFillsTheVoxelsWhoseCentresAreInside) {
  // Voxels of 1/8 from -1/4: x in [0, 1] holds centres 2..9 (2.5 .. 9.5 in grid
  // units lie within [2, 10]); y in [0, 0.5] rows 2..5; z in [0, 0.3] slices 2..3.
  // Row 0 of each image is the one nearest yO.
  const Slice empty(8, "............");
  const Slice full = {"............", "............", "..########..", "..########..",
                      "..########..", "..########..", "............", "............"};
  ExpectSilentSlices({Box(0, 0, 0, 1, 0.5f, 0.3f)},
                     {"-0.25", "-0.25", "-0.25", "0.125", "0.125", "0.125", "12", "8", "6"},
                     {empty, empty, full, full, empty, empty});
}

TEST(MeshSlice, CentresOnTheSurfaceCountAsInside) {
  // Entry at 2.5 sets column 2, exit at 4.5 sets column 4; the rows and slices
  // whose centres lie on the faces y = 0.5, y = 1.5 and z = 0.5 are solid too.
  const Slice solid = {"..###..", "..###..", "......."};
  const Slice none(3, ".......");
  ExpectSilentSlices({Box(2.5f, 0.5f, 0.5f, 4.5f, 1.5f, 1.5f)},
                     {"0", "0", "0", "1", "1", "1", "7", "3", "3"}, {solid, solid, none});
}

TEST(MeshSlice, GrazingEdgeSetsOnlyACentreExactlyOnIt) {
  // The ridge of a prism runs along z at y = 2.5 (the centre line of row 2). At
  // x = 3.5 it touches the centre of column 3; at x = 3 it touches no centre.
  const Slice on = {".#####..", "..###...", "...#....", "........"};
  ExpectSilentSlices({Roof(1, 6, 3.5f, 2.5f, 2)}, {"0", "0", "0", "1", "1", "1", "8", "4", "2"},
                     {on, on});
  ExpectSilentSlices({Roof(0.5f, 5.5f, 3, 2.5f, 1)}, {"0", "0", "0", "1", "1", "1", "8", "4", "1"},
                     {Slice{".####...", "..##....", "........", "........"}});
}

TEST(MeshSlice, InwardNormalsAreReportedAndFillNothing) {
  Scratch dir;
  Sliced s = SliceModels(dir, {Inverted(UnitCube())},
                         {"0", "0", "0", "0.5", "0.5", "0.5", "2", "2", "2"}, 2);
  ASSERT_EQ(s.run.status, 0) << s.run.err;
  // Per cell: slice and row, then the entries (the face x = 1 at grid x 2), then
  // the exits (the face x = 0).
  EXPECT_EQ(s.run.out,
            "0\t0\n\t2.000000\n\t0.000000\n"
            "0\t1\n\t2.000000\n\t0.000000\n"
            "1\t0\n\t2.000000\n\t0.000000\n"
            "1\t1\n\t2.000000\n\t0.000000\n");
  for (const Slice& slice : s.slices) EXPECT_EQ(slice, (Slice{"..", ".."}));
}

TEST(MeshSlice, OpenMeshSpoilsOnlyItsOwnFile) {
  // b.stl lacks its face x = 1: every row it crosses has an entry and no exit.
  // a.stl, a closed box elsewhere, still fills.
  Facets open = Box(0, 0, 0, 2, 1, 1);
  open.erase(open.end() - 2, open.end());
  Scratch dir;
  Sliced s = SliceModels(dir, {Box(0, 1, 0, 4, 2, 1), open},
                         {"0", "0", "0", "1", "1", "1", "4", "2", "1"}, 1);
  ASSERT_EQ(s.run.status, 0) << s.run.err;
  EXPECT_EQ(s.run.out, "0\t0\n\t0.000000\n\n");
  EXPECT_EQ(s.slices[0], (Slice{"....", "####"}));
}

TEST(MeshSlice, FilesAndStandardInputGiveTheUnion) {
  Scratch dir;
  Sliced s =
      SliceModels(dir, {Box(0, 0, 0, 2, 1, 1)}, {"0", "0", "0", "1", "1", "1", "5", "2", "2"}, 2,
                  BinarySTL(Box(1, 0, 0, 4, 2, 1)));
  ASSERT_EQ(s.run.status, 0) << s.run.err;
  EXPECT_EQ(s.slices[0], (Slice{"####.", ".###."}));
  EXPECT_EQ(s.slices[1], (Slice{".....", "....."}));
}

TEST(MeshSlice, ModelsPartlyOrWhollyOutsideTheGrid) {
  Scratch dir;
  // Beyond the grid in x on both sides: clamped to columns 0 and Nx - 1.
  Sliced wide = SliceModels(dir, {Box(-50, 0, 0, 50, 1, 1)},
                            {"0", "0", "0", "1", "1", "1", "6", "1", "1"}, 1);
  ASSERT_EQ(wide.run.status, 0) << wide.run.err;
  EXPECT_EQ(wide.slices[0], (Slice{"######"}));
  // Above the grid in z: every slice is still written, all empty.
  Scratch dir2;
  Sliced above =
      SliceModels(dir2, {Box(0, 0, 5, 2, 2, 6)}, {"0", "0", "0", "1", "1", "1", "2", "2", "3"}, 3);
  ASSERT_EQ(above.run.status, 0) << above.run.err;
  for (const Slice& slice : above.slices) EXPECT_EQ(slice, (Slice{"..", ".."}));
}

TEST(MeshSlice, GridsWiderThan65536VoxelsAndFarModels) {
  // Crossings beyond 65536 voxels from the origin need more than 32 bits.
  Scratch dir;
  Sliced s = SliceModels(dir, {Box(70000.25f, 0, 0, 70002.75f, 1, 1)},
                         {"0", "0", "0", "1", "1", "1", "100000", "1", "1"}, 1);
  ASSERT_EQ(s.run.status, 0) << s.run.err;
  ASSERT_EQ(s.slices[0].size(), 1u);
  EXPECT_EQ(s.slices[0][0].find('#'), 70000u);
  EXPECT_EQ(s.slices[0][0].rfind('#'), 70002u);
  EXPECT_EQ(std::count(s.slices[0][0].begin(), s.slices[0][0].end(), '#'), 3);
  // A far inside-out model is reported with its true crossings.
  Scratch dir2;
  Sliced far = SliceModels(dir2, {Inverted(Box(1e9f, 0, 0, 2e9f, 1, 1))},
                           {"0", "0", "0", "1", "1", "1", "4", "1", "1"}, 1);
  ASSERT_EQ(far.run.status, 0) << far.run.err;
  EXPECT_EQ(far.run.out, "0\t0\n\t2000000000.000000\n\t1000000000.000000\n");
}

TEST(MeshSlice, NonFiniteAndHugeCoordinatesAreSafe) {
  // A cube with extra facets holding not-a-number and infinite coordinates (skipped),
  // and a slab reaching from -1e30 to 3e30 in y (clamped to every row).
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  Facets model = Box(0, 0, 0, 2, 1, 1);
  model.push_back(Tri(0, 0, 0, nan, 1, 0, 0, 1, 1));
  model.push_back(Tri(0, 0, 0, 1, inf, 0, 0, 1, 1));
  model.push_back(Tri(-inf, 0, 0, 1, 1, 0, 0, 0, inf));
  ExpectSilentSlices({model, Box(3, -1e30f, 0, 4, 3e30f, 1)},
                     {"0", "0", "0", "1", "1", "1", "5", "2", "1"}, {Slice{"##.#.", "...#."}});
}

TEST(MeshSlice, SliceFileThatCannotBeStored) {
  Scratch dir;
  dir.Write("a.stl", BinarySTL(UnitCube()));
  RunResult r = ::Run("meshslice", {"a.stl", "0", "0", "0", "1", "1", "1", "1", "1", "2", "none"},
                      "", dir.path);
  EXPECT_EQ(r.err, "none/0.tif : file not stored.\n");
  EXPECT_EQ(r.status, 1);
  // A full disk: the second slice goes to /dev/full. The first stays on disk.
  std::filesystem::create_directory(dir.Path("out"));
  ASSERT_EQ(symlink("/dev/full", dir.Path("out/1.tif").c_str()), 0);
  r = ::Run("meshslice", {"a.stl", "0", "0", "0", "1", "1", "1", "1", "1", "2", "out"}, "",
            dir.path);
  EXPECT_EQ(r.err, "out/1.tif : file not stored.\n");
  EXPECT_EQ(r.status, 1);
  TiffFile t;
  std::string why;
  EXPECT_TRUE(ParseTiff(dir.Read("out/0.tif"), &t, &why)) << why;
}

}  // namespace

TEST(MeshSlice, GridsWhoseCrossingsCannotBeHeldStopBeforeReading) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizers need more address space than the limit leaves";
#else
  // A box spanning the whole grid: one entry and one exit in every row cell. With
  // 2^31 - 1 slices or rows that is 64 GiB of crossings. The program is allowed 3 GB of
  // address space, room for the 2 GiB of voxel bits but not for the crossings: it must
  // say so before it reads, instead of growing until the limit.
  Scratch dir;
  dir.Write("box.stl", BinarySTL(Box(-1, -1, -1, 2, 2, 2)));
  std::filesystem::create_directory(dir.Path("out"));
  struct Case {
    std::string grid;  // Sx Sy Sz Nx Ny Nz
    int status;
    std::string err;
    int files;
  } cases[] = {
      {"1 1 1e-9 1 1 2147483647", 1, "wall memory allocation error.\n", 0},
      {"1 1e-9 1 1 2147483647 1", 1, "wall memory allocation error.\n", 0},
      // 1,000,000 rows in 4 slices: 128 MB of crossings reserved, and enough.
      {"1 1e-6 0.25 1 1000000 4", 0, "", 4},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(dir.Path("out"));
    std::filesystem::create_directory(dir.Path("out"));
    const RunResult r = RunCommand(
        {"/bin/sh", "-c",
         "ulimit -v 3000000 && " + ProgramPath("meshslice") + " box.stl 0 0 0 " + c.grid + " out"},
        "", dir.path);
    EXPECT_EQ(r.status, c.status) << c.grid;
    EXPECT_EQ(r.err, c.err) << c.grid;
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path("out")))
      ++files;
    EXPECT_EQ(files, c.files) << c.grid;
  }
  // Every voxel of the 1,000,000-row slices is inside the box.
  TiffFile t;
  std::string why;
  ASSERT_TRUE(ParseTiff(dir.Read("out/3.tif"), &t, &why)) << why;
  ASSERT_EQ(t.height, 1000000u);
  size_t solid = 0;
  for (uint32_t j = 0; j < t.height; ++j) solid += t.samples[j] ? 1 : 0;
  EXPECT_EQ(solid, 1000000u);
#endif
}

TEST(MeshSlice, RowsCrossedMoreThanTwiceStillFill) {
  // Three boxes along x in a grid of one row: six crossings in a cell, three times
  // the two a row cell reserved before reading.
  Scratch dir;
  Facets boxes = Box(0, 0, 0, 2, 1, 1);
  for (const Facets& b : {Box(4, 0, 0, 5, 1, 1), Box(7, 0, 0, 10, 1, 1)})
    boxes.insert(boxes.end(), b.begin(), b.end());
  Sliced s = SliceModels(dir, {boxes}, {"0", "0", "0", "1", "1", "1", "11", "1", "1"}, 1);
  ASSERT_EQ(s.run.status, 0) << s.run.err;
  ASSERT_EQ(s.slices.size(), 1u);
  EXPECT_EQ(s.slices[0], Slice{"##..#..###."});
}
