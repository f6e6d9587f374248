// The PLY header's refusals and colour values; then cplydump, cplytomesh, cplyscale and
// cplyworld on PLY files of other kinds than ZCP: one model written in every encoding,
// with colours on the vertices, on the faces or nowhere, with extra elements and
// properties; then files that end early or hold bad faces.
#include "zcp/ply.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/run.h"
#include "support/stlfiles.h"
#include "zcpfiles.h"

namespace {

// The header of text, read from memory, holds a triangle model.
bool IsModel(const std::string& text) {
  PLYSource source;
  source.data.assign(text.begin(), text.end());
  source.end = text.size();
  PLYHeader header;
  PLYLayout layout;
  return ParsePLYHeader(&source, &header) && FindPLYModel(header, &layout);
}

}  // namespace

TEST(PlyHeader, RefusesWhatHoldsNoTriangleModel) {
  const std::string good =
      "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
      "property float z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n";
  ASSERT_TRUE(IsModel(good));
  // Faults a ZCP-like header shows to cplytomesh (programs_test.cpp) are not repeated.
  const char* faults[][2] = {
      {"ply\n", "ply 1\n"},
      {"ascii 1.0", "ascii 2.0"},
      {"format ascii 1.0\n", ""},                     // no format
      {"element face 1", "element face 4294967296"},  // beyond 32 bits
      {"float y", "list uchar float y"},  // y a list
      {"float z", "half z"},              // no such type
      {"list uchar", "list float"},       // count not a whole number
      {"end_header\n", "end_header extra\n"},
      {"end_header\n", "end_header"},                                  // no line feed
      {"property float x\n", "property float x\nelement vertex 3\n"},  // two of them
      {"format", "property float q\nformat"},                          // a property of no element
      {"element face", "elephant face"},
  };
  for (const auto& f : faults) {
    std::string text = good;
    text.replace(text.find(f[0]), std::string(f[0]).size(), f[1]);
    EXPECT_FALSE(IsModel(text)) << text;
  }
}

TEST(PlyValues, ColoursBecomeBytes) {
  const struct {
    double value;
    PLYType type;
    int byte;
  } cases[] = {{300, kPLYInt, 255},     {-5, kPLYChar, 0},     {0.5, kPLYFloat, 128},
               {0.498, kPLYFloat, 127}, {1.7, kPLYFloat, 255}, {NAN, kPLYFloat, 0}};
  for (const auto& c : cases) EXPECT_EQ(PLYColourByte(c.value, c.type), c.byte) << c.value;
}

namespace {

// A square (one quad face, cut into two triangles) and a triangle standing on its side.
constexpr float kXYZ[5][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {1, 0.5f, 1}};
constexpr double kVertexRGB[5][3] = {
    {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {10, 20, 30}};
const std::vector<std::vector<double>> kFaces = {{0, 1, 2, 3}, {1, 2, 4}};
constexpr double kFaceRGB[2][3] = {{200, 100, 50}, {1, 2, 3}};
constexpr uint32_t kTriangles[3][3] = {{0, 1, 2}, {0, 2, 3}, {1, 2, 4}};

// The triangles' colours: the face's own; the rounded mean of the corners' (the quad's
// blue is 255 / 4 = 63.75); none (white in the outputs that need one).
enum Colours { kOnFaces, kOnVertices, kNone };
constexpr int kExpectedRGB[3][3][3] = {{{200, 100, 50}, {200, 100, 50}, {1, 2, 3}},
                                       {{128, 128, 64}, {128, 128, 64}, {3, 92, 95}},
                                       {{255, 255, 255}, {255, 255, 255}, {255, 255, 255}}};

int Channel(const std::string& name) {
  for (int c = 0; c < 3; ++c) {
    const char* names[3] = {"red", "green", "blue"};
    if (name == names[c] || name == std::string("diffuse_") + names[c]) return c;
  }
  return -1;
}

// The model's values by property name; colours divided by `scale` (255 for float
// colours, which then hold 0 to 1). A list named "tags" holds two entries; any other
// property a filler value.
PLYValues ModelValues(double scale) {
  return [scale](const std::string& e, const std::string& p, uint32_t row) -> std::vector<double> {
    const int c = Channel(p);
    if (e == "vertex" && p.size() == 1 && p[0] >= 'x' && p[0] <= 'z')
      return {kXYZ[row][p[0] - 'x']};
    if (e == "vertex" && c >= 0) return {kVertexRGB[row][c] / scale};
    if (e == "face" && c >= 0) return {kFaceRGB[row][c] / scale};
    if (p == "vertex_indices" || p == "vertex_index") {
      std::vector<double> v = {static_cast<double>(kFaces[row].size())};
      v.insert(v.end(), kFaces[row].begin(), kFaces[row].end());
      return v;
    }
    if (p == "tags") return {2, 7, 8};
    return {0.25 * row};
  };
}

std::string ExpectedDump(Colours colours) {
  std::string text = "5\t3\n";
  char line[100];
  for (const auto& v : kXYZ) {
    std::snprintf(line, sizeof line, "%f\t%f\t%f\n", v[0], v[1], v[2]);
    text += line;
  }
  for (int t = 0; t < 3; ++t) {
    const int* rgb = kExpectedRGB[colours][t];
    std::snprintf(line, sizeof line, "%u\t%u\t%u\t%d\t%d\t%d\n", kTriangles[t][0], kTriangles[t][1],
                  kTriangles[t][2], rgb[0], rgb[1], rgb[2]);
    text += line;
  }
  return text;
}

std::string ExpectedSTL(Colours colours) {
  std::vector<TestFacet> facets;
  for (int t = 0; t < 3; ++t) {
    const float* a = kXYZ[kTriangles[t][0]];
    const float* b = kXYZ[kTriangles[t][1]];
    const float* c = kXYZ[kTriangles[t][2]];
    const int* rgb = kExpectedRGB[colours][t];
    const auto word =
        static_cast<uint16_t>(0x8000 | (rgb[0] >> 3) << 10 | (rgb[1] >> 3) << 5 | rgb[2] >> 3);
    facets.push_back(
        Tri(a[0], a[1], a[2], b[0], b[1], b[2], c[0], c[1], c[2], colours == kNone ? 0 : word));
  }
  return BinarySTL(facets);
}

const char kXYZFloat[] = "property float x\nproperty float y\nproperty float z\n";
const char kRGB[] = "property uchar red\nproperty uchar green\nproperty uchar blue\n";
const char kFaceList[] = "element face 2\nproperty list uchar int vertex_indices\n";

struct Kind {
  const char* name;
  const char* format;
  std::string elements;
  Colours colours;
  double scale = 1;  // 255: the colours are floats from 0 to 1
};

const Kind kKinds[] = {
    {"ascii, comment and obj_info lines, vertex colours", "ascii",
     std::string("comment by hand\nelement vertex 5\n") + kXYZFloat + kRGB + "obj_info x\n" +
         kFaceList,
     kOnVertices},
    {"big-endian, double coordinates, float colours, alpha and normals", "binary_big_endian",
     "element vertex 5\nproperty double x\nproperty float64 y\nproperty double z\n"
     "property float nx\nproperty float red\nproperty float32 green\nproperty float blue\n"
     "property uchar alpha\n" +
         std::string(kFaceList),
     kOnVertices, 255},
    {"little-endian, face colours after the list, vertex_index, other types",
     "binary_little_endian",
     std::string("element vertex 5\nproperty int16 x\nproperty float y\nproperty ushort z\n") +
         kRGB + "element face 2\nproperty list ushort uint32 vertex_index\n" + kRGB,
     kOnFaces},
    {"elements before, between and after, lists passed over, diffuse colours",
     "binary_little_endian",
     "element material 2\nproperty uchar a\nproperty list uchar float tags\n"
     "element vertex 5\nproperty float x\nproperty double z\nproperty list int uint8 tags\n"
     "property float y\nproperty uchar diffuse_red\nproperty uchar diffuse_green\n"
     "property uchar diffuse_blue\nelement edge 3\nproperty int vertex1\nproperty int vertex2\n" +
         std::string(kFaceList) + "element camera 1\nproperty float x\n",
     kOnVertices},
    {"faces before vertices, carriage returns, ascii", "ascii",
     "element face 2\r\nproperty list uint8 uint vertex_indices\r\nproperty float red\r\n"
     "property float green\r\nproperty float blue\r\nelement vertex 5\r\n"
     "property float x\r\nproperty float y\r\nproperty float z\r\n",
     kOnFaces, 255},
    {"no colour, big-endian", "binary_big_endian",
     std::string("element vertex 5\n") + kXYZFloat + "property uchar red\n" + kFaceList, kNone},
};

}  // namespace

TEST(PlyModels, EveryKindGivesTheSameTrianglesAndColours) {
  Scratch dir;
  for (const Kind& kind : kKinds) {
    SCOPED_TRACE(kind.name);
    const std::string ply = PLYFile(kind.format, kind.elements, ModelValues(kind.scale));
    dir.Write("in.ply", ply);
    RunResult r = ::Run("cplydump", {"in.ply"}, "", dir.path);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, ExpectedDump(kind.colours));
    // Through pipes: the facet count is known only at the end.
    r = ::Run("cplytomesh", {"-", "-"}, ply, dir.path);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(EqualSTL(ExpectedSTL(kind.colours), r.out));
    r = ::Run("cplytomesh", {"in.ply", "out.stl"}, "", dir.path);
    EXPECT_TRUE(EqualSTL(ExpectedSTL(kind.colours), dir.Read("out.stl")));
    // The scaled copy is ZCP: triangles, a colour for each.
    r = ::Run("cplyscale", {"-", "2", "-"}, ply, dir.path);
    dir.Write("scaled.zcp", r.out);
    r = ::Run("cplyscale", {"scaled.zcp", "0.5", "-"}, "", dir.path);
    EXPECT_EQ(::Run("cplydump", {"-"}, r.out).out, ExpectedDump(kind.colours));
  }
}

TEST(PlyModels, WorldListsTheTriangleColoursOnce) {
  const Kind& kind = kKinds[1];  // vertex colours: the quad's two triangles share theirs
  RunResult r = ::Run("cplyworld", {"-"}, PLYFile(kind.format, kind.elements, ModelValues(255)));
  EXPECT_EQ(r.status, 0) << r.err;
  const size_t colours = r.out.find("color [\n");
  ASSERT_NE(colours, std::string::npos) << r.out;
  EXPECT_EQ(r.out.substr(colours),
            "color [\n0.501961 0.501961 0.25098\n0.0117647 0.360784 0.372549\n]\n}\n"
            "colorIndex [\n0\n0\n1\n]\n}\nappearance Appearance {\nmaterial Material {}\n}\n}\n");
}

TEST(PlyModels, DataErrorsNameTheFileAndTheCount) {
  Scratch dir;
  const std::string header = std::string("element vertex 5\n") + kXYZFloat + kFaceList;
  const std::string binary = PLYFile("binary_little_endian", header, ModelValues(1));
  const std::string text = PLYFile("ascii", header, ModelValues(1));
  const size_t body = binary.find("end_header\n") + 11;
  auto replaced = [](std::string s, const std::string& from, const std::string& to) {
    return s.replace(s.find(from), from.size(), to);
  };
  struct Case {
    std::string label, bytes, message;
  };
  const Case cases[] = {
      {"cut in the vertices", binary.substr(0, body + 12 * 2 + 5),
       "PLY data error after 2 vertices."},
      {"cut in the faces", binary.substr(0, binary.size() - 3), "PLY data error after 1 faces."},
      {"ascii cut in the vertices", text.substr(0, text.find("1 0.5 1")),
       "PLY data error after 4 vertices."},
      {"index out of range", replaced(text, "3 1 2 4", "3 1 2 5"), "PLY data error after 1 faces."},
      {"two corners", replaced(text, "4 0 1 2 3", "2 0 1"), "PLY data error after 0 faces."},
      {"not a number", replaced(text, "1 0 0", "1 zero 0"), "PLY data error after 1 vertices."},
      {"a whole number expected", replaced(text, "3 1 2 4", "3 1 2.5 4"),
       "PLY data error after 1 faces."},
      {"2^32 - 1 vertices", replaced(binary, "vertex 5", "vertex 4294967295"),
       "PLY data error after 7 vertices."},
      {"ascii 2^32 - 1 vertices", replaced(text, "vertex 5", "vertex 4294967295"),
       "PLY data error after 8 vertices."},  // the face rows read as three more
  };
  const std::vector<std::vector<std::string>> programs = {
      {"cplytomesh", "IN", "out"}, {"cplyworld", "IN"}, {"cplydump", "IN"},
      {"cplyscale", "IN", "2", "out"}};
  for (const Case& c : cases) {
    dir.Write("in.ply", c.bytes);
    for (const auto& program : programs) {
      SCOPED_TRACE(c.label + ": " + program[0]);
      // A regular file, in little memory; then a pipe.
      std::vector<std::string> args(program.begin() + 1, program.end());
      args[0] = "in.ply";
      RunResult r = RunInLittleMemory(program[0], args, dir.path);
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.err, "in.ply : " + c.message + "\n");
      // cplydump counts the triangles before it prints anything.
      if (program[0] == "cplydump") {
        EXPECT_EQ(r.out, "");
      }
      args[0] = "-";
      r = ::Run(program[0], args, c.bytes, dir.path);
      EXPECT_EQ(r.err, "- : " + c.message + "\n");
    }
  }
}
