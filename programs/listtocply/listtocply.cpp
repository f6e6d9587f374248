// listtocply: builds a ZCP file from text on standard input: a line "N M", N lines
// "x y z", then M lines "i j k" with an optional grey level or red, green and blue.
// Faces without a colour take the default: white, or R G B from the command line.
#include <cstdint>

#include "common/numbers.h"
#include "common/program.h"
#include "zcp/lists.h"
#include "zcp/zcp.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " ZCP {R G B}",
    "Builds a ZCP file from a vertex and a face list read on standard input.",
    "ZCP\tthe ZCP file written (\"-\": standard output)\n"
    "R G B\tthe colour of faces without one, 0 to 255 each (else white)\n"};

}  // namespace

int main(int argc, char** argv) {
  StartProgram(argc, argv, kProgram);
  if (argc != 2 && argc != 5) Usage(kProgram.usage);
  CheckOutput(argv[1], "-");  // the lists come from standard input
  unsigned char colour[3] = {255, 255, 255};
  if (argc == 5) {
    for (int i = 0; i < 3; ++i) {
      const int value = WholeArgument(argv[2 + i]);
      if (value < 0 || value > 255) {
        FailLine("bad face's default R, G and/or B values.");
      }
      colour[i] = static_cast<unsigned char>(value);
    }
  }

  ListLine line;
  uint32_t n, m;
  if (!ReadListLine(stdin, &line) || !ParseCounts(line, &n, &m)) {
    FailLine("bad number of vertices and/or faces.");
  }
  FILE* out = OpenOutput(argv[1]);
  if (out == nullptr) FailLine("file not stored.");
  PutZCPHeader(out, n, m);
  // A fault below leaves the file as far as it was written, header included.
  for (uint32_t i = 0; i < n; ++i) {
    float v[3];
    if (!ReadListLine(stdin, &line) || !ParseVertex(line, v)) FailLine("bad vertex.");
    PutZCPVertex(out, v);
  }
  for (uint32_t i = 0; i < m; ++i) {
    ZCPFace face;
    if (!ReadListLine(stdin, &line) || !ParseFace(line, n, colour, &face)) FailLine("bad face.");
    PutZCPFace(out, face);
  }
  if (!CloseOutput(out)) FailLine("file not stored.");
  return 0;
}
