// meshtally: a histogram of the facet areas of one STL file: how many facets fall into
// each area bin of a given width, over all facets, the facets carrying one attribute
// word (flag), or the facets of one colour (R G B).
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <new>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/numbers.h"
#include "common/program.h"
#include "common/textout.h"
#include "mesh/colour.h"
#include "mesh/stl.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " STL_file {flag|(R G B)} bin_size",
    "Prints a histogram of the facet areas of an STL model: the facets in each area bin.",
    "STL_file\tthe STL model read, ASCII or binary (\"-\": standard input)\n"
    "flag\tcount only the facets of this attribute word, 0 to 65535\n"
    "R G B\tcount only the facets of this colour, 0 to 255 each\n"
    "bin_size\tthe width of an area bin, above 0\n"};

// The bins that hold facets: bin index -> count. Only bins that a facet falls into
// exist, so memory grows with the facets read, not with the largest area over the
// bin width; they are sorted by index for printing.
std::unordered_map<uint32_t, int32_t> bins;

// The largest bin index taken: indexes and counts are printed as 32-bit numbers.
constexpr double kMaxBin = INT_MAX;

void Count(uint32_t index) {
  try {
    int32_t& count = bins[index];
    if (count < INT32_MAX) ++count;
  } catch (const std::bad_alloc&) {
    Fail("bin memory allocation error.\n");
  }
}

// Twice the facet's area: the length of the cross product of its edges, each edge
// component rounded to a float.
double DoubleArea(const float v[9]) {
  const float ax = v[3] - v[0], ay = v[4] - v[1], az = v[5] - v[2];
  const float bx = v[6] - v[0], by = v[7] - v[1], bz = v[8] - v[2];
  const double cx = double{ay} * bz - double{az} * by;
  const double cy = double{az} * bx - double{ax} * bz;
  const double cz = double{ax} * by - double{ay} * bx;
  return std::sqrt(cx * cx + cy * cy + cz * cz);
}

}  // namespace

int main(int argc, char** argv) {
  StartSTLProgram(&argc, &argv, kProgram);
  if (argc != 3 && argc != 4 && argc != 6) Usage(kProgram.usage);
  FILE* stream = OpenInput(argv[1]);
  if (stream == nullptr) Fail("%s : STL file not found.\n", argv[1]);
  STLReader reader;
  if (SetUpSTL(&reader, stream) != 1) Fail("%s : STL header read error.\n", argv[1]);

  const bool select = argc != 3;
  uint16_t word = 0;  // the attribute word counted, with select
  if (argc == 4) {
    const int flag = WholeArgument(argv[2]);
    if (!InRange(flag, 0, 65535)) Fail("bad flag.\n");
    word = static_cast<uint16_t>(flag);
  } else if (argc == 6) {
    int rgb[3];
    for (int i = 0; i < 3; ++i) {
      const double channel = RealArgument(argv[2 + i]);
      if (!InRange(channel, 0, 255)) Fail("bad color.\n");
      rgb[i] = RoundChannel(channel);
    }
    word = ColourWord(rgb[0], rgb[1], rgb[2]);
  }
  const double size = RealArgument(argv[argc - 1]);
  if (!(size > 0)) Fail("bad bin size.\n");

  float v[9];
  int16_t attribute;
  while (ScanSTL(&reader, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8],
                 &attribute) == 1) {
    if (select && static_cast<uint16_t>(attribute) != word) continue;
    // The area over the bin width, rounded to the nearest bin, halves up. A facet with
    // a not-a-number coordinate has no bin and is not counted.
    const double bin = std::floor(DoubleArea(v) / (2 * size) + 0.5);
    if (std::isnan(bin)) continue;
    if (bin > kMaxBin) Fail("bin memory allocation error.\n");
    Count(static_cast<uint32_t>(bin));
  }
  RequireSTLEnd(&reader, argv[1]);
  CloseInput(stream);

  std::vector<std::pair<uint32_t, int32_t>> sorted;
  try {
    sorted.assign(bins.begin(), bins.end());
  } catch (const std::bad_alloc&) {
    Fail("bin memory allocation error.\n");
  }
  std::sort(sorted.begin(), sorted.end());

  TextOut out{stdout};
  for (const auto& [j, count] : sorted) {
    const double bin = static_cast<double>(j);
    out.Int(static_cast<long long>(j));
    out.Char('\t');
    out.Fixed(j == 0 ? 0.0 : (bin - 0.5) * size);
    out.Char('\t');
    out.Fixed((bin + 0.5) * size);
    out.Text("\t\t");
    out.Int(count);
    out.Char('\n');
  }
  out.Flush();
  FinishOutput();
  return 0;
}
