// cplydump: prints a ZCP model, or a coloured PLY model of another kind, as text: the
// vertex and triangle counts, one line per vertex (x, y, z) and one line per triangle
// (three indices, then red, green, blue; white for a face without a colour).
#include <cstdint>
#include <cstdio>

#include "common/program.h"
#include "common/textout.h"
#include "zcp/model.h"
#include "zcp/zcp.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " ZCP",
    "Prints a ZCP or coloured PLY model as text: the counts, one line per vertex and one per "
    "triangle.",
    "ZCP\tthe ZCP or PLY model read (\"-\": standard input)\n"};

TextOut out{stdout};

// The lines printed so far stay on standard output when a read fails.
void FlushText() { out.Flush(); }

}  // namespace

int main(int argc, char** argv) {
  ModelReader model;
  StartModelReader(argc, argv, kProgram, &model);

  // Counted before anything is printed: a PLY model's faces may fail there.
  const uint64_t triangles = CountTriangles(&model);
  out.Int(model.n);
  out.Char('\t');
  out.Int(static_cast<long long>(triangles));
  out.Char('\n');
  for (uint32_t i = 0; i < model.n; ++i) {
    float v[3];
    NextVertex(&model, v, FlushText);
    PutPointText(&out, v, '\t');
  }
  ModelTriangle t;
  while (NextTriangle(&model, &t, FlushText)) {
    for (uint32_t index : t.index) {
      out.Int(index);
      out.Char('\t');
    }
    for (int c = 0; c < 3; ++c) {
      out.Int(t.rgb[c]);
      out.Char(c < 2 ? '\t' : '\n');
    }
  }
  out.Flush();
  CloseModel(&model);
  FinishOutput();
  return 0;
}
