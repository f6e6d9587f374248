// Writes one TIFF file of every kind the writer makes into a folder, for the
// interop test: name, build, size, bits and description per line on stdout.
// Sample c (0 red, 1 green, 2 blue; 0 for one-sample pictures) of pixel (x, y)
// is (37 x + 101 y + 53 c + (x y) mod 7) mod 2^bits; colour map entry i of channel
// c is (i * 4099 + c * 20011) mod 65536. The build "noise" is a grey picture of
// 8 bits whose samples ((x + width y) * 2654435761 mod 2^32) >> 24 hardly compress,
// so that the string table fills and restarts within a strip.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tiffwrite/sif.h"

namespace {

struct Plane {
  std::vector<uint16_t> data;
  std::vector<const uint16_t*> rows;
  Plane(int w, int h, int bits, int c, bool noise = false) : data(size_t(w) * h) {
    const uint64_t mask = bits >= 16 ? 0xFFFF : (1u << bits) - 1;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        uint64_t v = 37ull * x + 101ull * y + 53ull * c + (uint64_t(x) * y) % 7;
        if (noise) v = static_cast<uint32_t>((uint64_t(x) + uint64_t(w) * y) * 2654435761u) >> 24;
        data[size_t(y) * w + x] = static_cast<uint16_t>(v & mask);
      }
      rows.push_back(data.data() + size_t(y) * w);
    }
  }
};

struct Sample {
  const char* build;
  int width, height, bits;
  const char* description;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage : tiff_samples directory\n");
    return 1;
  }
  const Sample samples[] = {
      {"grey", 10, 5, 1, nullptr},
      {"grey", 70000, 3, 1, nullptr},
      {"grey", 300, 100, 8, nullptr},
      {"grey", 9000, 2, 8, "meshpix sample"},
      {"grey", 33, 20, 4, nullptr},
      {"grey", 17, 9, 12, nullptr},
      {"grey", 200, 50, 16, nullptr},
      {"grey", 20, 20, 32, "abc"},
      {"rgb", 10, 10, 8, nullptr},
      {"rgb", 100, 50, 8, nullptr},
      {"rgb", 40, 40, 16, nullptr},
      {"palette", 300, 40, 8, nullptr},
      {"palette", 31, 17, 4, nullptr},
      {"palette", 7, 7, 2, nullptr},
      {"palette", 9, 3, 1, nullptr},
      {"noise", 8192, 3, 8, nullptr},
      // Files past 64 KiB: every offset in the IFD must be held in full.
      {"grey", 1200, 1200, 1, nullptr},
      {"grey", 1200, 1200, 16, nullptr},
      {"rgb", 1200, 1200, 8, nullptr},
      {"palette", 1200, 1200, 8, nullptr},
      {"rgb", 4000, 3000, 8, nullptr},
  };
  int n = 0;
  for (const Sample& s : samples) {
    const std::string name =
        std::string(argv[1]) + "/" + std::to_string(n++) + "-" + s.build + ".tif";
    const std::string kind = s.build;
    if (kind == "grey" || kind == "noise") {
      Plane p(s.width, s.height, s.bits, 0, kind == "noise");
      StoreImageFile(name.c_str(), s.width, s.height, s.bits, p.rows.data(), s.description);
    } else if (kind == "rgb") {
      Plane r(s.width, s.height, s.bits, 0), g(s.width, s.height, s.bits, 1),
          b(s.width, s.height, s.bits, 2);
      StoreImageFile_RGB(name.c_str(), s.width, s.height, s.bits, r.rows.data(), g.rows.data(),
                         b.rows.data(), s.description);
    } else {
      Plane p(s.width, s.height, s.bits, 0);
      std::vector<uint16_t> maps[3];
      for (int c = 0; c < 3; ++c) {
        for (uint32_t i = 0; i < (1u << s.bits); ++i)
          maps[c].push_back(static_cast<uint16_t>(i * 4099 + c * 20011));
      }
      StoreImageFile_CM(name.c_str(), s.width, s.height, s.bits, maps[0].data(), maps[1].data(),
                        maps[2].data(), p.rows.data(), s.description);
    }
    std::printf("%s %s %d %d %d %s\n", name.c_str(), s.build, s.width, s.height, s.bits,
                s.description ? s.description : "-");
  }
  return 0;
}
