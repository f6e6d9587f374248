// Fuzz target: the standard input lines of meshorbit (view lines) or, built with
// TURN_LINES, of meshturn (rotation lines). Each accepted line draws its first frames
// of a small scene at the angles it gives, whatever they are (huge, infinite, NaN).
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/lines.h"
#include "render/scene.h"
#include "render/xyz.h"
#include "support.h"

namespace {

constexpr int kSide = 16;

int Pixels(double extent) {
  const double n = std::ceil(8 * extent);
  return n >= kSide ? kSide : n >= 1 ? static_cast<int>(n) : 1;
}

void Draw(double lon, double lat) {
  double w, h;
  XYZWidth(lon, lat, -1, -1, -1, 1, 1, 1, &w, &h);
  if (XYZInit(Pixels(w), Pixels(h), lon, lat, -1, -1, -1, 1, 1, 1) != 1) std::abort();
  if (XYZSide(lon, lat, -1, -1, 0, 1, -1, 0, 0, 1, 1) >= 0) {
    XYZFill(-1, -1, 0, 1, -1, 0, 0, 1, 1, nullptr);
  }
  XYZDraw(-1, -1, -1, 1, 1, 1, nullptr);
  XYZPlot(1, -1, 1, nullptr);
  XYZShade(lon, lat, [](int, int, double s) {
    if (!(s >= 0 && s <= 1 + 1e-12)) std::abort();  // a cosine, but for rounding
  });
  XYZTerm();
}

// The words of a line: the parsers take lines with the right number of words only, and
// a line whose first word begins with "#" is a comment that holds none.
int Words(std::string_view line) {
  std::string_view w[1];
  const int n = SplitWords(line, w, 1);
  return n > 0 && w[0].front() == '#' ? 0 : n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FILE* stream = MemoryStream(data, size);
  if (stream == nullptr) return 0;
  std::string line;
  int drawn = 0;
  while (ReadTextLine(stream, &line)) {
    const int words = Words(line);
#if defined(TURN_LINES)
    TurnLine t;
    const bool taken = ParseTurnLine(line, &t);
    // A line of the right word count is taken unless its frame count is too large.
    if (taken ? !(words == 3 || words >= 5) : words == 3) std::abort();
    if (!taken) continue;
    for (int k = 0; k < t.frames && k < 2 && drawn < 8; ++k, ++drawn) {
      Draw(t.lon * kDegree, TurnAngle(t.angle, t.step, k));
    }
#else
    ViewLine v;
    const bool taken = ParseViewLine(line, &v);
    // A line of the right word count is taken unless its frame count is too large.
    if (taken ? !(words == 2 || words >= 5) : words == 2) std::abort();
    if (!taken) continue;
    for (int k = 0; k < v.frames && k < 2 && drawn < 8; ++k, ++drawn) {
      Draw(ViewAngle(v.lon, v.dlon, k), ViewAngle(v.lat, v.dlat, k));
    }
#endif
  }
  std::fclose(stream);
  return 0;
}
