// listtocply: builds a ZCP file from text on standard input: a line "N M", N lines
// "x y z", then M lines "i j k" with an optional grey level or red, green and blue.
// Faces without a colour take the default: white, or R G B from the command line.
#include <cstdint>
#include <cstdio>
#include <new>
#include <vector>

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

// "LINE : bad vertex." or "LINE : bad face.", LINE the input line at fault.
[[noreturn]] void BadLine(const ListLine& line, const char* what) {
  Fail("%llu : bad %s.\n", static_cast<unsigned long long>(line.number), what);
}

// One record more; "vertex memory allocation error." or "face memory allocation error."
// when memory runs out.
template <size_t size>
void Append(std::vector<unsigned char>* records, const unsigned char (&record)[size],
            const char* what) {
  try {
    records->insert(records->end(), record, record + size);
  } catch (const std::bad_alloc&) {
    Fail("%s memory allocation error.\n", what);
  }
}

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
  // The records are gathered first and the file written only once the lists have been
  // read whole, so that a fault in them leaves no file that looks like a model, and
  // nothing on standard output.
  std::vector<unsigned char> vertices, faces;
  for (uint32_t i = 0; i < n; ++i) {
    float v[3];
    if (!ReadListLine(stdin, &line) || !ParseVertex(line, v)) BadLine(line, "vertex");
    unsigned char record[kZCPVertexSize];
    PackZCPVertex(record, v);
    Append(&vertices, record, "vertex");
  }
  for (uint32_t i = 0; i < m; ++i) {
    ZCPFace face;
    if (!ReadListLine(stdin, &line) || !ParseFace(line, n, colour, &face)) BadLine(line, "face");
    unsigned char record[kZCPFaceSize];
    PackZCPFace(record, face);
    Append(&faces, record, "face");
  }
  FILE* out = OpenOutput(argv[1]);
  if (out == nullptr) FailLine("file not stored.");
  PutZCPHeader(out, n, m);
  std::fwrite(vertices.data(), 1, vertices.size(), out);
  std::fwrite(faces.data(), 1, faces.size(), out);
  if (!CloseOutput(out)) FailLine("file not stored.");
  return 0;
}
