// Writes GIF files through the GIF writer for the interop test, each beside the
// pixels it must decode to.
//
//   gifsample folder     noise.gif / noise.idx   palette noise with the grey table: every
//                                                code width and many table clears
//                        flat.gif / flat.idx     one index everywhere: long strings
//                        exact.gif / exact.rgb   256 distinct colours, kept exactly
//                        many.gif / many.rgb     a gradient of 65,536 colours, reduced
//                        frames.gif / frames.txt images at offsets, global and local tables
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "gifwrite/sgif.h"

namespace {

uint32_t seed = 12345;
unsigned Next() {
  seed = seed * 1103515245u + 12345u;
  return seed >> 16;
}

struct Plane {
  int width, height;
  std::vector<unsigned char> cells;
  std::vector<const unsigned char*> rows;
  Plane(int w, int h) : width(w), height(h), cells(static_cast<size_t>(w) * h) {
    for (int r = 0; r < h; ++r) rows.push_back(cells.data() + static_cast<size_t>(r) * w);
  }
};

void Save(const std::string& path, const std::vector<const Plane*>& planes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  const Plane& first = *planes[0];
  for (size_t i = 0; i < first.cells.size(); ++i) {
    for (const Plane* p : planes) std::fputc(p->cells[i], f);
  }
  std::fclose(f);
}

FILE* Begin(const std::string& path, int width, int height) {
  FILE* f = std::fopen(path.c_str(), "wb");
  InitStoreGIF(f, width, height, nullptr, nullptr, nullptr);
  return f;
}

void Indexed(const std::string& dir, const std::string& name, Plane& p) {
  FILE* f = Begin(dir + "/" + name + ".gif", p.width, p.height);
  StoreGIF(f, 0, 0, p.width, p.height, StoreGIF_Gray, StoreGIF_Gray, StoreGIF_Gray, p.rows.data());
  TermStoreGIF(f);
  Save(dir + "/" + name + ".idx", {&p});
}

void TrueColour(const std::string& dir, const std::string& name, Plane& r, Plane& g, Plane& b) {
  FILE* f = Begin(dir + "/" + name + ".gif", r.width, r.height);
  StoreGIF_RGB(f, 0, 0, r.width, r.height, r.rows.data(), g.rows.data(), b.rows.data());
  TermStoreGIF(f);
  Save(dir + "/" + name + ".rgb", {&r, &g, &b});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string dir = argv[1];

  Plane noise(301, 203);
  for (auto& c : noise.cells)
    c = static_cast<unsigned char>(Next() % 256 < 200 ? Next() % 5 : Next());
  Indexed(dir, "noise", noise);

  Plane flat(1500, 1200);
  for (auto& c : flat.cells) c = 77;
  Indexed(dir, "flat", flat);

  Plane r(16, 16), g(16, 16), b(16, 16);
  for (int i = 0; i < 256; ++i) {
    r.cells[i] = static_cast<unsigned char>(i);
    g.cells[i] = static_cast<unsigned char>(255 - i);
    b.cells[i] = static_cast<unsigned char>((i * 37) % 256);
  }
  TrueColour(dir, "exact", r, g, b);

  Plane mr(256, 256), mg(256, 256), mb(256, 256);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      mr.cells[y * 256 + x] = static_cast<unsigned char>(x);
      mg.cells[y * 256 + x] = static_cast<unsigned char>(y);
      mb.cells[y * 256 + x] = static_cast<unsigned char>((x + y) / 2);
    }
  }
  TrueColour(dir, "many", mr, mg, mb);

  // Three images on a 40 x 30 screen with a table of colours: a full one, one at
  // (5, 7) with the grey table of its own, and one at (30, 20) in true colour.
  Plane full(40, 30), part(10, 6), tr(10, 10), tg(10, 10), tb(10, 10);
  for (auto& c : full.cells) c = static_cast<unsigned char>(Next());
  for (auto& c : part.cells) c = static_cast<unsigned char>(Next());
  for (size_t i = 0; i < 100; ++i) {
    tr.cells[i] = static_cast<unsigned char>(i);
    tg.cells[i] = 200;
    tb.cells[i] = static_cast<unsigned char>(100 - i);
  }
  unsigned char red[256], green[256], blue[256];
  for (int i = 0; i < 256; ++i) {
    red[i] = static_cast<unsigned char>(i);
    green[i] = static_cast<unsigned char>(255 - i);
    blue[i] = static_cast<unsigned char>(i * 7);
  }
  FILE* f = std::fopen((dir + "/frames.gif").c_str(), "wb");
  InitStoreGIF(f, 40, 30, red, green, blue);
  StoreGIF(f, 0, 0, 40, 30, nullptr, nullptr, nullptr, full.rows.data());
  StoreGIF(f, 5, 7, 10, 6, StoreGIF_Gray, StoreGIF_Gray, StoreGIF_Gray, part.rows.data());
  StoreGIF_RGB(f, 30, 20, 10, 10, tr.rows.data(), tg.rows.data(), tb.rows.data());
  TermStoreGIF(f);
  Save(dir + "/frames-0.idx", {&full});
  Save(dir + "/frames-1.idx", {&part});
  Save(dir + "/frames-2.rgb", {&tr, &tg, &tb});
  return 0;
}
