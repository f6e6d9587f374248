// The seven ZCP programs run on files written here: standard output, standard error,
// exit status and output bytes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "common/bytes.h"
#include "support/cases.h"
#include "support/run.h"
#include "support/stlfiles.h"
#include "zcpfiles.h"

namespace {

constexpr uint16_t kColoured = 0x8000 | 31 << 10 | 16 << 5 | 1;  // 255, 132, 8 once widened

// Two facets sharing the edge B-C of the square A B D C in z = 0. All four points
// fall in bucket 0 (0.0 and 2.0 both have a byte sum divisible by 16), whose chain
// holds the latest point first: D, C, B, A get the indices 0, 1, 2, 3.
std::vector<TestFacet> Square(uint16_t first = 0, uint16_t second = 0) {
  return {Tri(0, 0, 0, 2, 0, 0, 0, 2, 0, first), Tri(2, 0, 0, 2, 2, 0, 0, 2, 0, second)};
}

const std::vector<float> kSquarePoints = {2, 2, 0, 0, 2, 0, 2, 0, 0, 0, 0, 0};

// The result of a run that should succeed, with its output file.
std::string Converted(const Scratch& dir, const std::string& program,
                      std::vector<std::string> args) {
  RunResult r = ::Run(program, args, "", dir.path);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  return dir.Read(args.back());
}

void ExpectFailure(const RunResult& r, const std::string& message) {
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, message);
}

// A command line run through the shell (for redirections to /dev/full).
int Shell(const std::string& command) { return std::system(command.c_str()); }

}  // namespace

TEST(MeshToCply, MergesSharedVerticesInBucketOrder) {
  Scratch dir;
  dir.Write("in.stl", BinarySTL(Square(kColoured)));
  std::string zcp = Converted(dir, "meshtocply", {"in.stl", "out.zcp"});
  EXPECT_TRUE(EqualZCP(
      ZCPFile(kSquarePoints, {{255, 132, 8, {3, 2, 1}}, {255, 255, 255, {2, 0, 1}}}), zcp));
}

TEST(MeshToCply, VerticesFollowTheBucketWalk) {
  // Bucket = 256 Hash(x) + 16 Hash(y) + Hash(z), Hash = byte sum modulo 16: 1.0f
  // (3F 80 00 00) has 15, 0.3f (3E 99 99 9A) 10, 0.2f (3E 4C CC CD) 3.
  Scratch dir;
  dir.Write("in.stl",
            BinarySTL({Tri(1, 0, 0, 0, 1, 0, 0, 0, 1), Tri(0, 0, 0.3f, 0, 0, 0.2f, 1, 0, 0)}));
  std::string zcp = Converted(dir, "meshtocply", {"in.stl", "out.zcp"});
  EXPECT_TRUE(EqualZCP(ZCPFile({0, 0, 0.2f, 0, 0, 0.3f, 0, 0, 1, 0, 1, 0, 1, 0, 0},
                               {{255, 255, 255, {4, 3, 2}}, {255, 255, 255, {1, 0, 4}}}),
                       zcp));
}

TEST(MeshToCply, SignedZerosMergeAndNotANumberNeverDoes) {
  Scratch dir;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  // The first facet brings -0 for the point that the second has as +0; two more
  // facets share one point with a NaN coordinate, which must be stored twice.
  dir.Write("in.stl",
            BinarySTL({Tri(-0.0f, 0, 0, 2, 0, 0, 0, 2, 0), Tri(0, 0, 0, 0, 2, 0, 2, 0, 0),
                       Tri(nan, 0, 0, 2, 0, 0, 0, 2, 0), Tri(nan, 0, 0, 2, 0, 0, 0, 2, 0)}));
  std::string zcp = Converted(dir, "meshtocply", {"in.stl", "out.zcp"});
  std::vector<float> xyz;
  std::vector<TestFace> faces;
  ASSERT_TRUE(ParseZCP(zcp, &xyz, &faces)) << DescribeZCP(zcp);
  ASSERT_EQ(xyz.size(), 5u * 3) << DescribeZCP(zcp);  // -0, 2, 2 (merged), and two NaN points
  ASSERT_EQ(faces.size(), 4u);
  EXPECT_EQ(faces[0].i[0], faces[1].i[0]);
  EXPECT_TRUE(std::signbit(xyz[3 * faces[0].i[0]]));  // the coordinates seen first
  EXPECT_NE(faces[2].i[0], faces[3].i[0]);
  EXPECT_EQ(faces[2].i[1], faces[3].i[1]);
}

TEST(MeshToCply, AsciiModelTakesTheColourArguments) {
  Scratch dir;
  dir.Write("in.stl", AsciiSTL(Square()));
  std::string zcp = Converted(dir, "meshtocply", {"in.stl", "10", "20", "30", "out.zcp"});
  EXPECT_TRUE(
      EqualZCP(ZCPFile(kSquarePoints, {{10, 20, 30, {3, 2, 1}}, {10, 20, 30, {2, 0, 1}}}), zcp));
  // Blanks around a number and a plus sign are allowed; a word that is not a number is refused.
  zcp = Converted(dir, "meshtocply", {"in.stl", " 0", "+0", "255 ", "out.zcp"});
  EXPECT_TRUE(
      EqualZCP(ZCPFile(kSquarePoints, {{0, 0, 255, {3, 2, 1}}, {0, 0, 255, {2, 0, 1}}}), zcp));
  ExpectFailure(::Run("meshtocply", {"in.stl", "x", "0", "255", "x.zcp"}, "", dir.path),
                "x : not a number.\n");
  EXPECT_FALSE(dir.Exists("x.zcp"));
}

TEST(MeshToCply, TruncatedModelIsNotConverted) {
  Scratch dir;
  std::string stl = BinarySTL(Square());
  dir.Write("in.stl", stl.substr(0, stl.size() - 10));
  RunResult r = ::Run("meshtocply", {"in.stl", "-"}, "", dir.path);
  ExpectFailure(r, "in.stl : STL data error after 1 facets.\n");
  EXPECT_EQ(r.out, "");
  r = ::Run("meshtocply", {"in.stl", "out.zcp"}, "", dir.path);
  ExpectFailure(r, "in.stl : STL data error after 1 facets.\n");
  EXPECT_FALSE(dir.Exists("out.zcp"));
}

TEST(MeshToCply, MessagesAndStatus) {
  Scratch dir;
  dir.Write("in.stl", BinarySTL(Square()));
  dir.Write("short.stl", "solid x\n");
  const std::string usage = "usage : meshtocply STL {R G B} ZCP\n";
  ExpectRuns(dir.path,
             {
                 {{"meshtocply", "in.stl"}, usage},
                 {{"meshtocply", "in.stl", "1", "2", "out.zcp"}, usage},
                 // The colour is checked before the input is opened.
                 {{"meshtocply", "none.stl", "0", "256", "0", "o.zcp"}, "bad surface color.\n"},
                 {{"meshtocply", "in.stl", "-1", "0", "0", "o.zcp"}, "bad surface color.\n"},
                 {{"meshtocply", "none.stl", "o.zcp"}, "file not found.\n"},
                 {{"meshtocply", "short.stl", "o.zcp"}, "header read error.\n"},
                 {{"meshtocply", "in.stl", "nodir/o.zcp"}, "file not stored.\n"},
                 {{"meshtocply", "in.stl", "/dev/full"}, "file not stored.\n"},
             });
}

TEST(MeshToPoly, StoresEveryCornerOnItsOwn) {
  Scratch dir;
  dir.Write("in.stl", BinarySTL(Square(0, kColoured)));
  std::string zcp = Converted(dir, "meshtopoly", {"in.stl", "1", "2", "3", "out.zcp"});
  EXPECT_TRUE(EqualZCP(ZCPFile({0, 0, 0, 2, 0, 0, 0, 2, 0, 2, 0, 0, 2, 2, 0, 0, 2, 0},
                               {{1, 2, 3, {0, 1, 2}}, {255, 132, 8, {3, 4, 5}}}),
                       zcp));
}

TEST(MeshToPoly, EmptyModelGivesZeroCountsThatReadersReject) {
  Scratch dir;
  dir.Write("in.stl", BinarySTL({}));
  std::string zcp = Converted(dir, "meshtopoly", {"in.stl", "out.zcp"});
  EXPECT_EQ(zcp, ZCPHeader(0, 0));
  ExpectFailure(::Run("cplydump", {"out.zcp"}, "", dir.path), "bad header.\n");
  EXPECT_EQ(Converted(dir, "meshtocply", {"in.stl", "out2.zcp"}), ZCPHeader(0, 0));
}

TEST(MeshToPoly, MessagesAndStatus) {
  Scratch dir;
  dir.Write("in.stl", BinarySTL(Square()));
  dir.Write("ascii.stl", AsciiSTL(Square()));
  dir.Write("short.stl", "tiny");
  // A count whose 3 F would not fit 32 bits, over two facets: the count is not
  // believed; the file is read up to its end and found short.
  dir.Write("huge.stl", BinarySTL(Square(), 0x60000000));
  std::string stl = BinarySTL(Square());
  dir.Write("cut.stl", stl.substr(0, stl.size() - 1));

  ExpectRuns(
      dir.path,
      {
          {{"meshtopoly", "in.stl", "1", "o"}, "usage : meshtopoly STL {R G B} PLY\n"},
          {{"meshtopoly", "none.stl", "o"}, "none.stl : file not found.\n"},
          {{"meshtopoly", "short.stl", "o"}, "short.stl : STL header read error.\n"},
          {{"meshtopoly", "ascii.stl", "o"}, "ascii.stl : not a binary STL.\n"},
          {{"meshtopoly", "huge.stl", "o"}, "huge.stl : STL data error after 2 facets.\n"},
          // The colour arguments are checked after the input.
          {{"meshtopoly", "ascii.stl", "0", "0", "256", "o"}, "ascii.stl : not a binary STL.\n"},
          {{"meshtopoly", "in.stl", "0", "0", "256", "o"}, "bad surface color.\n"},
          {{"meshtopoly", "in.stl", "nodir/o"}, "nodir/o : file not stored.\n"},
          {{"meshtopoly", "in.stl", "/dev/full"}, "/dev/full : file not stored.\n"},
      });

  // A model cut short: nothing is written, to a file or to standard output.
  ExpectFailure(::Run("meshtopoly", {"cut.stl", "o.zcp"}, "", dir.path),
                "cut.stl : STL data error after 1 facets.\n");
  EXPECT_FALSE(dir.Exists("o.zcp"));
  RunResult piped = ::Run("meshtopoly", {"-", "-"}, stl.substr(0, stl.size() - 1), dir.path);
  ExpectFailure(piped, "- : STL data error after 1 facets.\n");
  EXPECT_EQ(piped.out, "");
}

namespace {

// The square as a ZCP file with vertices in plain order A B C D.
std::string SquareZCP(const std::vector<TestFace>& faces) {
  return ZCPFile({0, 0, 0, 2, 0, 0, 0, 2, 0, 2, 2, 0}, faces);
}

std::string WithHeader(const std::string& header, const std::string& zcp) {
  return header + zcp.substr(ZCPHeader(4, 2).size());
}

}  // namespace

TEST(CplyToMesh, WritesOneColouredFacetPerFace) {
  Scratch dir;
  dir.Write("in.zcp", SquareZCP({{255, 128, 7, {0, 1, 2}}, {0, 0, 0, {1, 3, 2}}}));
  std::string stl = Converted(dir, "cplytomesh", {"in.zcp", "out.stl"});
  // 255, 128, 7 keeps the top five bits: 31, 16, 0 with the flag, 0xFE00.
  EXPECT_TRUE(EqualSTL(
      BinarySTL({Tri(0, 0, 0, 2, 0, 0, 0, 2, 0, 0xFE00), Tri(2, 0, 0, 2, 2, 0, 0, 2, 0, 0x8000)}),
      stl));
  RunResult r = ::Run("cplytomesh", {"-", "-"}, dir.Read("in.zcp"), dir.path);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(EqualSTL(stl, r.out));
}

TEST(CplyToMesh, HeaderWordsTakeCommentsBlankLinesSpacingAndCarriageReturns) {
  Scratch dir;
  std::string zcp = SquareZCP({{255, 128, 7, {0, 1, 2}}, {0, 0, 0, {1, 3, 2}}});
  dir.Write("plain.zcp", zcp);
  std::string expected = Converted(dir, "cplytomesh", {"plain.zcp", "plain.stl"});
  std::string header =
      "ply  comment after the magic\r\ncomment made by hand\r\n\r\nformat  "
      "binary_little_endian\t1.0\r\n"
      "element vertex 4 extra\r\n   \r\nproperty float x\r\ncomment\r\nproperty float y\r\n"
      "property float z\r\nelement face 2\r\nproperty uchar red\r\nproperty uchar green\r\n"
      "property uchar blue\r\nproperty list uchar int vertex_indices\r\nend_header\r\n";
  dir.Write("odd.zcp", WithHeader(header, zcp));
  EXPECT_TRUE(EqualSTL(expected, Converted(dir, "cplytomesh", {"odd.zcp", "odd.stl"})));
  // A line of 254 characters and its line feed is taken.
  dir.Write(
      "long.zcp",
      WithHeader("ply\ncomment " + std::string(246, 'c') + "\n" + ZCPHeader(4, 2).substr(4), zcp));
  EXPECT_TRUE(EqualSTL(expected, Converted(dir, "cplytomesh", {"long.zcp", "long.stl"})));
}

TEST(CplyToMesh, HeaderFaultsHaveTheirOwnMessages) {
  Scratch dir;
  const std::string zcp = SquareZCP({{1, 2, 3, {0, 1, 2}}, {4, 5, 6, {1, 3, 2}}});
  const std::string good = ZCPHeader(4, 2);
  auto with = [&](const std::string& from, const std::string& to) {
    std::string h = good;
    size_t at = h.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return WithHeader(h.replace(at, from.size(), to), zcp);
  };
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"PLY" + zcp.substr(3), "bad magic number.\n"},
      {"", "bad magic number.\n"},
      {"ply", "unexpected end of file.\n"},
      {"ply\n" + std::string(255, 'c'), "missing end of line.\n"},
      {"ply\ncomment " + std::string(247, 'c') + "\n", "missing end of line.\n"},
      {with("ply\n", "ply x\n"), "bad format specification.\n"},
      {with("1.0", "1.0 more"), "bad format specification.\n"},
      // Faults that the rules for PLY files of other kinds refuse as well.
      {with("binary_little_endian", "binary_middle_endian"), "bad format specification.\n"},
      {with("vertex 4", "vertex 0"), "bad element specification for vertex\n"},
      {with("vertex 4", "vertex -4"), "bad element specification for vertex\n"},
      {with("element vertex", "Element vertex"), "bad element specification for vertex\n"},
      {with("element face 2", "element faces 2"), "bad element specification for face\n"},
      {with("float x", "float q"), "bad property specification for vertex\n"},
      {with("uchar red", "uchar"), "bad property specification for face\n"},
      {with("uchar int", "uchar float"), "bad vertex index specification for face.\n"},
      {with("vertex_indices\n", "vertex_indices\nproperty float\n"), "missing end of header.\n"},
      {with("end_header\n", "end_header"), "missing end of line.\n"},
      {good + std::string(40, '\0'), "in.zcp : ZCP data error after 3 vertices.\n"},
  };
  for (const auto& [input, message] : cases) {
    dir.Write("in.zcp", input);
    RunResult r = ::Run("cplytomesh", {"in.zcp", "out.stl"}, "", dir.path);
    EXPECT_EQ(r.status, 1) << input.substr(0, 120);
    EXPECT_EQ(r.err, message) << input.substr(0, 120);
    EXPECT_FALSE(dir.Exists("out.stl")) << "no output before the vertices are read";
  }
  ExpectFailure(::Run("cplytomesh", {"in.zcp"}, "", dir.path), "usage : cplytomesh ZCP STL\n");
  ExpectFailure(::Run("cplytomesh", {"none.zcp", "o.stl"}, "", dir.path), "file not found.\n");
  dir.Write("in.zcp", zcp);
  ExpectFailure(::Run("cplytomesh", {"in.zcp", "nodir/o.stl"}, "", dir.path), "file not stored.\n");
  ExpectFailure(::Run("cplytomesh", {"in.zcp", "/dev/full"}, "", dir.path), "file not stored.\n");
}

TEST(CplyToMesh, FaceFaultsComeAfterTheFacetsBefore) {
  Scratch dir;
  const std::string first = BinarySTL({Tri(0, 0, 0, 2, 0, 0, 0, 2, 0, 0x8000 | 1)}).substr(84);
  struct Case {
    TestFace second;
    size_t cut;  // bytes taken off the end
    const char* message;
  };
  const Case cases[] = {
      {{0, 0, 0, {1, 3, 2}, 4}, 0, "bad number of vertices per face.\n"},
      {{0, 0, 0, {1, 4, 2}}, 0, "bad vertex index.\n"},           // index == N
      {{0, 0, 0, {1, 0xFFFFFFFF, 2}}, 0, "bad vertex index.\n"},  // negative as a signed number
      // The second record cut off within an index, after its count byte, within its
      // colour: a body shorter than the header says.
      {{0, 0, 0, {1, 3, 2}}, 2, "ZCP data error after 1 faces.\n"},
      {{0, 0, 0, {1, 3, 2}}, 13, "ZCP data error after 1 faces.\n"},
      {{0, 0, 0, {1, 3, 2}}, 14, "ZCP data error after 1 faces.\n"},
  };
  for (const Case& c : cases) {
    std::string zcp = SquareZCP({{0, 0, 8, {0, 1, 2}}, c.second});
    zcp.resize(zcp.size() - c.cut);
    dir.Write("in.zcp", zcp);
    std::filesystem::remove(dir.Path("out.stl"));
    if (c.cut > 0) {
      // A file too short for its counts is refused before any output is made; through
      // a pipe the shortness shows only at the record that is cut.
      ExpectFailure(::Run("cplytomesh", {"in.zcp", "out.stl"}, "", dir.path),
                    std::string("in.zcp : ") + c.message);
      EXPECT_FALSE(dir.Exists("out.stl"));
      ExpectFailure(::Run("cplytomesh", {"-", "out.stl"}, zcp, dir.path),
                    std::string("- : ") + c.message);
    } else {
      ExpectFailure(::Run("cplytomesh", {"in.zcp", "out.stl"}, "", dir.path), c.message);
    }
    // The count says 2; the first facet is there.
    std::string stl = dir.Read("out.stl");
    ASSERT_EQ(stl.size(), 84u + 50) << c.message;
    EXPECT_EQ(GetLE32(reinterpret_cast<const unsigned char*>(stl.data()) + 80), 2u);
    EXPECT_EQ(stl.substr(84), first) << DescribeSTL(stl);
  }
}

TEST(CplyToMesh, HugeVertexCountCostsNoMoreThanTheFile) {
  // 2^31 - 1 vertices would be 24 GiB; the file holds two.
  RunResult r = ::Run("cplytomesh", {"-", "-"}, ZCPHeader(2147483647, 1) + std::string(24, '\0'));
  ExpectFailure(r, "- : ZCP data error after 2 vertices.\n");
  EXPECT_EQ(r.out, "");
}

TEST(CplyToMesh, DegenerateFaceGetsAZeroNormal) {
  Scratch dir;
  dir.Write("in.zcp", SquareZCP({{0, 0, 0, {1, 1, 1}}, {0, 0, 0, {0, 1, 2}}}));
  std::string stl = Converted(dir, "cplytomesh", {"in.zcp", "out.stl"});
  std::vector<TestFacet> facets;
  ASSERT_TRUE(ParseBinarySTL(stl, &facets));
  EXPECT_EQ(facets[0].n[0], 0.0f);
  EXPECT_EQ(facets[0].n[1], 0.0f);
  EXPECT_EQ(facets[0].n[2], 0.0f);
  EXPECT_EQ(facets[1].n[2], 1.0f);
}

TEST(ZcpRoundTrip, StlToZcpToStlKeepsTrianglesOrderAndWinding) {
  Scratch dir;
  std::vector<TestFacet> cube = UnitCube();
  for (size_t i = 0; i < cube.size(); ++i)
    cube[i].attribute = static_cast<uint16_t>(0x8000 | (i * 2731 & 0x7FFF));
  dir.Write("in.stl", BinarySTL(cube));
  Converted(dir, "meshtocply", {"in.stl", "cube.zcp"});
  std::string back = Converted(dir, "cplytomesh", {"cube.zcp", "back.stl"});
  // Widening to 8 bits and keeping the top five bits gives the word back.
  EXPECT_TRUE(EqualSTL(BinarySTL(cube), back));
  Converted(dir, "meshtopoly", {"in.stl", "poly.zcp"});
  EXPECT_TRUE(EqualSTL(BinarySTL(cube), Converted(dir, "cplytomesh", {"poly.zcp", "back2.stl"})));
}

namespace {

const std::string kRedGreenRedBlue =
    ZCPFile({0, 0, 0, 1, 0, 0, 0, 1, 0, -1.5f, 0.25f, 1e6f}, {{255, 0, 0, {0, 1, 2}},
                                                              {0, 255, 0, {0, 2, 3}},
                                                              {255, 0, 0, {1, 2, 3}},
                                                              {0, 128, 255, {3, 2, 0}}});

}  // namespace

TEST(CplyWorld, ListsEachColourOnceInOrderOfAppearance) {
  RunResult r = ::Run("cplyworld", {"-"}, kRedGreenRedBlue);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "#VRML V2.0 utf8\nShape {\ngeometry IndexedFaceSet {\ncolorPerVertex FALSE\n"
            "coord Coordinate {\npoint [\n"
            "0.000000 0.000000 0.000000\n1.000000 0.000000 0.000000\n0.000000 1.000000 0.000000\n"
            "-1.500000 0.250000 1000000.000000\n"
            "]\n}\ncoordIndex [\n0 1 2 -1\n0 2 3 -1\n1 2 3 -1\n3 2 0 -1\n"
            "]\ncolor Color {\ncolor [\n1 0 0\n0 1 0\n0 0.501961 1\n"
            "]\n}\ncolorIndex [\n0\n1\n0\n2\n"
            "]\n}\nappearance Appearance {\nmaterial Material {}\n}\n}\n");
}

TEST(CplyWorld, FaultsKeepWhatWasPrinted) {
  std::string bad = kRedGreenRedBlue;
  bad[bad.size() - 16 + 3] = 4;  // the last face's count byte
  RunResult r = ::Run("cplyworld", {"-"}, bad);
  ExpectFailure(r, "bad face.\n");
  EXPECT_NE(r.out.find("1 2 3 -1\n"), std::string::npos);
  EXPECT_EQ(r.out.substr(r.out.size() - 9), "1 2 3 -1\n");

  r = ::Run("cplyworld", {"-"}, kRedGreenRedBlue.substr(0, ZCPHeader(4, 4).size() + 30));
  ExpectFailure(r, "- : ZCP data error after 2 vertices.\n");
  EXPECT_EQ(r.out.substr(r.out.size() - 27), "1.000000 0.000000 0.000000\n");

  // A face count far beyond the faces present costs nothing up front.
  std::string threeFaces =
      ZCPFile({0, 0, 0}, {{0, 0, 0, {0, 0, 0}}, {0, 0, 0, {0, 0, 0}}, {0, 0, 0, {0, 0, 0}}});
  r = ::Run("cplyworld", {"-"},
            ZCPHeader(1, 4294967295u) + threeFaces.substr(ZCPHeader(1, 3).size()));
  ExpectFailure(r, "- : ZCP data error after 3 faces.\n");
  const std::string tail = "coordIndex [\n0 0 0 -1\n0 0 0 -1\n0 0 0 -1\n";
  EXPECT_TRUE(r.out.ends_with(tail)) << r.out;

  r = ::Run("cplyworld", {"-"}, ZCPHeader(3, 0));
  ExpectFailure(r, "bad header.\n");
  EXPECT_EQ(r.out, "");
  ExpectFailure(::Run("cplyworld", {}), "usage : cplyworld ZCP\n");
  ExpectFailure(::Run("cplyworld", {"/nonexistent.zcp"}), "file not found.\n");
  Scratch dir;
  dir.Write("in.zcp", kRedGreenRedBlue);
  EXPECT_EQ(Shell(ProgramPath("cplyworld") + " " + dir.Path("in.zcp") + " >/dev/full 2>" +
                  dir.Path("err")),
            1 << 8);
  EXPECT_EQ(dir.Read("err"), "output write error.\n");
}

TEST(CplyDump, PrintsCountsVerticesAndFaces) {
  RunResult r =
      ::Run("cplydump", {"-"}, ZCPFile({0, 0, 0, 1, 0, 0, 0, 1, 0.5f}, {{255, 0, 10, {0, 1, 2}}}));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "3\t1\n0.000000\t0.000000\t0.000000\n1.000000\t0.000000\t0.000000\n"
            "0.000000\t1.000000\t0.500000\n0\t1\t2\t255\t0\t10\n");
}

TEST(CplyDump, MessagesAndStatus) {
  const std::string zcp = ZCPFile({0, 0, 0, 1, 0, 0, 0, 1, 0}, {{1, 2, 3, {0, 1, 3}}});
  RunResult r = ::Run("cplydump", {"-"}, zcp);
  ExpectFailure(r, "bad face.\n");  // index == N
  EXPECT_EQ(r.out.substr(0, 5), "3\t1\n0");
  ExpectFailure(::Run("cplydump", {"-"}, zcp.substr(0, zcp.size() - 30)),
                "- : ZCP data error after 1 vertices.\n");
  ExpectFailure(::Run("cplydump", {"a", "b"}), "usage : cplydump ZCP\n");
  ExpectFailure(::Run("cplydump", {"/nonexistent.zcp"}), "file not found.\n");
  // A header whose last line ends in a carriage return is no fixed ZCP header, but a PLY
  // header all the same: the file is read by the PLY rules, where an index out of range
  // is a data error.
  const std::string header = ZCPHeader(3, 1);
  const std::string crlf = header.substr(0, header.size() - 1) + "\r\n";
  ExpectFailure(::Run("cplydump", {"-"}, crlf + zcp.substr(ZCPHeader(3, 1).size())),
                "- : PLY data error after 0 faces.\n");
  Scratch dir;
  dir.Write("in.zcp", kRedGreenRedBlue);
  EXPECT_EQ(Shell(ProgramPath("cplydump") + " " + dir.Path("in.zcp") + " >/dev/full 2>" +
                  dir.Path("err")),
            1 << 8);
  EXPECT_EQ(dir.Read("err"), "output write error.\n");
}

TEST(CplyScale, PrintsExtents) {
  RunResult r =
      ::Run("cplyscale", {"-"}, ZCPFile({-1, 0, 5, 1, -3, 5, 0.5f, 2, 5}, {{0, 0, 0, {0, 1, 2}}}));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "-1.000000\t1.000000\t2.000000\n-3.000000\t2.000000\t5.000000\n5.000000\t5.000000\t0."
            "000000\n");
  r = ::Run("cplyscale", {"-"}, ZCPFile({7, 8, 9}, {{0, 0, 0, {0, 0, 0}}}));
  EXPECT_EQ(
      r.out,
      "7.000000\t7.000000\t0.000000\n8.000000\t8.000000\t0.000000\n9.000000\t9.000000\t0.000000\n");
  // A bad face comes after the extents.
  r = ::Run("cplyscale", {"-"}, ZCPFile({7, 8, 9}, {{0, 0, 0, {0, 1, 0}}}));
  ExpectFailure(r, "bad face.\n");
  EXPECT_EQ(r.out.substr(0, 9), "7.000000\t");
}

TEST(CplyScale, ScalesVerticesAndCopiesFaces) {
  Scratch dir;
  const std::vector<TestFace> faces = {{9, 8, 7, {0, 1, 2}}, {1, 2, 3, {2, 1, 0}}};
  dir.Write("in.zcp", ZCPFile({1, 2, 3, -1, 0.5f, 0, 4, 4, 4}, faces));
  EXPECT_TRUE(EqualZCP(ZCPFile({2, 4, 6, -2, 1, 0, 8, 8, 8}, faces),
                       Converted(dir, "cplyscale", {"in.zcp", "2", "out.zcp"})));
  EXPECT_TRUE(EqualZCP(ZCPFile({1, -2, 0, -1, -0.5f, 0, 4, -4, 0}, faces),
                       Converted(dir, "cplyscale", {"in.zcp", "1", "-1", "0", "out.zcp"})));
  RunResult r = ::Run("cplyscale", {"in.zcp", "0.5", "-"}, "", dir.path);
  EXPECT_TRUE(EqualZCP(ZCPFile({0.5f, 1, 1.5f, -0.5f, 0.25f, 0, 2, 2, 2}, faces), r.out));
}

TEST(CplyScale, MessagesAndStatus) {
  Scratch dir;
  dir.Write("in.zcp", ZCPFile({0, 0, 0}, {{0, 0, 0, {0, 0, 1}}}));
  dir.Write("ok.zcp", kRedGreenRedBlue);
  const std::string usage = "usage : cplyscale orgZCP {scale|(Sx Sy Sz) newZCP}\n";
  ExpectRuns(dir.path, {
                           {{"cplyscale", "in.zcp", "2"}, usage},
                           {{"cplyscale", "in.zcp", "2", "2", "2"}, usage},
                           {{"cplyscale", "none.zcp"}, "file not found.\n"},
                           {{"cplyscale", "in.zcp", "2", "out.zcp"}, "bad face.\n"},
                           {{"cplyscale", "-"},
                            "- : ZCP data error after 0 vertices.\n",
                            1,
                            ZCPHeader(1, 1) + "short"},
                           {{"cplyscale", "-"}, "bad header.\n", 1, "ply\nformat ascii 1.0\n"},
                           {{"cplyscale", "ok.zcp", "2", "nodir/out.zcp"}, "file not stored.\n"},
                           {{"cplyscale", "ok.zcp", "2", "/dev/full"}, "file not stored.\n"},
                       });
}

TEST(ListToCply, BuildsFacesWithDefaultGreyAndFullColours) {
  Scratch dir;
  const std::string points = "3 3\n0 0 0\n1 0 0\n0 1 0.5\n";
  RunResult r = ::Run("listtocply", {"out.zcp"},
                      points + "0 1 2\n2 1 0 128\n1 2 0 255 0 0 seventh\n", dir.path);
  EXPECT_EQ(r.status, 0) << r.err;
  const std::vector<float> xyz = {0, 0, 0, 1, 0, 0, 0, 1, 0.5f};
  EXPECT_TRUE(EqualZCP(
      ZCPFile(xyz,
              {{255, 255, 255, {0, 1, 2}}, {128, 128, 128, {2, 1, 0}}, {255, 0, 0, {1, 2, 0}}}),
      dir.Read("out.zcp")));
  r = ::Run("listtocply", {"-", "10", "20", "30"}, "3 1\n0 0 0\n1 0 0\n0 1 0.5\n0 1 2\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(EqualZCP(ZCPFile(xyz, {{10, 20, 30, {0, 1, 2}}}), r.out));
}

TEST(ListToCply, MessagesAndStatus) {
  Scratch dir;
  const std::string head = "3 1\n0 0 0\n1 0 0\n0 1 0\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"0 5\n", "bad number of vertices and/or faces.\n"},
      {"5 0\n", "bad number of vertices and/or faces.\n"},
      {"", "bad number of vertices and/or faces.\n"},
      // The input line at fault, from 1; a missing line is the one after the last.
      {"3 1\n0 0 0\n1 0\n", "3 : bad vertex.\n"},
      {"3 1\n0 0 0\n", "3 : bad vertex.\n"},
      {"3 1\n0 0 0", "3 : bad vertex.\n"},
      {head, "5 : bad face.\n"},
      {head + "0 1 9\n", "5 : bad face.\n"},
      {head + "0 1 2 " + std::string(5000, '9') + "\n", "5 : bad face.\n"},  // a long word
      {head + std::string(3000, ' ') + "0 1 2\n", "5 : bad face.\n"},  // read as several lines
      // The parts of a long line share its number: the rest of line 5 is face 2.
      {"3 2\n0 0 0\n1 0 0\n0 1 0\n0 1 2" + std::string(2000, ' ') + "\n0 1 2\n", "5 : bad face.\n"},
  };
  // A fault leaves no file behind and an existing one as it was, and writes nothing to
  // standard output.
  for (const auto& [input, message] : cases) {
    dir.Write("old.zcp", "old");
    const RunResult r = ::Run("listtocply", {"out.zcp"}, input, dir.path);
    ExpectFailure(r, message);
    EXPECT_FALSE(dir.Exists("out.zcp")) << message;
    EXPECT_EQ(::Run("listtocply", {"old.zcp"}, input, dir.path).err, message);
    EXPECT_EQ(dir.Read("old.zcp"), "old");
    EXPECT_EQ(::Run("listtocply", {"-"}, input, dir.path).out, "");
  }

  const std::string usage = "usage : listtocply ZCP {R G B}\n";
  const std::string badDefault = "bad face's default R, G and/or B values.\n";
  ExpectRuns(dir.path,
             {
                 {{"listtocply"}, usage, 1, head + "0 1 2\n"},
                 {{"listtocply", "o", "1", "2"}, usage, 1, head + "0 1 2\n"},
                 {{"listtocply", "o", "1", "2", "256"}, badDefault, 1, head + "0 1 2\n"},
                 {{"listtocply", "o", "1", "x", "2"}, "x : not a number.\n", 1, head + "0 1 2\n"},
                 {{"listtocply", "o", "-1", "2", "2"}, badDefault, 1, head + "0 1 2\n"},
                 {{"listtocply", "nodir/o.zcp"}, "file not stored.\n", 1, head + "0 1 2\n"},
                 {{"listtocply", "/dev/full"}, "file not stored.\n", 1, head + "0 1 2\n"},
             });
}

TEST(ZcpReaders, BodyShorterThanTheCountsIsAnErrorNamingTheFile) {
  Scratch dir;
  const std::string zcp =
      ZCPFile({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}, {{1, 2, 3, {0, 1, 2}}, {4, 5, 6, {2, 1, 3}}});
  const size_t body = ZCPHeader(4, 2).size();
  struct Case {
    std::string label, bytes, message;
  };
  const Case cases[] = {
      {"cut in the vertices", zcp.substr(0, body + 12 * 3 + 5),
       "ZCP data error after 3 vertices.\n"},
      {"cut in the faces", zcp.substr(0, body + 48 + 16 + 7), "ZCP data error after 1 faces.\n"},
      {"no body", zcp.substr(0, body), "ZCP data error after 0 vertices.\n"},
      // Counts that the file could never hold: refused before anything is read.
      {"2^32 - 1 faces", ZCPHeader(4, 4294967295u) + zcp.substr(body),
       "ZCP data error after 2 faces.\n"},
      {"2^32 - 1 vertices", ZCPHeader(4294967295u, 2) + zcp.substr(body),
       "ZCP data error after 6 vertices.\n"},
  };
  const std::vector<std::vector<std::string>> programs = {{"cplytomesh", "IN", "out"},
                                                          {"cplyworld", "IN"},
                                                          {"cplydump", "IN"},
                                                          {"cplyscale", "IN"},
                                                          {"cplyscale", "IN", "2", "out"}};
  for (const Case& c : cases) {
    dir.Write("in.zcp", c.bytes);
    for (const auto& program : programs) {
      SCOPED_TRACE(c.label + ": " + program[0] + " " + std::to_string(program.size()));
      std::vector<std::string> args(program.begin() + 1, program.end());
      args[0] = "in.zcp";
      std::filesystem::remove(dir.Path("out"));
      // A regular file: the fault is found before anything is written, in little memory.
      RunResult r = RunInLittleMemory(program[0], args, dir.path);
      ExpectFailure(r, "in.zcp : " + c.message);
      EXPECT_EQ(r.out, "");
      EXPECT_FALSE(dir.Exists("out"));
      // Through a pipe the same fault shows where the data ends.
      args[0] = "-";
      r = ::Run(program[0], args, c.bytes, dir.path);
      ExpectFailure(r, "- : " + c.message);
    }
  }
}
