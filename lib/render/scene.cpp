#include "render/scene.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/lines.h"
#include "common/numbers.h"
#include "common/program.h"
#include "gifwrite/sgif.h"
#include "mesh/colour.h"
#include "render/xyz.h"

namespace {

constexpr double kPi = 3.141592653589793;

// A five-bit colour channel c as the fraction c / 31.
constexpr auto kFraction = [] {
  std::array<double, 32> f{};
  for (int c = 0; c < 32; ++c) f[c] = c / 31.0;
  return f;
}();

double Gamma;     // gamma of the brightness curve, > 0
double exponent;  // 1 / Gamma (pow(s, 1) is s: no pow at all then)
double bias;      // brightness of a facet seen edge-on, 0..255
int background[3];
int foreground[3];  // a negative component: no box
double surface[3];  // colour of facets without one, as fractions 0..1

int width, height;
unsigned char** cellR;  // the picture: height rows of width bytes, top row first
unsigned char** cellG;
unsigned char** cellB;
int xL;                       // picture column of the renderer's column 0
int yB;                       // picture row of its row 0, the view's bottom row (rows run upward)
unsigned char pvR, pvG, pvB;  // the colour Plot writes
FILE* gif;

// A colour sample from a brightness: the integer part of v, within 0..255.
unsigned char Sample(double v) {
  return v >= 255 ? 255 : v >= 0 ? static_cast<unsigned char>(v) : 0;
}

// The paint of a facet whose normal makes the cosine s with the view.
void RGB(double s, double red, double green, double blue) {
  const double b = (exponent == 1 ? s : std::pow(s, exponent)) * (255 - bias) + bias;
  pvR = Sample(b * red + 0.5);
  pvG = Sample(b * green + 0.5);
  pvB = Sample(b * blue + 0.5);
}

unsigned char** NewPlane() {
  auto** rows = static_cast<unsigned char**>(std::malloc(height * sizeof(unsigned char*)));
  auto* cells = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(width) * height));
  if (rows == nullptr || cells == nullptr) FailLine("cell memory allocation error.");
  for (int r = 0; r < height; ++r) rows[r] = cells + static_cast<size_t>(r) * width;
  return rows;
}

// The words of an input line as numbers: up to four reals (atof) and a fifth word as
// an integer (atoi); returns how many words the line holds. A line whose first word
// begins with "#" is a comment and holds none: read as numbers, its words would be
// zeros and make a frame of their own.
int Fields(std::string_view text, double reals[4], int* integer) {
  std::string_view words[5];
  int n = SplitWords(text, words, 5);
  if (n > 0 && words[0].front() == '#') n = 0;
  for (int i = 0; i < 4; ++i) reals[i] = i < n ? ParseReal(std::string(words[i]).c_str()) : 0;
  *integer = n >= 5 ? ParseInt(std::string(words[4]).c_str()) : 0;
  return n;
}

// Fields of a view or rotation line; a long form asking for more than kMaxLineFrames
// frames prints the warning and counts as a line of no words (never taken).
int LineFields(std::string_view text, const char* warning, double reals[4], int* integer) {
  const int words = Fields(text, reals, integer);
  if (words >= 5 && *integer > kMaxLineFrames) {
    std::fputs(warning, stderr);
    return 0;
  }
  return words;
}

void ClearPicture() {
  for (int r = 0; r < height; ++r) {
    std::memset(cellR[r], background[0], width);
    std::memset(cellG[r], background[1], width);
    std::memset(cellB[r], background[2], width);
  }
}

}  // namespace

void CheckLook(char** words) {
  Gamma = RealArgument(words[0]);
  if (!(Gamma > 0)) FailLine("bad gamma.");
  exponent = 1 / Gamma;
  bias = RealArgument(words[1]);
  if (!InRange(bias, 0, 255)) FailLine("bad bias.");
  for (int i = 0; i < 3; ++i) {
    background[i] = WholeArgument(words[2 + i]);
    if (!InRange(background[i], 0, 255)) FailLine("bad background.");
  }
  for (int i = 0; i < 3; ++i) {
    foreground[i] = WholeArgument(words[5 + i]);
    if (foreground[i] > 255) FailLine("bad foreground.");
  }
  for (int i = 0; i < 3; ++i) {
    surface[i] = RealArgument(words[8 + i]) / 255;
    if (!InRange(surface[i], 0, 1)) FailLine("bad surface color.");
  }
}

Facet* ReadModel(const char* name) {
  FILE* stream = OpenInput(name);
  if (stream == nullptr) Fail("%s : file not found.\n", name);
  bool outOfMemory;
  STLReader end;
  Facet* list = ReadFacetList(stream, &outOfMemory, &end);
  CloseInput(stream);
  // A model cut short would be drawn with holes: better none at all.
  if (outOfMemory) FailLine("facet memory allocation error.");
  RequireSTLEnd(&end, name);
  if (list == nullptr) Fail("%s : file read error.\n", name);
  return list;
}

bool FacetIsFinite(const Facet* f) {
  return std::isfinite(f->x1) && std::isfinite(f->y1) && std::isfinite(f->z1) &&
         std::isfinite(f->x2) && std::isfinite(f->y2) && std::isfinite(f->z2) &&
         std::isfinite(f->x3) && std::isfinite(f->y3) && std::isfinite(f->z3);
}

void NewPicture(int w, int h) {
  width = w;
  height = h;
  cellR = NewPlane();
  cellG = NewPlane();
  cellB = NewPlane();
}

void OpenPicture(const char* name) {
  gif = OpenOutput(name);
  if (gif == nullptr) FailLine("GIF file not created.");
  InitStoreGIF(gif, width, height, nullptr, nullptr, nullptr);
}

unsigned char** PictureRows(int channel) {
  return channel == 0 ? cellR : channel == 1 ? cellG : cellB;
}

void PlaceView(int left, int bottom) {
  xL = left;
  yB = bottom;
}

void Paint(int red, int green, int blue) {
  pvR = static_cast<unsigned char>(red);
  pvG = static_cast<unsigned char>(green);
  pvB = static_cast<unsigned char>(blue);
}

void Plot(int column, int row, double, double, double) {
  const int c = xL + column, r = yB - row;
  if (c < 0 || c >= width || r < 0 || r >= height) return;
  cellR[r][c] = pvR;
  cellG[r][c] = pvG;
  cellB[r][c] = pvB;
}

void DrawFacet(double lon, double lat, double x1, double y1, double z1, double x2, double y2,
               double z2, double x3, double y3, double z3, int attribute) {
  double s;                                                                  // XYZSide's cosine
  if (!XYZFacing(lon, lat, x1, y1, z1, x2, y2, z2, x3, y3, z3, &s)) return;  // facing away
  const auto word = static_cast<uint16_t>(attribute);
  if (HasColour(word)) {
    RGB(s, kFraction[Red5(word)], kFraction[Green5(word)], kFraction[Blue5(word)]);
  } else {
    RGB(s, surface[0], surface[1], surface[2]);
  }
  XYZFill(x1, y1, z1, x2, y2, z2, x3, y3, z3, Plot);
}

bool ShowBox() { return foreground[0] >= 0 && foreground[1] >= 0 && foreground[2] >= 0; }

void DrawEdge(double x1, double y1, double z1, double x2, double y2, double z2) {
  Paint(foreground[0], foreground[1], foreground[2]);
  XYZDraw(x1, y1, z1, x2, y2, z2, Plot);
}

void DrawBox(double x0, double y0, double z0, double x1, double y1, double z1) {
  for (double z : {z0, z1}) {
    DrawEdge(x0, y0, z, x1, y0, z);
    DrawEdge(x1, y0, z, x1, y1, z);
    DrawEdge(x1, y1, z, x0, y1, z);
    DrawEdge(x0, y1, z, x0, y0, z);
  }
  DrawEdge(x0, y0, z0, x0, y0, z1);
  DrawEdge(x1, y0, z0, x1, y0, z1);
  DrawEdge(x1, y1, z0, x1, y1, z1);
  DrawEdge(x0, y1, z0, x0, y1, z1);
}

void BeginFrame(int Ni, int Nj, double lon, double lat, double xmin, double ymin, double zmin,
                double xmax, double ymax, double zmax) {
  ClearPicture();
  if (!XYZInit(Ni, Nj, lon, lat, xmin, ymin, zmin, xmax, ymax, zmax)) {
    FailLine("rendering memory allocation error.");
  }
}

void EndFrame() {
  XYZTerm();
  StoreGIF_RGB(gif, 0, 0, width, height, cellR, cellG, cellB);
}

void ClosePicture() { TermStoreGIF(gif); }

void DrawInputLines(LineFrames draw, const char* noFrame) {
  std::string line;
  bool drawn = false;
  while (ReadTextLine(stdin, &line)) drawn = draw(line) || drawn;
  // The file is still written, but a GIF without an image is one that few readers open.
  if (!drawn) std::fputs(noFrame, stderr);
}

bool ParseViewLine(std::string_view text, ViewLine* view) {
  double r[4];
  int n;
  const int words = LineFields(text, "bad view line (warning).\n", r, &n);
  if (words == 2) *view = {r[0], r[1], 0, 0, 1};
  if (words >= 5) *view = {r[0], r[1], r[2], r[3], n};
  return words == 2 || words >= 5;
}

// The two programs turn degrees into radians with different roundings, and each keeps
// its own: (x pi) / 180 rounds twice, x times the rounded factor once, and the two
// differ in the last bit for many whole angles (3 degrees is the first). The angle
// reaches the view's sines and cosines and through them every pixel's column, row and
// depth, so each program's pictures stay those of its own rounding.
double ViewAngle(double start, double step, int k) { return (k * step + start) * kPi / 180; }

bool ParseTurnLine(std::string_view text, TurnLine* turn) {
  double r[4];
  int n;
  const int words = LineFields(text, "bad rotation line (warning).\n", r, &n);
  if (words == 3) *turn = {r[0], r[1], r[2], 0, 1};
  if (words >= 5) *turn = {r[0], r[1], r[2], r[3], n};
  return words == 3 || words >= 5;
}

double TurnAngle(double start, double step, int k) { return (k * step + start) * kDegree; }
