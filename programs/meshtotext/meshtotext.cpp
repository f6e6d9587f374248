// meshtotext: prints an STL model (normally binary) as ASCII STL on standard output,
// with normals computed from the vertices, every number through one format ("%lf"
// unless a second argument gives another).
#include <cstdio>
#include <cstring>

#include "common/program.h"
#include "common/textout.h"
#include "common/userformat.h"
#include "mesh/stl.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " binary_STL {format}",
    "Prints an STL model (normally binary) as ASCII STL on standard output.",
    "binary_STL\tthe STL model read (\"-\": standard input)\n"
    "format\tthe printf format of every number, one of f e g a (default \"%lf\")\n"};

TextOut out{stdout};

// The number format: either fixed notation with a precision (the default "%lf" and
// the plain "%f", "%.3lf" forms), written with printf's exact digits but without
// printf, or a checked user format handed to snprintf.
const char* format = nullptr;  // null: fixed notation
int precision = 6;

constexpr int kMaxFixedPrecision = 60;  // what TextOut::Fixed takes

// True for "%f", "%lf", "%.Nf" and "%.Nlf" (N up to 60), setting the precision.
bool IsPlainFixed(const char* text) {
  if (*text++ != '%') return false;
  int p = 6;
  if (*text == '.') {
    ++text;
    p = 0;
    while (*text >= '0' && *text <= '9') {
      p = p * 10 + (*text++ - '0');
      if (p > kMaxFixedPrecision) return false;
    }
  }
  if (*text == 'l') ++text;
  if (std::strcmp(text, "f") != 0) return false;
  precision = p;
  return true;
}

void Number(double v) {
  if (format == nullptr) {
    out.Fixed(v, precision);
    return;
  }
  char text[256];
  const int n = std::snprintf(text, sizeof text, format, v);
  if (n >= 0 && static_cast<size_t>(n) < sizeof text) {
    out.Text({text, static_cast<size_t>(n)});
    return;
  }
  out.Flush();
  if (n < 0 || std::fprintf(stdout, format, v) < 0) Fail("output write error.\n");
}

void Numbers(const char* lead, double a, double b, double c) {
  out.Text(lead);
  Number(a);
  out.Char(' ');
  Number(b);
  out.Char(' ');
  Number(c);
  out.Char('\n');
}

}  // namespace

int main(int argc, char** argv) {
  StartSTLProgram(&argc, &argv, kProgram);
  if (argc != 2 && argc != 3) Usage(kProgram.usage);
  if (argc == 3 && !IsPlainFixed(argv[2])) {
    if (!IsNumberFormat(argv[2])) Fail("bad number format.\n");
    format = argv[2];
  }
  FILE* stream = OpenInput(argv[1]);
  if (stream == nullptr) Fail("%s : file not found.\n", argv[1]);
  STLReader reader;
  if (SetUpSTL(&reader, stream) != 1) Fail("%s : STL header read error.\n", argv[1]);
  if (reader.kind == kSTLAscii)
    std::fprintf(stderr, "%s : just an ASCII STL (warning).\n", argv[1]);

  out.Text("solid\n");
  float v[9];
  while (ScanSTLCorners(&reader, v) == 1) {
    double n[3];  // CalcNormal of the vertices as delivered
    CalcNormal(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], &n[0], &n[1], &n[2]);
    Numbers("facet normal ", n[0], n[1], n[2]);
    out.Text("outer loop\n");
    for (int k = 0; k < 9; k += 3) Numbers("vertex ", v[k], v[k + 1], v[k + 2]);
    out.Text("endloop\nendfacet\n");
  }
  // A model cut short keeps the facets printed, without "endsolid".
  if (!reader.failed) out.Text("endsolid\n");
  out.Flush();
  RequireSTLEnd(&reader, argv[1]);
  CloseInput(stream);
  FinishOutput();
  return 0;
}
