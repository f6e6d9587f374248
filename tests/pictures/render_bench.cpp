// For bench/render.sh: times the two halves of every frame of a turntable as
// meshorbit makes it (a view every 360/frames degrees at 20 degrees up, the model's
// box in the middle of a size x size picture): drawing the model (renderer and flat
// shading) and storing the picture as a GIF image (colour reduction and LZW). Every
// frame is also kept as a PPM file, the same true-colour frames for another writer.
//
//   render_bench model.stl frames size folder
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "render/scene.h"
#include "render/xyz.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

void SavePPM(const std::string& path, int size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fprintf(f, "P6\n%d %d\n255\n", size, size);
  for (int r = 0; r < size; ++r) {
    for (int c = 0; c < size; ++c) {
      for (int k = 0; k < 3; ++k) std::fputc(PictureRows(k)[r][c], f);
    }
  }
  std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: render_bench model.stl frames size folder\n");
    return 1;
  }
  const Facet* facets = ReadModel(argv[1]);
  const int frames = std::atoi(argv[2]), size = std::atoi(argv[3]);
  const std::string folder = argv[4];
  char look[][4] = {"1", "40", "255", "255", "255", "-1", "-1", "-1", "200", "200", "200"};
  char* words[11];
  for (int i = 0; i < 11; ++i) words[i] = look[i];
  CheckLook(words);

  double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
  long count = 0;
  for (const Facet* f = facets; f != nullptr; f = f->next, ++count) {
    const float v[9] = {f->x1, f->y1, f->z1, f->x2, f->y2, f->z2, f->x3, f->y3, f->z3};
    for (int i = 0; i < 9; ++i) {
      lo[i % 3] = std::min(lo[i % 3], static_cast<double>(v[i]));
      hi[i % 3] = std::max(hi[i % 3], static_cast<double>(v[i]));
    }
  }
  const double scale = size / std::hypot(hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]);

  NewPicture(size, size);
  OpenPicture((folder + "/bench.gif").c_str());
  double draw = 0, store = 0;
  for (int k = 0; k < frames; ++k) {
    const double lon = k * 360.0 / frames * kDegree, lat = 20 * kDegree;
    double w, h;
    XYZWidth(lon, lat, lo[0], lo[1], lo[2], hi[0], hi[1], hi[2], &w, &h);
    const int Q = std::clamp(static_cast<int>(std::ceil(scale * w)), 1, size);
    const int R = std::clamp(static_cast<int>(std::ceil(scale * h)), 1, size);
    const Clock::time_point t0 = Clock::now();
    PlaceView((size - Q) / 2, (size + R) / 2 - 1);
    BeginFrame(Q, R, lon, lat, lo[0], lo[1], lo[2], hi[0], hi[1], hi[2]);
    for (const Facet* f = facets; f != nullptr; f = f->next) {
      DrawFacet(lon, lat, f->x1, f->y1, f->z1, f->x2, f->y2, f->z2, f->x3, f->y3, f->z3,
                f->attribute);
    }
    const Clock::time_point t1 = Clock::now();
    EndFrame();
    const Clock::time_point t2 = Clock::now();
    draw += Seconds(t0, t1);
    store += Seconds(t1, t2);
    char name[32];
    std::snprintf(name, sizeof name, "/frame%03d.ppm", k);
    SavePPM(folder + name, size);
  }
  ClosePicture();
  std::printf("%ld %d %d %.6f %.6f\n", count, frames, size, draw, store);
  return 0;
}
