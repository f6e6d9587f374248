// Binary STL writing: the zero header, the records, the patched count.
#include "mesh/stlwrite.h"

#include <gtest/gtest.h>

#include <cstring>

#include "common/bytes.h"
#include "common/program.h"
#include "mesh/stl.h"
#include "mesh/stlcopy.h"
#include "support/run.h"
#include "support/stlfiles.h"

TEST(StlWrite, EmptyModelIs84ZeroBytes) {
  Scratch dir;
  const std::string path = dir.Path("empty.stl");  // the writer keeps the name pointer
  STLWriter w;
  BeginSTL(&w, path.c_str());
  EndSTL(&w);
  EXPECT_EQ(dir.Read("empty.stl"), std::string(84, '\0'));
}

TEST(StlWrite, RecordsAndPatchedCountReadBack) {
  Scratch dir;
  auto cube = UnitCube();
  cube[0].attribute = 0x8000;
  cube[1].attribute = 0x7FFF;
  const std::string path = dir.Path("cube.stl");
  STLWriter w;
  BeginSTL(&w, path.c_str());
  for (const auto& f : cube) {
    float block[12];
    std::memcpy(block, f.n, sizeof f.n);
    std::memcpy(block + 3, f.v, sizeof f.v);
    PutSTLFacet(&w, block, static_cast<int16_t>(f.attribute));
  }
  EndSTL(&w);
  EXPECT_TRUE(EqualSTL(BinarySTL(cube), dir.Read("cube.stl")));
}

TEST(StlWrite, PutSTLFacetNormalComputesTheNormal) {
  Scratch dir;
  const std::string path = dir.Path("t.stl");
  STLWriter w;
  BeginSTL(&w, path.c_str());
  const float v[9] = {0, 0, 0, 0, 2, 0, 0, 0, 2};
  PutSTLFacetNormal(&w, v, 5);
  EndSTL(&w);
  TestFacet expected{{1, 0, 0}, {0, 0, 0, 0, 2, 0, 0, 0, 2}, 5};
  EXPECT_TRUE(EqualSTL(BinarySTL({expected}), dir.Read("t.stl")));
}

TEST(StlWrite, PackSTLFacetIsLittleEndian) {
  float block[12] = {1.0f};
  unsigned char record[kSTLRecordSize];
  PackSTLFacet(record, block, static_cast<int16_t>(0xFC01));
  const unsigned char one[4] = {0x00, 0x00, 0x80, 0x3F};
  EXPECT_EQ(std::memcmp(record, one, 4), 0);
  EXPECT_EQ(record[48], 0x01);
  EXPECT_EQ(record[49], 0xFC);
}

TEST(StlWrite, PackSTLHeaderIsTheHeaderThenTheCountLittleEndian) {
  unsigned char text[kSTLHeaderText];
  for (size_t i = 0; i < kSTLHeaderText; ++i) text[i] = static_cast<unsigned char>(i + 1);
  struct Case {
    const unsigned char* header;
    uint32_t count;
    std::string expected;
  } cases[] = {
      {nullptr, 0, std::string(84, '\0')},
      {nullptr, 0x01020304u, std::string(80, '\0') + std::string("\x04\x03\x02\x01", 4)},
      {text, 0xFFFFFFFFu,
       std::string(reinterpret_cast<const char*>(text), 80) + std::string(4, '\xFF')},
  };
  for (const Case& c : cases) {
    unsigned char head[kSTLHeaderSize];
    PackSTLHeader(head, c.header, c.count);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(head), kSTLHeaderSize), c.expected)
        << c.count;
  }
}

namespace {
// Mirrors x, which turns the winding: the normal as read then disagrees with the
// vertices, the normal computed after the edit agrees.
void MirrorX(float b[12], int16_t* attribute, const void*) {
  for (int i = 3; i < 12; i += 3) b[i] = -b[i];
  *attribute = static_cast<int16_t>(*attribute | 1);
}
}  // namespace

TEST(StlCopy, EditsEachFacetWithTheNormalAsReadOrAsEdited) {
  // The stored normal of the second facet points against its winding: it is read
  // turned, with the normal of the turned order.
  TestFacet up = Tri(0, 0, 0, 1, 0, 0, 0, 1, 0, 0x8000);
  TestFacet against = Tri(0, 0, 0, 0, 1, 0, 1, 0, 0, 0x8002);
  against.n[2] = 1;
  struct Case {
    const char* what;
    STLFacetEdit edit;
    STLNormal normal;
    std::vector<TestFacet> expected;
  } cases[] = {
      {"as read",
       nullptr,
       kNormalAsRead,
       {{{0, 0, 1}, {0, 0, 0, 1, 0, 0, 0, 1, 0}, 0x8000},
        {{0, 0, 1}, {0, 0, 0, 1, 0, 0, 0, 1, 0}, 0x8002}}},
      {"normal as read",
       MirrorX,
       kNormalAsRead,
       {{{0, 0, 1}, {-0.0f, 0, 0, -1, 0, 0, -0.0f, 1, 0}, 0x8001},
        {{0, 0, 1}, {-0.0f, 0, 0, -1, 0, 0, -0.0f, 1, 0}, 0x8003}}},
      {"normal of the edit",
       MirrorX,
       kNormalOfEdit,
       {{{0, 0, -1}, {-0.0f, 0, 0, -1, 0, 0, -0.0f, 1, 0}, 0x8001},
        {{0, 0, -1}, {-0.0f, 0, 0, -1, 0, 0, -0.0f, 1, 0}, 0x8003}}},
  };
  Scratch dir;
  dir.Write("in.stl", BinarySTL({up, against}));
  const std::string in = dir.Path("in.stl"), out = dir.Path("out.stl");
  for (const Case& c : cases) {
    STLReader reader;
    OpenSTLInput(&reader, in.c_str());
    STLWriter writer;
    BeginSTL(&writer, out.c_str());
    CopySTLFacets(&reader, in.c_str(), &writer, c.edit, nullptr, c.normal);
    EndSTL(&writer);
    EXPECT_TRUE(EqualSTL(BinarySTL(c.expected), dir.Read("out.stl"))) << c.what;
  }
}

namespace {
struct Stopped {
  int status;
};
[[noreturn]] void Throw(int status) { throw Stopped{status}; }
}  // namespace

TEST(StlWrite, CountFieldNeverWraps) {
  // After 4,294,967,295 facets one more would wrap the 32-bit count to 0: the writer
  // stops with its own message instead.
  Scratch dir;
  const std::string path = dir.Path("many.stl");
  STLWriter w;
  BeginSTL(&w, path.c_str());
  float block[12] = {0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0};
  PutSTLFacet(&w, block, 0);
  w.count = UINT32_MAX;  // as if that many had been written
  SetExitHandler(Throw);
  testing::internal::CaptureStderr();
  int status = -1;
  try {
    PutSTLFacet(&w, block, 0);
  } catch (const Stopped& s) {
    status = s.status;
  }
  SetExitHandler(nullptr);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), path + " : too many facets.\n");
  EndSTL(&w);  // closes the file and lets go of the writer
}

TEST(StlCopy, AModelCutShortEndsTheProgramWithTheFacetsBeforeWritten) {
  Scratch dir;
  dir.Write("short.stl", BinarySTL({Tri(0, 0, 0, 1, 0, 0, 0, 1, 0)}, 2));
  const std::string in = dir.Path("short.stl"), out = dir.Path("out.stl");
  STLReader reader;
  OpenSTLInput(&reader, in.c_str());
  STLWriter writer;
  BeginSTL(&writer, out.c_str());
  SetExitHandler(Throw);
  testing::internal::CaptureStderr();
  int status = -1;
  try {
    CopySTLFacets(&reader, in.c_str(), &writer, nullptr, nullptr);
  } catch (const Stopped& s) {
    status = s.status;
  }
  SetExitHandler(nullptr);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), in + " : STL data error after 1 facets.\n");
  EXPECT_EQ(writer.count, 1u);
  CloseInput(reader.stream);
  EndSTL(&writer);
}
