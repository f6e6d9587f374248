// meshslice: closed STL models to a voxel grid, written as a stack of bilevel TIFF
// files, one a slice along z. A voxel is solid when its centre lies inside a model:
// per voxel row (the line y = j + 0.5, z = i + 0.5 in grid units, running along x)
// the facets it crosses are collected as entries (normal against x) and exits
// (normal along x), and the columns between each entry and its exit are filled.
// Several files give the union of their solids.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <string>

#include "common/numbers.h"
#include "common/program.h"
#include "common/textout.h"
#include "mesh/stl.h"
#include "tiffwrite/sif.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " STL_files xO yO zO Sx Sy Sz Nx Ny Nz directory",
    "Slices closed STL models into a voxel grid, written as bilevel TIFF files, one a slice along "
    "z.",
    "STL_files\tthe closed STL models read (\"-\": standard input); their solids are joined\n"
    "xO yO zO\tthe corner of the grid, in model units\n"
    "Sx Sy Sz\tthe size of a voxel along x, y and z, above 0\n"
    "Nx Ny Nz\tthe number of voxels along x, y and z, 1 or more\n"
    "directory\tthe folder the slices are written to, numbered from 0 (\"07.tif\")\n"};
constexpr int kGridArguments = 10;  // xO yO zO Sx Sy Sz Nx Ny Nz directory

// A crossing is the x grid coordinate of the point where a row's centre line meets a
// facet, in fixed point with 15 fraction bits. 64 bits hold any model and grid;
// values beyond +-2^62 (far outside any grid) are clamped there.
constexpr double kFixedOne = 32768.0;
constexpr double kFixedLimit = 0x1p62;

// Entries and exits of every cell of one file, in one array. The key orders them by
// slice, then row, then entries before exits: key = (i * Ny + j) * 2 + kind.
struct Crossing {
  uint64_t key;
  int64_t value;
};
constexpr uint64_t kEntry = 0;  // facet normal against x (J < 0)
constexpr uint64_t kExit = 1;   // facet normal along x (J > 0)
constexpr size_t kFirstCapacity = 4096;

struct CrossingList {
  Crossing* items = nullptr;
  size_t count = 0;
  size_t capacity = 0;
};

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

// The grid and the occupancy of every voxel, one bit each: Nz slices of Ny rows of
// rowBytes bytes; column k is bit 7 - k % 8 of byte k / 8.
struct Grid {
  double origin[3];  // xO, yO, zO
  double size[3];    // Sx, Sy, Sz
  int n[3];          // Nx, Ny, Nz
  size_t rowBytes;
  std::unique_ptr<unsigned char[], FreeDeleter> bits;
  CrossingList crossings;                          // of the file being read
  TextOut* report;                                 // where inconsistent cells are printed
  std::unique_ptr<uint16_t*[], FreeDeleter> rows;  // the output rows (AllocateRows)
  std::unique_ptr<uint16_t[], FreeDeleter> samples;
};

// Reports of inconsistent cells; flushed at exit too, so that what was reported
// before a fatal error is kept.
TextOut report{stdout};

// Product of three sizes, false when it passes what one allocation can hold.
bool SizeProduct(uint64_t a, uint64_t b, uint64_t c, size_t* product) {
  constexpr uint64_t kMax = PTRDIFF_MAX;
  if (a != 0 && b > kMax / a) return false;
  if (a * b != 0 && c > kMax / (a * b)) return false;
  *product = static_cast<size_t>(a * b * c);
  return true;
}

// Checks the counts and allocates the occupancy bits, all clear.
void AllocateWalls(Grid* g) {
  size_t total;
  for (int n : g->n) {
    if (n < 1) FailLine("bad pixel number.");
  }
  g->rowBytes = (static_cast<size_t>(g->n[0]) + 7) / 8;
  // The walls and the slice picture written at the end must both be sizeable.
  size_t slice;
  if (!SizeProduct(g->rowBytes, static_cast<uint64_t>(g->n[1]), static_cast<uint64_t>(g->n[2]),
                   &total) ||
      !SizeProduct(static_cast<uint64_t>(g->n[0]) + sizeof(uint16_t*),
                   static_cast<uint64_t>(g->n[1]), sizeof(uint16_t), &slice)) {
    FailLine("bad pixel number.");
  }
  g->bits.reset(static_cast<unsigned char*>(std::calloc(total, 1)));
  if (g->bits == nullptr) FailLine("wall memory allocation error.");

  // The crossings of one file, for all Nz slices held at once: a closed surface meets
  // the centre line of every row it passes through in an entry and an exit, so two a
  // row cell are reserved before any facet is read. A grid whose crossings could not
  // be held stops here, not after growing until the machine runs out; the list grows
  // past this only for a model whose rows cross it more often.
  size_t crossings;
  if (!SizeProduct(2 * sizeof(Crossing), static_cast<uint64_t>(g->n[1]),
                   static_cast<uint64_t>(g->n[2]), &crossings)) {
    FailLine("wall memory allocation error.");
  }
  void* pool = std::malloc(crossings);
  if (pool == nullptr) FailLine("wall memory allocation error.");
  g->crossings.items = static_cast<Crossing*>(pool);
  g->crossings.count = 0;
  g->crossings.capacity = crossings / sizeof(Crossing);
}

// The output rows, reused for every slice: Ny rows of Nx 16-bit samples, taken before
// any facet is read.
void AllocateRows(Grid* g) {
  const size_t nx = static_cast<size_t>(g->n[0]);
  const size_t ny = static_cast<size_t>(g->n[1]);
  g->rows.reset(static_cast<uint16_t**>(std::malloc(ny * sizeof(uint16_t*))));
  g->samples.reset(static_cast<uint16_t*>(std::malloc(ny * nx * sizeof(uint16_t))));
  if (g->rows == nullptr || g->samples == nullptr) FailLine("cell memory allocation error.");
  for (size_t j = 0; j < ny; ++j) g->rows[j] = g->samples.get() + j * nx;
}

// Lowest and highest voxel index of an axis whose centre lies within [min, max] of
// three grid coordinates, clamped to 0 .. n - 1; non-zero when that range is not
// empty. Clamping is done before converting, so coordinates far outside give no
// overflow.
int Extent(double a, double b, double c, int n, int* first, int* last) {
  const double lo = std::min({a, b, c});
  const double hi = std::max({a, b, c});
  const double from = std::max(0.0, std::ceil(lo - 0.5));
  const double to = std::min(n - 1.0, std::floor(hi + 0.5) - 1.0);
  *first = ToInt(std::min(from, static_cast<double>(n)));
  *last = ToInt(std::max(to, -1.0));
  return to >= from;
}

// Releases the crossings' memory once every model is sliced (the slices are written
// from the walls alone), and in the fuzz target after each grid.
void Free(CrossingList* list) {
  std::free(list->items);
  *list = CrossingList{};
}

void Append(CrossingList* list, uint64_t key, int64_t value) {
  if (list->count == list->capacity) {
    const size_t capacity = list->capacity == 0 ? kFirstCapacity : 2 * list->capacity;
    void* grown = capacity > PTRDIFF_MAX / sizeof(Crossing)
                      ? nullptr
                      : std::realloc(list->items, capacity * sizeof(Crossing));
    if (grown == nullptr) FailLine("edge memory allocation error.");
    list->items = static_cast<Crossing*>(grown);
    list->capacity = capacity;
  }
  list->items[list->count++] = {key, value};
}

// One facet: every row centre line of its bounding range that meets it (edges and
// vertices included) gives a crossing in the entry or exit list of its cell.
void AddFacet(Grid* g, const float v[9]) {
  double x[3], y[3], z[3];
  for (int m = 0; m < 3; ++m) {
    x[m] = (v[3 * m] - g->origin[0]) / g->size[0];
    y[m] = (v[3 * m + 1] - g->origin[1]) / g->size[1];
    z[m] = (v[3 * m + 2] - g->origin[2]) / g->size[2];
    if (!std::isfinite(x[m]) || !std::isfinite(y[m]) || !std::isfinite(z[m])) return;
  }
  int i0, i1, j0, j1;
  if (!Extent(z[0], z[1], z[2], g->n[2], &i0, &i1)) return;
  if (!Extent(y[0], y[1], y[2], g->n[1], &j0, &j1)) return;

  const double dx1 = x[1] - x[0], dx2 = x[2] - x[0];
  const double dy1 = y[1] - y[0], dy2 = y[2] - y[0];
  const double dz1 = z[1] - z[0], dz2 = z[2] - z[0];
  // x component of the normal in grid units; 0 for a facet parallel to x.
  const double J = dy1 * dz2 - dy2 * dz1;
  if (J == 0 || !std::isfinite(J)) return;
  const uint64_t kind = J < 0 ? kEntry : kExit;
  // The facet's plane as x = x1 + ay (y - y1) + az (z - z1).
  const double ay = (dz2 * dx1 - dz1 * dx2) / J;
  const double az = (dy1 * dx2 - dy2 * dx1) / J;

  const uint64_t rows = static_cast<uint64_t>(g->n[1]);
  for (int i = i0; i <= i1; ++i) {
    const double Z = i + 0.5 - z[0];
    for (int j = j0; j <= j1; ++j) {
      const double Y = j + 0.5 - y[0];
      const double s = dz2 * Y - dy2 * Z;
      const double t = dy1 * Z - dz1 * Y;
      if (!((s >= 0 && t >= 0 && s + t <= J) || (s <= 0 && t <= 0 && s + t >= J))) continue;
      const double fixed = std::floor((x[0] + ay * Y + az * Z) * kFixedOne + 0.5);
      if (std::isnan(fixed)) continue;  // the plane overflowed a double
      const double clamped = std::clamp(fixed, -kFixedLimit, kFixedLimit);
      const uint64_t cell = static_cast<uint64_t>(i) * rows + static_cast<uint64_t>(j);
      Append(&g->crossings, cell * 2 + kind, static_cast<int64_t>(clamped));
    }
  }
}

// "\t%lf" for every crossing of one list, then a line feed.
void Print(TextOut* out, std::span<const Crossing> list) {
  for (const Crossing& c : list) {
    out->Char('\t');
    out->Fixed(static_cast<double>(c.value) / kFixedOne);
  }
  out->Char('\n');
}

// Sets the columns from through to (inclusive) of one occupancy row.
void SetColumns(unsigned char* row, int64_t from, int64_t to) {
  for (int64_t k = from; k <= to; ++k) {
    if (k % 8 == 0 && k + 7 <= to) {
      const int64_t whole = (to + 1 - k) / 8;
      std::memset(row + k / 8, 0xFF, static_cast<size_t>(whole));
      k += whole * 8 - 1;
      continue;
    }
    row[k / 8] |= static_cast<unsigned char>(0x80 >> (k % 8));
  }
}

// One cell's entries and exits, each ascending without repeats. Consistent lists
// (as many entries as exits, each entry at or before its exit) fill the columns
// whose centres lie within a pair; others are reported and change nothing.
void ResolveCell(Grid* g, uint64_t cell, std::span<const Crossing> entries,
                 std::span<const Crossing> exits) {
  bool consistent = entries.size() == exits.size();
  for (size_t p = 0; consistent && p < entries.size(); ++p) {
    consistent = entries[p].value <= exits[p].value;
  }
  const uint64_t rows = static_cast<uint64_t>(g->n[1]);
  if (!consistent) {
    g->report->Int(static_cast<long long>(cell / rows));
    g->report->Char('\t');
    g->report->Int(static_cast<long long>(cell % rows));
    g->report->Char('\n');
    Print(g->report, entries);
    Print(g->report, exits);
    return;
  }
  const double nx = g->n[0];
  unsigned char* row = g->bits.get() + cell * g->rowBytes;
  for (size_t p = 0; p < entries.size(); ++p) {
    const double e = static_cast<double>(entries[p].value) / kFixedOne;
    const double x = static_cast<double>(exits[p].value) / kFixedOne;
    if (e > nx - 0.5) break;
    if (x < 0.5) continue;
    const double from = std::max(0.0, std::ceil(e - 0.5));
    const double to = std::min(nx - 1, std::floor(x + 0.5) - 1);
    SetColumns(row, static_cast<int64_t>(from), static_cast<int64_t>(to));
  }
}

// After a file: every cell with crossings, slices and rows ascending, then the
// crossings are emptied (their memory is kept for the next file). Equal values of one list count
// once (two facets sharing the edge a centre line passes through).
void Resolve(Grid* g) {
  CrossingList* list = &g->crossings;
  std::sort(list->items, list->items + list->count, [](const Crossing& a, const Crossing& b) {
    return a.key != b.key ? a.key < b.key : a.value < b.value;
  });
  Crossing* end = std::unique(
      list->items, list->items + list->count,
      [](const Crossing& a, const Crossing& b) { return a.key == b.key && a.value == b.value; });
  for (Crossing* c = list->items; c < end;) {
    const uint64_t cell = c->key / 2;
    Crossing* entries = c;
    while (c < end && c->key == cell * 2 + kEntry) ++c;
    Crossing* exits = c;
    while (c < end && c->key == cell * 2 + kExit) ++c;
    ResolveCell(g, cell, {entries, exits}, {exits, c});
  }
  list->count = 0;
}

// Every facet of one open STL stream. A model cut short ends the program before its
// cells are resolved and before any slice is written.
void SliceStream(Grid* g, STLReader* reader, const char* name) {
  float v[9];
  while (ScanSTLCorners(reader, v) == 1) {
    AddFacet(g, v);
  }
  RequireSTLEnd(reader, name);
  Resolve(g);
}

void SliceFile(Grid* g, const char* name) {
  FILE* stream = OpenInput(name);
  if (stream == nullptr) Fail("%s : STL file not found.\n", name);
  STLReader reader;
  if (SetUpSTL(&reader, stream) != 1) Fail("%s : STL header read error.\n", name);
  SliceStream(g, &reader, name);
  CloseInput(stream);
}

// The samples of slice i, one row per y index: 1 for a solid voxel, 0 for an empty one.
void FillSlice(const Grid* g, int i, uint16_t* const* rows) {
  const size_t nx = static_cast<size_t>(g->n[0]);
  for (int j = 0; j < g->n[1]; ++j) {
    const unsigned char* bits =
        g->bits.get() +
        (static_cast<size_t>(i) * static_cast<size_t>(g->n[1]) + static_cast<size_t>(j)) *
            g->rowBytes;
    uint16_t* samples = rows[j];
    for (size_t k = 0; k < nx; ++k) samples[k] = (bits[k / 8] >> (7 - k % 8)) & 1;
  }
}

// Decimal digits of the highest slice number (at least one).
int SliceDigits(int count) {
  int digits = 1;
  for (int64_t p = 10; p < count; p *= 10) ++digits;
  return digits;
}

// "<directory>/<number>.tif", the number zero-padded to the given digits.
std::string SliceName(const std::string& directory, int number, int digits) {
  std::string text = std::to_string(number);
  if (static_cast<int>(text.size()) < digits)
    text.insert(0, static_cast<size_t>(digits) - text.size(), '0');
  return directory + "/" + text + ".tif";
}

// The description of every slice, in the form ImageJ writes for one image: its
// version, the unit (a model unit has no name) and the slice spacing, the voxel size
// along z, in the fewest digits that give it back.
std::string SliceDescription(double spacing) {
  char number[32];
  const auto end = std::to_chars(number, number + sizeof number, spacing).ptr;
  return "ImageJ=1.11a\nunit=unit\nspacing=" + std::string(number, end) + "\n";
}

// Every slice carries the voxel size: along x and y as its resolution, voxels per model
// unit, and along z in its description.
void WriteSlices(const Grid* g, const std::string& directory, const InputFiles& models) {
  const int digits = SliceDigits(g->n[2]);
  const std::string description = SliceDescription(g->size[2]);
  const TiffResolution resolution{1 / g->size[0], 1 / g->size[1], kTiffNoUnit};
  for (int i = 0; i < g->n[2]; ++i) {
    FillSlice(g, i, g->rows.get());
    const std::string name = SliceName(directory, i, digits);
    CheckOutputFile(models, name.c_str());
    StoreImageFile(name.c_str(), g->n[0], g->n[1], 1, g->rows.get(), description.c_str(),
                   &resolution);
  }
}

}  // namespace

int main(int argc, char** argv) {
  StartSTLProgram(&argc, &argv, kProgram);
  if (argc - 1 < 1 + kGridArguments) Usage(kProgram.usage);
  char** grid = argv + argc - kGridArguments;
  Grid g{};
  g.report = &report;
  for (int a = 0; a < 3; ++a) g.origin[a] = RealArgument(grid[a]);
  for (int a = 0; a < 3; ++a) {
    g.size[a] = RealArgument(grid[3 + a]);
    if (!(g.size[a] > 0)) FailLine("bad pixel size.");  // not-a-number fails too
  }
  for (int a = 0; a < 3; ++a) g.n[a] = WholeArgument(grid[6 + a]);
  InputFiles models;
  for (char** name = argv + 1; name < grid; ++name) NoteInput(&models, *name);
  AllocateWalls(&g);
  AllocateRows(&g);

  for (char** name = argv + 1; name < grid; ++name) SliceFile(&g, *name);
  Free(&g.crossings);
  report.Flush();

  WriteSlices(&g, grid[9], models);
  FinishOutput();
  return 0;
}
