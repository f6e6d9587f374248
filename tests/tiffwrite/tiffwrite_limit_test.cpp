// The 32-bit offsets bound a TIFF file to 4 GiB. This test links a build of the
// writer whose bound is lowered to 2000 bytes, to reach it with small pictures.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "support/run.h"
#include "tiffread.h"
#include "tiffwrite/sif.h"

namespace {

std::vector<const uint16_t*> Rows(std::vector<uint16_t>& data, int width, int height) {
  std::vector<const uint16_t*> rows;
  for (int y = 0; y < height; ++y) rows.push_back(data.data() + size_t(y) * width);
  return rows;
}

TEST(TiffWriteLimit, FileUpToTheBoundIsStored) {
  std::vector<uint16_t> data(100 * 10, 7);  // compresses to a few bytes
  auto rows = Rows(data, 100, 10);
  Scratch dir;
  StoreImageFile(dir.Path("a.tif").c_str(), 100, 10, 8, rows.data(), nullptr);
  TiffFile t;
  std::string why;
  EXPECT_TRUE(ParseTiff(dir.Read("a.tif"), &t, &why)) << why;
}

TEST(TiffWriteLimit, FilePastTheBoundIsNotStored) {
  // 3000 bytes that do not compress: the offsets would pass the bound.
  std::vector<uint16_t> data(3000);
  uint32_t x = 1;
  for (auto& v : data) v = static_cast<uint16_t>((x = x * 1103515245u + 12345u) >> 16);
  auto rows = Rows(data, 3000, 1);
  Scratch dir;
  const std::string path = dir.Path("b.tif");
  EXPECT_EXIT(StoreImageFile(path.c_str(), 3000, 1, 8, rows.data(), nullptr),
              ::testing::ExitedWithCode(1), "^" + path + " : file not stored.\n$");
}

}  // namespace
