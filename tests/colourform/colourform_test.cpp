// The other common colour form ("COLOR=" and the object's R G B A in the header; own
// colours with red in the low bits and bit 15 clear): read by the attribute build as
// colour words, and written by meshtomagics.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "support/run.h"
#include "support/stlfiles.h"

namespace {

// A file in that form, made here byte by byte: an 80-byte header with the tag at
// tagAt (none when tag is empty), then one right triangle of area 0.5 per word, each
// facet a unit further along x, stored normal 0 0 0 so that no winding is repaired.
std::string OtherFormFile(const std::vector<uint16_t>& words,
                          const std::string& tag = "COLOR=", size_t tagAt = 0,
                          const unsigned char rgba[4] = nullptr) {
  static const unsigned char kObject[4] = {200, 100, 7, 128};
  if (rgba == nullptr) rgba = kObject;
  std::string head(80, '\0');
  std::memcpy(head.data(), "exported by a test", 18);
  if (!tag.empty()) {
    head.replace(tagAt, tag.size(), tag);
    for (int i = 0; i < 4 && tagAt + tag.size() + i < 80; ++i)
      head[tagAt + tag.size() + i] = static_cast<char>(rgba[i]);
  }
  std::string bytes = head;
  auto put32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>(v >> (8 * i));
  };
  auto putFloat = [&](float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    put32(v);
  };
  put32(static_cast<uint32_t>(words.size()));
  for (size_t i = 0; i < words.size(); ++i) {
    const float x = static_cast<float>(i);
    const float record[12] = {0, 0, 0, x, 0, 0, x + 1, 0, 0, x, 1, 0};
    for (float f : record) putFloat(f);
    bytes += static_cast<char>(words[i] & 0xFF);
    bytes += static_cast<char>(words[i] >> 8);
  }
  return bytes;
}

// Own colours and object-colour words; the object's colour 200 100 7 is cut to the five
// bits 25 12 0, the colour word 0xE580.
const std::vector<uint16_t> kWords = {0x001F, 0x0C41, 0x0000, 0x8000, 0xFFFF, 0x7C00};

TEST(ColourForm, MeshfacetsAndMeshdumpShowColourWords) {
  Scratch dir;
  dir.Write("m.stl", OtherFormFile(kWords));
  RunResult facets = ::Run("meshfacets", {"m.stl"}, "", dir.path);
  EXPECT_EQ(facets.status, 0);
  EXPECT_EQ(facets.err, "");
  EXPECT_EQ(facets.out,
            "32768\t0\t0\t0\t1\t0.500000\n"      // 0x0000: its own colour, black
            "32799\t0\t0\t255\t1\t0.500000\n"    // 0x7C00: blue
            "33859\t8\t16\t25\t1\t0.500000\n"    // 0x0C41: red 1, green 2, blue 3
            "58752\t206\t99\t0\t2\t1.000000\n"   // 0x8000, 0xFFFF: the object's colour
            "64512\t255\t0\t0\t1\t0.500000\n");  // 0x001F: red

  RunResult dump = ::Run("meshdump", {"m.stl"}, "", dir.path);
  EXPECT_EQ(dump.status, 0);
  const char* colours[] = {"255 0 0", "8 16 25", "0 0 0", "206 99 0", "206 99 0", "0 0 255"};
  std::string expected = "m.stl\n";
  for (size_t i = 0; i < kWords.size(); ++i) {
    const double x = static_cast<double>(i);
    char line[200];
    std::snprintf(line, sizeof line,
                  "%f 0.000000 0.000000 %f 0.000000 0.000000 %f 1.000000 0.000000 %s\n", x, x + 1,
                  x, colours[i]);
    expected += line;
  }
  EXPECT_EQ(dump.out, expected);
}

TEST(ColourForm, OtherHeadersReadAsBefore) {
  // Each is compared with the same facets under an all-zero header, read as always.
  struct Case {
    const char* what;
    std::string tag;
    size_t at;
    bool translated;
  };
  const Case cases[] = {
      {"tag at the end, its four bytes the last of the header", "COLOR=", 70, true},
      {"tag in the middle", "COLOR=", 33, true},
      {"tag whose bytes run past the header", "COLOR=", 71, false},
      {"tag in lower case", "color=", 0, false},
      {"tag without its equals sign", "COLOR:", 0, false},
      {"no tag", "", 0, false},
  };
  Scratch dir;
  dir.Write("m.stl", OtherFormFile(kWords, ""));
  std::vector<std::string> before;
  for (const char* program : {"meshfacets", "meshdump", "meshdump-plain", "meshbounds"}) {
    before.push_back(::Run(program, {"m.stl"}, "", dir.path).out);
  }
  const std::string translated = ::Run("meshfacets", {"-"}, OtherFormFile(kWords), dir.path).out;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    dir.Write("m.stl", OtherFormFile(kWords, c.tag, c.at));
    EXPECT_EQ(::Run("meshfacets", {"m.stl"}, "", dir.path).out,
              c.translated ? translated : before[0]);
    if (!c.translated) {
      EXPECT_EQ(::Run("meshdump", {"m.stl"}, "", dir.path).out, before[1]);
    }
    // Programs without the attribute word see nothing of it.
    EXPECT_EQ(::Run("meshdump-plain", {"m.stl"}, "", dir.path).out, before[2]);
    EXPECT_EQ(::Run("meshbounds", {"m.stl"}, "", dir.path).out, before[3]);
  }
  // An ASCII model whose name holds the tag is ASCII as before: no colours.
  const std::string ascii = AsciiSTL(UnitCube(), "COLOR=abcd");
  EXPECT_EQ(::Run("meshfacets", {"-"}, ascii, dir.path).out, "0\t12\t6.000000\n");
}

// A meshpix model: coloured facets (red, blue, a coloured black, white, one odd colour)
// and facets without colour (0, and 0x7FFF, whose low bits mean nothing).
std::vector<TestFacet> Painted() {
  const uint16_t words[] = {0xFC00, 0x801F, 0x8000, 0xFFFF, 0x0000, 0x7FFF, 0xB5AD};
  std::vector<TestFacet> facets;
  float z = 0;
  for (uint16_t w : words) {
    facets.push_back(Tri(0, 0, z, 2, 0, z, 0, 3, z, w));
    z += 1;
  }
  return facets;
}

TEST(ColourForm, MeshtomagicsWritesTheOtherForm) {
  Scratch dir;
  dir.Write("in.stl", BinarySTL(Painted()));
  RunResult r = ::Run("meshtomagics", {"in.stl", "10", "200", "255", "out.stl"}, "", dir.path);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out + r.err, "");
  const std::string out = dir.Read("out.stl");
  ASSERT_GE(out.size(), 84u);
  std::string header = std::string("COLOR=") + '\x0a' + '\xc8' + '\xff' + '\xff';
  header.resize(80, '\0');
  EXPECT_EQ(out.substr(0, 80), header);

  // Vertices and normals as meshpaint writes them; the words in the other form.
  ASSERT_EQ(::Run("meshpaint", {"in.stl", "painted.stl"}, "", dir.path).status, 0);
  std::vector<TestFacet> got, painted;
  ASSERT_TRUE(ParseBinarySTL(out, &got));
  ASSERT_TRUE(ParseBinarySTL(dir.Read("painted.stl"), &painted));
  const uint16_t expected[] = {0x001F, 0x7C00, 0x0000, 0x7FFF, 0x8000, 0x8000, 0x35AD};
  ASSERT_EQ(got.size(), painted.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].attribute, expected[i]) << "facet " << i;
    painted[i].attribute = got[i].attribute;
  }
  EXPECT_TRUE(EqualSTL(BinarySTL(painted), std::string(80, '\0') + out.substr(80)));

  // Without a colour the object is white; "-" is standard input and output.
  r = ::Run("meshtomagics", {"-", "-"}, BinarySTL(Painted()), dir.path);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.substr(0, 10), std::string("COLOR=\xff\xff\xff\xff"));
  EXPECT_EQ(r.out.substr(80), out.substr(80));
}

TEST(ColourForm, RoundTripKeepsColoursAndGivesTheRestTheObjectColour) {
  Scratch dir;
  dir.Write("in.stl", BinarySTL(Painted()));
  ASSERT_EQ(
      ::Run("meshtomagics", {"in.stl", "100", "150", "200", "other.stl"}, "", dir.path).status, 0);
  RunResult back = ::Run("meshmove", {"other.stl", "0", "0", "0", "-"}, "", dir.path);
  ASSERT_EQ(back.status, 0);
  std::vector<TestFacet> facets;
  ASSERT_TRUE(ParseBinarySTL(back.out, &facets));
  ASSERT_EQ(facets.size(), Painted().size());
  EXPECT_EQ(back.out.substr(0, 80), std::string(80, '\0'));  // meshpix's own form again
  // 100 150 200 cut to five bits: 12 18 25.
  const uint16_t object = 0x8000 | 12 << 10 | 18 << 5 | 25;
  for (size_t i = 0; i < facets.size(); ++i) {
    const uint16_t w = Painted()[i].attribute;
    EXPECT_EQ(facets[i].attribute, (w & 0x8000) ? w : object) << "facet " << i;
  }
}

TEST(ColourForm, MeshtomagicsMessages) {
  Scratch dir;
  dir.Write("in.stl", BinarySTL(Painted()));
  struct Case {
    std::vector<std::string> args;
    const char* err;
  };
  const char* usage = "usage : meshtomagics orgSTL {R G B} newSTL\n";
  const Case cases[] = {
      {{}, usage},
      {{"in.stl"}, usage},
      {{"in.stl", "1", "out.stl"}, usage},
      {{"in.stl", "256", "0", "0", "out.stl"}, "bad surface color.\n"},
      {{"in.stl", "0", "-1", "0", "out.stl"}, "bad surface color.\n"},
      {{"missing.stl", "256", "0", "0", "out.stl"}, "missing.stl : file not found.\n"},
      {{"in.stl", "no/dir.stl"}, "no/dir.stl : file not stored.\n"},
      {{"in.stl", "/dev/full"}, "/dev/full : STL facet data write error.\n"},
  };
  for (const auto& c : cases) {
    RunResult r = ::Run("meshtomagics", c.args, "", dir.path);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, c.err);
    EXPECT_FALSE(dir.Exists("out.stl"));
  }
}

}  // namespace
