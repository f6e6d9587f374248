// meshtotext: prints an STL model (normally binary) as ASCII STL on standard output,
// with normals computed from the vertices, every number through one format ("%lf"
// unless a second argument gives another).
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "common/numbers.h"
#include "common/program.h"
#include "common/textout.h"
#include "mesh/stl.h"

namespace {

TextOut out{stdout};

// The number format: either fixed notation with a precision (the default "%lf" and
// the plain "%f", "%.3lf" forms), written with printf's exact digits but without
// printf, or a checked user format handed to snprintf.
const char* format = nullptr;  // null: fixed notation
int precision = 6;

constexpr std::string_view kConversions = "fFeEgGaA";
constexpr int kMaxFixedPrecision = 60;  // what TextOut::Fixed takes
constexpr long long kFieldLimit = INT_MAX - 400;

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

// A format the grammar allows may still ask for more than printf can count (its
// result is an int): the width, the precision and the longest number ("%f" of
// -DBL_MAX, 317 characters) must fit in that range together.
bool Printable(const char* text) {
  const char* p = text;
  while ((p = std::strchr(p, '%')) != nullptr && p[1] == '%') p += 2;
  long long field[2] = {0, 0};  // width, precision
  int which = 0;
  for (++p; *p != '\0'; ++p) {
    if (*p == '.') {
      which = 1;
    } else if (*p >= '0' && *p <= '9') {
      field[which] = std::min(field[which] * 10 + (*p - '0'), kFieldLimit);
    } else if (std::strchr("-+ #", *p) == nullptr) {
      break;
    }
  }
  return field[0] + field[1] < kFieldLimit;
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
  if (argc != 2 && argc != 3) Usage("usage : meshtotext binary_STL {format}");
  if (argc == 3 && !IsPlainFixed(argv[2])) {
    if (!IsFormat(argv[2], kConversions, true) || !Printable(argv[2])) Fail("bad number format.\n");
    format = argv[2];
  }
  FILE* stream = OpenInput(argv[1]);
  if (stream == nullptr) Fail("%s : file not found.\n", argv[1]);
  STLReader reader;
  if (SetUpSTL(&reader, stream) != 1) Fail("%s : STL header read error.\n", argv[1]);
  if (reader.kind == kSTLAscii) std::fprintf(stderr, "%s : just an ASCII STL (warning).\n", argv[1]);

  out.Text("solid\n");
  float v[9];
  while (ScanSTL(&reader, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8]) == 1) {
    double nx, ny, nz;
    CalcNormal(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], &nx, &ny, &nz);
    Numbers("facet normal ", nx, ny, nz);
    out.Text("outer loop\n");
    for (int k = 0; k < 9; k += 3) Numbers("vertex ", v[k], v[k + 1], v[k + 2]);
    out.Text("endloop\nendfacet\n");
  }
  out.Text("endsolid\n");
  out.Flush();
  CloseInput(stream);
  FinishOutput();
  return 0;
}
