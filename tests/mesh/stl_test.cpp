// The STL reader and the facet list, built against one build of the stl module
// (compiled once with and once without the attribute word).
#include "mesh/stl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "mesh/facetcross.h"
#include "support/stlfiles.h"

namespace {

// A read-only stream over the bytes, closed with the test's scope: a regular file, or
// with pipe a stream whose size cannot be known (as a pipe's cannot).
struct Stream {
  std::string held;
  FILE* f;
  explicit Stream(const std::string& bytes, bool pipe = false)
      : held(bytes.empty() ? " " : bytes),
        f(pipe ? fmemopen(held.data(), bytes.size(), "rb") : std::tmpfile()) {
    if (pipe) return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::rewind(f);
  }
  ~Stream() { std::fclose(f); }
};

struct Scanned {
  float v[9];
  int16_t attribute = 0;
};

int Scan(STLReader* r, Scanned* s) {
#if defined(MESHPIX_STL_ATTRIBUTE)
  return ScanSTL(r, &s->v[0], &s->v[1], &s->v[2], &s->v[3], &s->v[4], &s->v[5], &s->v[6], &s->v[7],
                 &s->v[8], &s->attribute);
#else
  return ScanSTL(r, &s->v[0], &s->v[1], &s->v[2], &s->v[3], &s->v[4], &s->v[5], &s->v[6], &s->v[7],
                 &s->v[8]);
#endif
}

// Sets the bytes up and scans to the end; returns the set-up result, the facets and
// the last scan result.
struct Outcome {
  int setup = 0;
  int kind = -1;
  std::vector<Scanned> facets;
  int last = 99;
};

Outcome ScanAll(const std::string& bytes, bool pipe = false) {
  Stream s(bytes, pipe);
  STLReader r;
  Outcome o;
  o.setup = SetUpSTL(&r, s.f);
  if (o.setup != 1) return o;
  o.kind = r.kind;
  Scanned f;
  while ((o.last = Scan(&r, &f)) == 1) o.facets.push_back(f);
  return o;
}

const char kFacet[] =
    "facet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\n"
    "endloop\nendfacet\n";

std::string Ascii(const std::string& first, int facets, const std::string& end = "endsolid\n") {
  std::string text = first;
  for (int i = 0; i < facets; ++i) text += kFacet;
  return text + end;
}

}  // namespace

TEST(StlReader, DetectsAsciiAfterBlanksInAnyCase) {
  Outcome o = ScanAll(Ascii("   \t SOLID Cube\n", 2));
  EXPECT_EQ(o.setup, 1);
  EXPECT_EQ(o.kind, kSTLAscii);
  EXPECT_EQ(o.facets.size(), 2u);
  EXPECT_EQ(o.last, 0);
}

TEST(StlReader, SolidWithNulByteOrZeroHeaderIsBinary) {
  std::string bytes = BinarySTL({Tri(0, 0, 0, 1, 0, 0, 0, 1, 0)});
  bytes.replace(0, 5, "solid");
  Outcome o = ScanAll(bytes);
  EXPECT_EQ(o.kind, kSTLBinary);
  EXPECT_EQ(o.facets.size(), 1u);
  EXPECT_EQ(ScanAll(BinarySTL({})).kind, kSTLBinary);
}

TEST(StlReader, SolidAfterSeventyFiveBlanksOnlyAtIndex75) {
  std::string header = std::string(75, ' ') + "SoLiD\n";
  Outcome o = ScanAll(Ascii(header, 1));
  EXPECT_EQ(o.kind, kSTLAscii);
  EXPECT_EQ(o.facets.size(), 1u);
  // 76 blanks: the five bytes compared start at index 75 and hold a blank.
  Outcome shifted = ScanAll(Ascii(std::string(76, ' ') + "solid\n", 1));
  EXPECT_EQ(shifted.kind, kSTLBinary);
}

TEST(StlReader, OnlyFiveLettersAreCompared) {
  EXPECT_EQ(ScanAll(Ascii("solidx and more\n", 1)).kind, kSTLAscii);
  EXPECT_EQ(ScanAll(Ascii("solix\n", 3)).kind, kSTLBinary);
}

TEST(StlReader, ShortFilesCannotBeSetUp) {
  // An ASCII first line with no line feed anywhere.
  EXPECT_EQ(ScanAll("solid " + std::string(100, 'a')).setup, 0);
  // A binary file whose count is cut short.
  EXPECT_EQ(ScanAll(std::string(82, '\0')).setup, 0);
}

TEST(StlReader, KeywordsInAnyCaseButWhole) {
  std::string upper =
      "FACET NORMAL 0 0 1\nOUTER LOOP\nVERTEX 0 0 0\nVeRtEx 1 0 0\n"
      "vertex 0 1 0\nEndLoop\nENDFACET\n";
  Outcome o = ScanAll("solid\n" + upper + upper + upper + "ENDSOLID\n");
  EXPECT_EQ(o.facets.size(), 3u);
  EXPECT_EQ(o.last, 0);
  std::string wrong = Ascii("solid\n", 2);
  wrong.replace(wrong.find("facet normal"), 5, "facets");
  EXPECT_EQ(ScanAll(wrong).last, -1);
}

TEST(StlReader, AsciiWithoutEndsolidEndsCleanlyAfterACompleteFacet) {
  Outcome o = ScanAll(Ascii("solid t\n", 3, ""));
  EXPECT_EQ(o.facets.size(), 3u);
  EXPECT_EQ(o.last, 0);
  EXPECT_EQ(ScanAll(Ascii("solid t\n", 3, "\n \t\r\n")).last, 0);  // blanks only
}

TEST(StlReader, TokenOf79CharactersIsAcceptedAnd80IsNot) {
  std::string ok = Ascii("solid\n", 1);
  ok.replace(ok.find("vertex 1 0 0"), 12, "vertex 1" + std::string(78, '0') + " 0 0");
  Outcome o = ScanAll(ok);
  ASSERT_EQ(o.facets.size(), 1u);
  EXPECT_TRUE(std::isinf(o.facets[0].v[3]));  // 1e78 does not fit a float
  std::string bad = Ascii("solid\n", 1);
  bad.replace(bad.find("vertex 1 0 0"), 12, "vertex 1" + std::string(79, '0') + " 0 0");
  EXPECT_EQ(ScanAll(bad).last, -1);
}

TEST(StlReader, NumbersWithUpperCaseExponentAndWords) {
  std::string text = Ascii("solid\n", 1);
  text.replace(text.find("vertex 1 0 0"), 12, "vertex 1.5E2 abc -2e-1");
  Outcome o = ScanAll(text);
  ASSERT_EQ(o.facets.size(), 1u);
  // The stored normal 0 0 1 still agrees with the winding: nothing is swapped.
  EXPECT_FLOAT_EQ(o.facets[0].v[3], 150.0f);
  EXPECT_FLOAT_EQ(o.facets[0].v[4], 0.0f);
  EXPECT_FLOAT_EQ(o.facets[0].v[5], -0.2f);
}

TEST(StlReader, EndsolidLineIsSkippedToItsEnd) {
  Outcome o = ScanAll(Ascii("solid\n", 1, "endsolid some name here\n"));
  EXPECT_EQ(o.last, 0);
  Outcome atEof = ScanAll(Ascii("solid\n", 1, "endsolid"));
  EXPECT_EQ(atEof.last, 0);
}

TEST(StlReader, BinaryCountsAndShortData) {
  EXPECT_EQ(ScanAll(BinarySTL({})).last, 0);
  auto cube = UnitCube();
  Outcome o = ScanAll(BinarySTL(cube, 20));
  EXPECT_EQ(o.facets.size(), 12u);
  EXPECT_EQ(o.last, -1);
  // Through a pipe, bytes after the counted facets are never read; a file's whole
  // records all are (below).
  Outcome fewer = ScanAll(BinarySTL(cube, 5), true);
  EXPECT_EQ(fewer.facets.size(), 5u);
  EXPECT_EQ(fewer.last, 0);
}

TEST(StlReader, BinaryReaderKeepsGivingZeroAtTheEnd) {
  Stream s(BinarySTL({Tri(0, 0, 0, 1, 0, 0, 0, 1, 0)}));
  STLReader r;
  ASSERT_EQ(SetUpSTL(&r, s.f), 1);
  Scanned f;
  EXPECT_EQ(Scan(&r, &f), 1);
  EXPECT_EQ(Scan(&r, &f), 0);
  EXPECT_EQ(Scan(&r, &f), 0);
}

TEST(StlReader, CountAboveTwoToThe31IsUnsigned) {
  std::string bytes = BinarySTL({Tri(0, 0, 0, 1, 0, 0, 0, 1, 0)}, 0x80000001LL);
  Stream s(bytes);
  STLReader r;
  ASSERT_EQ(SetUpSTL(&r, s.f), 1);
  EXPECT_EQ(r.count, 0x80000001u);
  Scanned f;
  EXPECT_EQ(Scan(&r, &f), 1);
  EXPECT_EQ(Scan(&r, &f), -1);
}

TEST(StlReader, SwapsAgainstStoredNormal) {
  TestFacet t = Tri(0, 0, 0, 1, 0, 0, 0, 1, 0);
  t.n[2] = -1;  // points against the counter-clockwise order
  Outcome o = ScanAll(BinarySTL({t}));
  ASSERT_EQ(o.facets.size(), 1u);
  const float expected[9] = {0, 0, 0, 0, 1, 0, 1, 0, 0};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(o.facets[0].v[i], expected[i]) << i;
}

TEST(StlReader, ZeroNormalAndDegenerateFacetsKeepTheirOrder) {
  TestFacet zero = Tri(0, 0, 0, 1, 0, 0, 0, 1, 0);
  zero.n[0] = zero.n[1] = zero.n[2] = 0;
  TestFacet degenerate = Tri(2, 2, 2, 2, 2, 2, 2, 2, 2);
  degenerate.n[2] = -1;
  Outcome o = ScanAll(BinarySTL({zero, degenerate}));
  ASSERT_EQ(o.facets.size(), 2u);
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(o.facets[0].v[i], zero.v[i]);
    EXPECT_EQ(o.facets[1].v[i], 2.0f);
  }
}

TEST(StlReader, AttributeWords) {
  Outcome binary = ScanAll(
      BinarySTL({Tri(0, 0, 0, 1, 0, 0, 0, 1, 0, 0xFC00), Tri(0, 0, 0, 1, 0, 0, 0, 1, 0, 0x7FFF)}));
  Outcome ascii = ScanAll(Ascii("solid\n", 1));
  ASSERT_EQ(binary.facets.size(), 2u);
  ASSERT_EQ(ascii.facets.size(), 1u);
#if defined(MESHPIX_STL_ATTRIBUTE)
  EXPECT_EQ(static_cast<uint16_t>(binary.facets[0].attribute), 0xFC00);
  EXPECT_EQ(binary.facets[1].attribute, 0x7FFF);
#endif
  EXPECT_EQ(ascii.facets[0].attribute, 0);
}

TEST(StlReader, CalcNormalIsTheUnitCrossProduct) {
  double nx, ny, nz;
  CalcNormal(0, 0, 0, 2, 0, 0, 0, 3, 0, &nx, &ny, &nz);
  EXPECT_EQ(nx, 0.0);
  EXPECT_EQ(ny, 0.0);
  EXPECT_EQ(nz, 1.0);
  CalcNormal(1, 1, 1, 1, 2, 1, 1, 1, 2, &nx, &ny, &nz);
  EXPECT_EQ(nx, 1.0);
  CalcNormal(1, 1, 1, 1, 1, 1, 1, 1, 1, &nx, &ny, &nz);
  EXPECT_TRUE(std::isnan(nx) && std::isnan(ny) && std::isnan(nz));
}

// CalcNormal, FacetCross and CornerCross share one extended cross product: for float
// corners the same bits, and CalcNormal is it over its length. EdgeCross works in
// doubles, where the products can round away what the extended ones keep.
TEST(StlReader, OneExtendedCrossProductForFloatAndDoubleCorners) {
  const float cases[][9] = {
      {0, 0, 0, 2, 0, 0, 0, 3, 0},
      {1.5f, -2.25f, 3, 1e7f, 3e-3f, -8, 0.1f, 1e-30f, 7},
      {16777216, 1, 0, 16777215, 0, 1, 1, 16777214, 3},
      {-3e38f, 3e38f, 0, 3e38f, -3e38f, 1, 0, 0, 3e38f},
  };
  for (const auto& v : cases) {
    const Cross f = FacetCross(v);
    const Cross c = CornerCross(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]);
    EXPECT_EQ(f.x, c.x);
    EXPECT_EQ(f.y, c.y);
    EXPECT_EQ(f.z, c.z);
    double n[3];
    CalcNormal(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], &n[0], &n[1], &n[2]);
    EXPECT_EQ(n[0], static_cast<double>(c.x / Length(c)));
    EXPECT_EQ(n[1], static_cast<double>(c.y / Length(c)));
    EXPECT_EQ(n[2], static_cast<double>(c.z / Length(c)));
  }
  // (1e8 + 1)(1e8 - 1) - 1e8 1e8 is -1, but the first product rounds to 1e16 in doubles.
  double e[3];
  EdgeCross(1e8 + 1, 1e8, 0, 1e8, 1e8 - 1, 0, e);
  EXPECT_EQ(e[2], 0.0);
  EXPECT_EQ(CornerCross(0, 0, 0, 1e8 + 1, 1e8, 0, 1e8, 1e8 - 1, 0).z, -1.0L);
}

TEST(FacetList, HoldsFacetsInFileOrder) {
  auto cube = UnitCube();
  cube[3].attribute = 0x8421;
  Stream s(BinarySTL(cube));
  bool outOfMemory = true;
  Facet* head = ReadFacetList(s.f, &outOfMemory);
  EXPECT_FALSE(outOfMemory);
  size_t n = 0;
  for (Facet* f = head; f != nullptr; f = f->next, ++n) {
    ASSERT_LT(n, cube.size());
    EXPECT_EQ(f->x2, cube[n].v[3]);
    EXPECT_EQ(f->z3, cube[n].v[8]);
#if defined(MESHPIX_STL_ATTRIBUTE)
    EXPECT_EQ(static_cast<uint16_t>(f->attribute), cube[n].attribute);
#endif
  }
  EXPECT_EQ(n, cube.size());
  FreeFacetList(head);
}

TEST(FacetList, StopsAtABrokenFacetAndFailsOnABadHeader) {
  std::string ten = BinarySTL(UnitCube(), 10);
  ten.resize(84 + 50 * 9 + 30);  // the tenth facet breaks off
  Stream s(ten);
  size_t n = 0;
  Facet* head = ReadFacetList(s.f);
  for (Facet* f = head; f != nullptr; f = f->next) ++n;
  EXPECT_EQ(n, 9u);
  FreeFacetList(head);
  Stream shortFile(std::string(40, 'x'));
  EXPECT_EQ(ReadFacetList(shortFile.f), nullptr);
}

TEST(FacetList, AllocFacetNarrowsToFloats) {
#if defined(MESHPIX_STL_ATTRIBUTE)
  Facet* f = AllocFacet(0.1, 2, 3, 4, 5, 6, 7, 8, 1e40, 0x18000);
  EXPECT_EQ(f->attribute, static_cast<int16_t>(0x8000));
#else
  Facet* f = AllocFacet(0.1, 2, 3, 4, 5, 6, 7, 8, 1e40);
#endif
  EXPECT_EQ(f->x1, 0.1f);
  EXPECT_TRUE(std::isinf(f->z3));
  EXPECT_EQ(f->next, nullptr);
  std::free(f);
}

TEST(StlReader, BlockNormalIsCalcNormalOfTheDeliveredOrder) {
  // Axis-aligned facets give zero normal components whose sign depends on the vertex
  // order; the flipped ones are swapped by the reader.
  std::vector<TestFacet> facets = UnitCube();
  for (size_t i = 0; i < facets.size(); i += 2) {
    for (float& n : facets[i].n) n = -n;
  }
  Stream s(BinarySTL(facets));
  STLReader r;
  ASSERT_EQ(SetUpSTL(&r, s.f), 1);
  float b[12];
#if defined(MESHPIX_STL_ATTRIBUTE)
  int16_t attribute;
  while (ScanSTLBlock(&r, b, &attribute) == 1) {
#else
  while (ScanSTLBlock(&r, b) == 1) {
#endif
    double n[3];
    CalcNormal(b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], &n[0], &n[1], &n[2]);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(b[i], static_cast<float>(n[i]));
      EXPECT_EQ(std::signbit(b[i]), std::signbit(n[i]));
    }
  }
}

TEST(StlReader, RoomIsWhatTheFileHoldsNotWhatItsCountClaims) {
  // Two facets under a count of 4,294,967,295: room for two. A file that holds more
  // than its count: room for the count. ASCII: unknown.
  const std::vector<TestFacet> two = {Tri(0, 0, 0, 1, 0, 0, 0, 1, 0),
                                      Tri(0, 0, 0, 0, 1, 0, 0, 0, 1)};
  const struct {
    std::string bytes;
    uint64_t room;
  } cases[] = {
      {BinarySTL(two, 4294967295u), 2},
      {BinarySTL(two, 1), 2},  // two whole records: the count is mended
      {BinarySTL(two, 1) + "x", 1},
      {BinarySTL(two).substr(0, 84 + 99), 1},
      {Ascii("solid t\n", 3), 0},
  };
  for (const auto& c : cases) {
    Stream s(c.bytes);
    STLReader r;
    ASSERT_EQ(SetUpSTL(&r, s.f), 1);
    EXPECT_EQ(STLFacetRoom(&r), c.room);
  }
}

TEST(StlReader, EndStateTellsAnErrorFromAMissingEndsolid) {
  // Facets delivered, error, missing "endsolid": what ReportSTLEnd words.
  const struct {
    std::string bytes;
    uint64_t facets;
    bool failed, noEndsolid;
  } cases[] = {
      {Ascii("solid t\n", 3), 3, false, false},
      {Ascii("solid t\n", 3, ""), 3, false, true},
      {Ascii("solid t\n", 3, "endsol"), 3, true, false},
      {Ascii("solid t\n", 3, "facet normal 0 0 1\nouter"), 3, true, false},
      {Ascii("solid t\n", 1, std::string(80, 'x')), 1, true, false},  // over-long token at the end
      {BinarySTL({Tri(0, 0, 0, 1, 0, 0, 0, 1, 0)}, 2), 1, true, false},
      {BinarySTL({Tri(0, 0, 0, 1, 0, 0, 0, 1, 0)}), 1, false, false},
  };
  for (const auto& c : cases) {
    Stream s(c.bytes);
    STLReader r;
    ASSERT_EQ(SetUpSTL(&r, s.f), 1);
    Scanned f;
    while (Scan(&r, &f) == 1) {
    }
    EXPECT_EQ(r.facets, c.facets) << c.bytes.substr(0, 40);
    EXPECT_EQ(r.failed, c.failed) << c.bytes.substr(0, 40);
    EXPECT_EQ(r.noEndsolid, c.noEndsolid) << c.bytes.substr(0, 40);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ReportSTLEnd(&r, "m.stl"), !c.failed);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, c.failed
                        ? "m.stl : STL data error after " + std::to_string(c.facets) + " facets.\n"
                    : c.noEndsolid ? "m.stl : no endsolid (warning).\n"
                                   : "");
  }
}

// Files as other writers make them, from a regular file and from a stream of unknown
// size (a pipe).
TEST(StlReader, FilesOfOtherWriters) {
  // A scan to the end, in short: "-" when the stream is not set up, else "A" (ASCII) or
  // "B" (binary), the facets delivered, and "!" when the scan ended on an error.
  const auto readWay = [](const std::string& bytes, bool pipe) {
    const Outcome o = ScanAll(bytes, pipe);
    std::string way(o.setup != 1 ? "-" : o.kind == kSTLBinary ? "B" : "A");
    if (o.setup == 1) way += std::to_string(o.facets.size());
    return o.last < 0 ? way + '!' : way;
  };
  const auto facets = [](size_t n) {
    return std::vector<TestFacet>(n, Tri(0, 0, 0, 1, 0, 0, 0, 1, 0));
  };
  const auto solid = [&](size_t n) { return SolidHeader(BinarySTL(facets(n)), "Part_1"); };
  const std::string lf = "solid" + std::string(74, 'x') + "\n";  // a header with a line feed
  const struct {
    std::string label, bytes, file, pipe;
  } cases[] = {
      // A header beginning with "solid" and no NUL: binary by the size (up to 49 bytes
      // over), and through a pipe by the NULs of the count, within the look-ahead's 512
      // bytes.
      {"solid header, 0 facets", solid(0), "B0", "B0"},
      {"solid header, 9 facets", solid(9), "B9", "B9"},
      {"solid header, 49 stray bytes", solid(3) + std::string(49, 'x'), "B3", "B3"},
      {"solid header, a line feed in it", BinarySTL(facets(4)).replace(0, 80, lf), "B4", "B4"},
      // A count below a file's whole records gives them all; a pipe goes by the count.
      {"count 5 over 12 records", BinarySTL(facets(12), 5), "B12", "B5"},
      {"count 5 over 12 records and a byte", BinarySTL(facets(12), 5) + "x", "B5", "B5"},
      // ASCII: further solids go on (what else may follow, below).
      {"a third body not ended", AsciiBodies(facets(4), 2, false) + "solid x\n" + kFacet, "A5",
       "A5"},
      {"a first line of 600 bytes", Ascii("solid " + std::string(600, 'n') + "\n", 1), "A1", "A1"},
      {"a control byte in the first line", Ascii("solid \x01\x02\n", 1), "A1", "A1"},
      // Shorter than 80 bytes: complete empty solids, or nothing.
      {"two short empty solids", "solid a\nendsolid a\nSOLID b\r\nendsolid", "A0", "A0"},
      {"short and not ended", "solid Empty\n", "-", "-"},
      {"short with a part facet", "solid a\nfacet normal 0 0 1\nendsolid a\n", "-", "-"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(readWay(c.bytes, false), c.file) << c.label << ", file";
    EXPECT_EQ(readWay(c.bytes, true), c.pipe) << c.label << ", pipe";
  }
}

// A program may read on in the same stream after the model (meshturn's rotation lines):
// neither the look-ahead nor the search for a further solid takes what follows. A
// "COLOR=" header without a NUL is not changed by the look for "solid" in it.
TEST(StlReader, LeavesTheStreamAndTheHeaderAsTheyAre) {
  const TestFacet f = Tri(0, 0, 0, 1, 0, 0, 0, 1, 0, 0x8000);
  for (const std::string& model :
       {SolidHeader(BinarySTL({f}), "x"), AsciiBodies({f, f}, 2, false)}) {
    Stream s(model + "0 90 0\n", true);
    STLReader r;
    ASSERT_EQ(SetUpSTL(&r, s.f), 1);
    Scanned scanned;
    while (Scan(&r, &scanned) == 1) {
    }
    char rest[16] = {};
    EXPECT_STREQ(std::fgets(rest, sizeof rest, s.f), "0 90 0\n") << model.substr(0, 20);
  }
  std::string bytes = BinarySTL({f});
  bytes.replace(0, 80, std::string("COLOR=\xff\x80\x40\xff") + std::string(70, ' '));
  Outcome o = ScanAll(bytes, true);
  ASSERT_EQ(o.facets.size(), 1u);
#if defined(MESHPIX_STL_ATTRIBUTE)
  // The word takes the object's colour, each channel cut to five bits: 31 16 8.
  EXPECT_EQ(static_cast<uint16_t>(o.facets[0].attribute), 0x8000 | 31 << 10 | 16 << 5 | 8);
#endif
}
