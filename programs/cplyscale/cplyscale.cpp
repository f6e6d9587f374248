// cplyscale: prints the extents of a ZCP model, or of a coloured PLY model of another
// kind (minimum, maximum and size along x, y and z), or writes a ZCP copy scaled by one
// factor or by one factor per axis. Triangles and colours are copied unchanged; a PLY
// model's polygons become triangles and a face without a colour becomes white.
#include <cstdint>
#include <cstdio>

#include "common/numbers.h"
#include "common/program.h"
#include "zcp/model.h"
#include "zcp/zcp.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " orgZCP {scale|(Sx Sy Sz) newZCP}",
    "Prints the extents of a ZCP or PLY model, or writes a ZCP copy scaled by one factor or one "
    "per axis.",
    "orgZCP\tthe ZCP or PLY model read (\"-\": standard input)\n"
    "scale\tone factor for all three axes\n"
    "Sx Sy Sz\tone factor per axis\n"
    "newZCP\tthe scaled ZCP written (\"-\": standard output)\n"};

}  // namespace

int main(int argc, char** argv) {
  StartProgram(argc, argv, kProgram);
  if (argc != 2 && argc != 4 && argc != 6) Usage(kProgram.usage);
  if (argc > 2) CheckOutput(argv[argc - 1], argv[1]);
  ModelReader model;
  OpenModel(&model, argv[1], kStrictHeader);
  const uint32_t n = model.n;

  const bool scaling = argc > 2;
  double factor[3] = {1, 1, 1};
  FILE* out = nullptr;
  if (scaling) {
    for (int i = 0; i < 3; ++i) factor[i] = RealArgument(argv[argc == 4 ? 2 : 2 + i]);
    out = OpenOutput(argv[argc - 1]);
    if (out == nullptr) FailLine("file not stored.");
    const uint64_t m = CountTriangles(&model);
    if (m > UINT32_MAX) Abort(argv[1], "too many triangles");
    PutZCPHeader(out, n, static_cast<uint32_t>(m));
  }

  double low[3] = {0, 0, 0}, high[3] = {0, 0, 0};
  for (uint32_t i = 0; i < n; ++i) {
    float v[3];
    NextVertex(&model, v, nullptr);
    if (scaling) {
      const float scaled[3] = {static_cast<float>(v[0] * factor[0]),
                               static_cast<float>(v[1] * factor[1]),
                               static_cast<float>(v[2] * factor[2])};
      PutZCPVertex(out, scaled);
      continue;
    }
    for (int k = 0; k < 3; ++k) {
      if (i == 0) {
        low[k] = high[k] = v[k];
      } else if (v[k] < low[k]) {
        low[k] = v[k];
      } else if (v[k] > high[k]) {
        high[k] = v[k];
      }
    }
  }
  if (!scaling) {
    for (int k = 0; k < 3; ++k) std::printf("%f\t%f\t%f\n", low[k], high[k], high[k] - low[k]);
  }

  ModelTriangle t;
  while (NextTriangle(&model, &t, nullptr)) {
    if (scaling)
      PutZCPFace(out, ZCPFace{t.rgb[0], t.rgb[1], t.rgb[2], {t.index[0], t.index[1], t.index[2]}});
  }
  if (scaling && !CloseOutput(out)) FailLine("file not stored.");
  CloseModel(&model);
  if (!scaling) FinishOutput();
  return 0;
}
