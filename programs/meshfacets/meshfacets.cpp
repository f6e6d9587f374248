// meshfacets: facet count and total area per attribute word of one STL file.
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "common/program.h"
#include "mesh/colour.h"
#include "mesh/stl.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " STL_file",
    "Prints the facet count and total area of each attribute word (colour) of an STL model.",
    "STL_file\tthe STL model read, ASCII or binary (\"-\": standard input)\n"};

constexpr int kWords = 65536;

// Indexed by the attribute word taken as unsigned; static, since together they
// take 786,432 bytes.
int32_t counts[kWords];
double areas[kWords];

}  // namespace

int main(int argc, char** argv) {
  StartSTLProgram(&argc, &argv, kProgram);
  if (argc != 2) Usage(kProgram.usage);
  FILE* stream = OpenInput(argv[1]);
  if (stream == nullptr) Fail("%s : STL file not found.\n", argv[1]);
  STLReader reader;
  if (SetUpSTL(&reader, stream) != 1) Fail("%s : STL header read error.\n", argv[1]);

  float x1, y1, z1, x2, y2, z2, x3, y3, z3;
  int16_t attribute;
  while (ScanSTL(&reader, &x1, &y1, &z1, &x2, &y2, &z2, &x3, &y3, &z3, &attribute) == 1) {
    const uint16_t word = static_cast<uint16_t>(attribute);
    const float ax = x2 - x1, ay = y2 - y1, az = z2 - z1;
    const float bx = x3 - x1, by = y3 - y1, bz = z3 - z1;
    const double cx = double{ay} * bz - double{az} * by;
    const double cy = double{az} * bx - double{ax} * bz;
    const double cz = double{ax} * by - double{ay} * bx;
    ++counts[word];
    areas[word] += std::sqrt(cx * cx + cy * cy + cz * cz) * 0.5;
  }
  RequireSTLEnd(&reader, argv[1]);

  for (int word = 0; word < kWords; ++word) {
    if (counts[word] == 0) continue;
    std::printf("%d\t", word);
    if (HasColour(static_cast<uint16_t>(word))) {
      std::printf("%d\t%d\t%d\t", ExpandChannel(Red5(word)), ExpandChannel(Green5(word)),
                  ExpandChannel(Blue5(word)));
    }
    std::printf("%d\t%lf\n", counts[word], areas[word]);
  }
  CloseInput(stream);
  FinishOutput();
  return 0;
}
