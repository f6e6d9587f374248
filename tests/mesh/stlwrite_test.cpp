// Binary STL writing: the zero header, the records, the patched count.
#include <gtest/gtest.h>

#include <cstring>

#include "common/bytes.h"
#include "common/program.h"
#include "mesh/stl.h"
#include "mesh/stlwrite.h"
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

TEST(StlWrite, WriteReverseLeavesTheCallersDataReversed) {
  FILE* f = std::tmpfile();
  unsigned char data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(fWriteReverse(data, 4, 2, f), 2u);
  const unsigned char reversed[8] = {4, 3, 2, 1, 8, 7, 6, 5};
  EXPECT_EQ(std::memcmp(data, reversed, 8), 0);
  std::rewind(f);
  unsigned char back[8];
  ASSERT_EQ(std::fread(back, 1, 8, f), 8u);
  EXPECT_EQ(std::memcmp(back, reversed, 8), 0);
  std::fclose(f);
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
