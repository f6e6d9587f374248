// Program tests of meshtobinary and meshtotext.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>
#include <vector>

#include "mesh/stl.h"
#include "support/cases.h"
#include "support/run.h"
#include "support/stlfiles.h"
#include "tools.h"

namespace {

// Coloured facets whose coordinates are awkward to print: values just below a rounding
// step, negative zero, large and tiny magnitudes.
std::vector<TestFacet> Awkward() {
  return {
      Tri(0.1f, -0.0f, 1e10f, 2.5e-7f, 1.0000005f, -3.4028235e38f, 0.3333333f, 7.5e-7f, 123.456f,
          0xFC00),
      Tri(-1.5f, 2.25f, 1e-30f, 4096.0625f, -0.999999f, 0.5f, 9.999999e-7f, 1e6f, -65504.0f,
          0x801F),
  };
}

// What meshtotext prints for these facets, every number through printf with the format.
std::string ExpectedText(const std::vector<TestFacet>& facets, const char* format) {
  std::string text = "solid\n";
  auto numbers = [&](const char* lead, double a, double b, double c) {
    text += lead;
    text += Line(format, a) + " " + Line(format, b) + " " + Line(format, c) + "\n";
  };
  for (const auto& f : facets) {
    const float* v = f.v;
    double nx, ny, nz;
    CalcNormal(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], &nx, &ny, &nz);
    numbers("facet normal ", nx, ny, nz);
    text += "outer loop\n";
    for (int k = 0; k < 9; k += 3) numbers("vertex ", v[k], v[k + 1], v[k + 2]);
    text += "endloop\nendfacet\n";
  }
  return text + "endsolid\n";
}

// An ASCII solid with no facets, long enough (80 bytes) to be read.
std::string EmptyAscii() { return AsciiSTL({}, std::string(80, 'x')); }

TEST(MeshToBinary, WritesAsciiModelWithComputedNormals) {
  Scratch dir;
  auto cube = UnitCube();
  for (auto& f : cube) {
    for (float& n : f.n) n *= 3;  // stored normals of the right sense but not unit length
  }
  dir.Write("in.stl", AsciiSTL(cube));
  ExpectRuns(dir.path, {{{"meshtobinary", "in.stl", "out.stl"}, "", 0, "", ""}});
  EXPECT_TRUE(EqualSTL(WrittenSTL(UnitCube(), 0), dir.Read("out.stl")));
}

TEST(MeshToBinary, RewritesBinaryInputWithWarningAndNoColour) {
  Scratch dir;
  auto facets = Awkward();
  facets[0].n[0] = facets[0].n[1] = facets[0].n[2] = 0;  // a zero normal never swaps
  dir.Write("in.stl", BinarySTL(facets));
  ExpectRuns(
      dir.path,
      {{{"meshtobinary", "in.stl", "out.stl"}, "in.stl : just a binary STL (warning).\n", 0}});
  EXPECT_TRUE(EqualSTL(WrittenSTL(facets, 0), dir.Read("out.stl")));
}

TEST(MeshToBinary, EmptyModelsGiveEightyFourZeros) {
  Scratch dir;
  dir.Write("empty.stl", EmptyAscii());
  dir.Write("empty.bin", BinarySTL({}));
  EXPECT_EQ(::Run("meshtobinary", {"empty.stl", "a.stl"}, "", dir.path).status, 0);
  EXPECT_EQ(dir.Read("a.stl"), std::string(84, '\0'));
  RunResult r = ::Run("meshtobinary", {"empty.bin", "b.stl"}, "", dir.path);
  EXPECT_EQ(r.err, "empty.bin : just a binary STL (warning).\n");
  EXPECT_EQ(dir.Read("b.stl"), std::string(84, '\0'));
}

TEST(MeshToBinary, ReadsStandardInputAndKeepsFacetsBeforeAnError) {
  Scratch dir;
  std::string text = AsciiSTL(UnitCube());
  text = text.substr(0, text.find("endsolid")) + "facet normal 0 0 1 outer loop vertex 1 2\n";
  RunResult r = ::Run("meshtobinary", {"-", "out.stl"}, text, dir.path);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "- : STL data error after 12 facets.\n");
  // As after any fatal error: the facets written stay, the count field is still 0.
  std::string kept = WrittenSTL(UnitCube(), 0);
  kept.replace(80, 4, std::string(4, '\0'));
  EXPECT_EQ(dir.Read("out.stl"), kept);
}

TEST(MeshToBinary, ReportsFailures) {
  Scratch dir;
  dir.Write("cube.stl", AsciiSTL(UnitCube()));
  dir.Write("short.stl", "solid short\n");
  const std::string usage = "usage : meshtobinary ASCII_STL binary_STL\n";
  ExpectRuns(dir.path,
             {
                 {{"meshtobinary"}, usage},
                 {{"meshtobinary", "cube.stl"}, usage},
                 {{"meshtobinary", "a", "b", "c"}, usage},
                 {{"meshtobinary", "missing.stl", "out.stl"}, "missing.stl : file not found.\n"},
             });
  EXPECT_FALSE(dir.Exists("out.stl"));  // the input is checked before the output is made
  ExpectRuns(
      dir.path,
      {
          {{"meshtobinary", "short.stl", "out.stl"}, "short.stl : STL header read error.\n"},
          {{"meshtobinary", "cube.stl", "no/such/dir.stl"}, "no/such/dir.stl : file not stored.\n"},
          // Buffered facets that cannot reach the disk are reported, not lost.
          {{"meshtobinary", "cube.stl", "/dev/full"}, "/dev/full : STL facet data write error.\n"},
      });
}

TEST(MeshToText, PrintsEveryNumberWithPrintfDigits) {
  Scratch dir;
  dir.Write("in.stl", BinarySTL(Awkward()));
  ExpectRuns(dir.path, {{{"meshtotext", "in.stl"}, "", 0, "", ExpectedText(Awkward(), "%f")}});
}

TEST(MeshToText, FormatsPrintLikePrintf) {
  // The plain fixed forms are written without printf; the others go through it.
  Scratch dir;
  dir.Write("in.stl", BinarySTL(Awkward()));
  for (const char* format :
       {"%f", "%lf", "%.3f", "%.0lf", "%.f", "%.17lf", "%.60f", "<%.2e>", "%a", "%G", "%#+010.3lE",
        "100%% %g", "%-12.4F|", "% .61f", "%0400.1f", "%A"}) {
    RunResult r = ::Run("meshtotext", {"in.stl", format}, "", dir.path);
    EXPECT_EQ(r.status, 0) << format;
    EXPECT_EQ(r.err, "") << format;
    EXPECT_EQ(r.out, ExpectedText(Awkward(), format)) << format;
  }
}

TEST(MeshToText, RejectsFormatsThatAreNotOneNumberConversion) {
  Scratch dir;
  dir.Write("in.stl", BinarySTL(Awkward()));
  for (const char* format : {"%s",
                             "%n",
                             "%*f",
                             "%.*f",
                             "%f %f",
                             "none",
                             "",
                             "%d",
                             "%Lf",
                             "%llf",
                             "%1$f",
                             "%'f",
                             "%",
                             "abc%",
                             "%%",
                             "%hf",
                             "%2147483647f",
                             "%.2147483647f",
                             "%99999999999f",
                             "%1073741824.1073741824e"}) {
    // The format is checked before anything else, so even a missing input is not reached.
    for (const char* input : {"in.stl", "missing.stl"}) {
      RunResult r = ::Run("meshtotext", {input, format}, "", dir.path);
      EXPECT_EQ(r.status, 1) << format;
      EXPECT_EQ(r.out, "") << format;
      EXPECT_EQ(r.err, "bad number format.\n") << format;
    }
  }
}

TEST(MeshToText, ReprintsAsciiInputWithWarning) {
  Scratch dir;
  dir.Write("in.stl", AsciiSTL(UnitCube()));
  ExpectRuns(dir.path, {{{"meshtotext", "in.stl"},
                         "in.stl : just an ASCII STL (warning).\n",
                         0,
                         "",
                         ExpectedText(UnitCube(), "%f")}});
}

TEST(MeshToText, EmptyTruncatedAndDegenerateModels) {
  Scratch dir;
  RunResult r = ::Run("meshtotext", {"-"}, BinarySTL({}), dir.path);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "solid\nendsolid\n");

  // Three facets counted, two there: the two facets stay printed, without
  // "endsolid", and the data error ends the program.
  auto cube = UnitCube();
  cube.resize(2);
  std::string bytes = BinarySTL(cube, 3);
  r = ::Run("meshtotext", {"-"}, bytes, dir.path);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "- : STL data error after 2 facets.\n");
  const std::string whole = ExpectedText(cube, "%f");
  EXPECT_EQ(r.out, whole.substr(0, whole.size() - std::string("endsolid\n").size()));

  // All three vertices equal: the normal is 0/0, printed as the C library spells it.
  r = ::Run("meshtotext", {"-"}, BinarySTL({Tri(1, 2, 3, 1, 2, 3, 1, 2, 3)}), dir.path);
  EXPECT_EQ(r.status, 0);
  const std::string first = r.out.substr(0, r.out.find('\n', 6) + 1);
  const std::string nan = Line("%f", std::nan(""));
  const std::string negNan = Line("%f", -std::nan(""));
  EXPECT_TRUE(first == "solid\nfacet normal " + nan + " " + nan + " " + nan + "\n" ||
              first == "solid\nfacet normal " + negNan + " " + negNan + " " + negNan + "\n")
      << first;
  EXPECT_NE(r.out.find("vertex 1.000000 2.000000 3.000000\n"), std::string::npos);
}

TEST(MeshToText, ReportsFailures) {
  Scratch dir;
  dir.Write("cube.stl", BinarySTL(UnitCube()));
  dir.Write("short.stl", std::string(40, '\0'));
  const std::string usage = "usage : meshtotext binary_STL {format}\n";
  ExpectRuns(dir.path,
             {
                 {{"meshtotext"}, usage},
                 {{"meshtotext", "a", "%f", "c"}, usage},
                 {{"meshtotext", "missing.stl"}, "missing.stl : file not found.\n"},
                 {{"meshtotext", "short.stl"}, "short.stl : STL header read error.\n", 1, "", ""},
             });
  for (const char* format : {"%f", "%e"}) {
    RunResult r = RunToFull("meshtotext", {dir.Path("cube.stl"), format});
    EXPECT_EQ(r.status, 1) << format;
    EXPECT_EQ(r.err, "output write error.\n") << format;
  }
}

TEST(MeshToText, TextRoundTripKeepsEveryVertex) {
  Scratch dir;
  dir.Write("in.stl", AsciiSTL(Awkward()));
  ASSERT_EQ(::Run("meshtobinary", {"in.stl", "a.stl"}, "", dir.path).status, 0);
  RunResult text = ::Run("meshtotext", {"a.stl", "%.9g"}, "", dir.path);
  ASSERT_EQ(text.status, 0);
  ASSERT_EQ(::Run("meshtobinary", {"-", "b.stl"}, text.out, dir.path).status, 0);
  EXPECT_TRUE(EqualSTL(WrittenSTL(Awkward(), 0), dir.Read("a.stl")));
  EXPECT_TRUE(EqualSTL(dir.Read("a.stl"), dir.Read("b.stl")));
}

}  // namespace
