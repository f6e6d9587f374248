// cplydump: prints a ZCP model as text: the vertex and face counts, one line per
// vertex (x, y, z) and one line per face (three indices, then red, green, blue).
#include <cstdint>
#include <cstdio>

#include "common/program.h"
#include "common/textout.h"
#include "zcp/zcp.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " ZCP",
    "Prints a ZCP model as text: the counts, one line per vertex and one per face.",
    "ZCP\tthe ZCP model read (\"-\": standard input)\n"};

TextOut out{stdout};

// The lines printed so far stay on standard output when a read fails.
void FlushText() { out.Flush(); }

}  // namespace

int main(int argc, char** argv) {
  uint32_t n, m;
  FILE* in = StartZCPReader(argc, argv, kProgram, &n, &m);

  out.Int(n);
  out.Char('\t');
  out.Int(m);
  out.Char('\n');
  for (uint32_t i = 0; i < n; ++i) {
    float v[3];
    RequireZCPVertex(in, argv[1], i, v, FlushText);
    PutPointText(&out, v, '\t');
  }
  for (uint32_t i = 0; i < m; ++i) {
    ZCPFace face;
    RequireZCPFace(in, argv[1], n, i, &face, FlushText);
    for (uint32_t index : face.index) {
      out.Int(index);
      out.Char('\t');
    }
    out.Int(face.red);
    out.Char('\t');
    out.Int(face.green);
    out.Char('\t');
    out.Int(face.blue);
    out.Char('\n');
  }
  out.Flush();
  CloseInput(in);
  FinishOutput();
  return 0;
}
