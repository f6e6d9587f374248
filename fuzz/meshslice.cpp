// Fuzz target: meshslice's facet processing. The first 27 bytes set the grid (the
// origin and the voxel size as six little-endian floats, then three counts taken
// as 1 + byte % 16); the rest is one STL file, sliced, resolved and turned into
// slice samples as the program does, without writing files.
#include <cstring>
#include <vector>

#include "common/bytes.h"
#include "support.h"

#define main MeshSliceMain
#include "../programs/meshslice/meshslice.cpp"
#undef main

namespace {
constexpr size_t kGridBytes = 27;
constexpr int kMaxCount = 16;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kGridBytes) return 0;
  static FILE* sink = std::fopen("/dev/null", "w");
  static TextOut quiet{sink};
  Grid g{};
  for (int a = 0; a < 3; ++a) {
    g.origin[a] = GetLEFloat(data + 4 * a);
    g.size[a] = GetLEFloat(data + 12 + 4 * a);
    if (!(g.size[a] > 0)) return 0;  // "bad pixel size."
    g.n[a] = 1 + data[24 + a] % kMaxCount;
  }
  g.report = &quiet;
  FuzzGuard guard;
  try {
    AllocateWalls(&g);
    FILE* stream = MemoryStream(data + kGridBytes, size - kGridBytes);
    if (stream == nullptr) return 0;
    STLReader reader;
    if (SetUpSTL(&reader, stream) == 1) SliceStream(&g, &reader, "fuzz");
    std::fclose(stream);
    std::vector<uint16_t> samples(size_t(g.n[0]) * g.n[1]);
    std::vector<uint16_t*> rows;
    for (int j = 0; j < g.n[1]; ++j) rows.push_back(samples.data() + size_t(j) * g.n[0]);
    for (int i = 0; i < g.n[2]; ++i) FillSlice(&g, i, rows.data());
  } catch (const FuzzStop&) {
  }
  Free(&g.crossings);
  quiet.Flush();
  return 0;
}
