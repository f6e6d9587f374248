// meshtocply: converts an STL model (ASCII or binary) into a ZCP file, storing each
// distinct point once. Facets become faces in file order, coloured by their attribute
// word or, without one, by the default colour (white, or R G B from the command line).
//
// Vertices are numbered by a walk over 4096 buckets chosen from the coordinate bytes,
// each bucket a chain with the most recently created point first; that walk fixes the
// order of the vertex block. Finding an existing point goes through a separate hash
// map, so a lookup never walks a long chain.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "common/program.h"
#include "mesh/stl.h"
#include "zcp/zcp.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " STL {R G B} ZCP",
    "Converts an STL model into a ZCP file, each distinct point stored once.",
    "STL\tthe STL model read, ASCII or binary (\"-\": standard input)\n"
    "R G B\tthe colour of facets without one, 0 to 255 each (else white)\n"
    "ZCP\tthe ZCP file written (\"-\": standard output)\n"};

constexpr int kBuckets = 16 * 16 * 16;
constexpr uint32_t kNone = UINT32_MAX;  // end of a chain, an empty map slot
constexpr unsigned char kWhite[3] = {255, 255, 255};

struct VertexEntry {
  float x, y, z;
  uint32_t next;   // the next entry of the same bucket, or kNone
  uint32_t index;  // the position in the vertex block, set by the numbering walk
};

struct FaceEntry {
  uint32_t corner[3];  // entries of the three corners, in the order read
  int16_t attribute;
};

std::vector<VertexEntry> vertices;
uint32_t head[kBuckets];
// Open addressing over the entries (kNone = free slot); a power of two in size, at
// most half full. Points with a not-a-number coordinate equal nothing and stay out.
std::vector<uint32_t> slots;
uint32_t used = 0;

// The sum of the float's four bytes, modulo 16: the same on hosts of either byte order.
int Hash(const float* value) {
  unsigned char b[4];
  std::memcpy(b, value, 4);
  return (b[0] + b[1] + b[2] + b[3]) & 15;
}

// Equal floats have equal bits, except that -0 equals +0.
uint32_t Bits(float v) {
  if (v == 0.0f) return 0;
  uint32_t bits;
  std::memcpy(&bits, &v, 4);
  return bits;
}

uint64_t Mix(float x, float y, float z) {
  uint64_t h = Bits(x) * 0x9E3779B97F4A7C15ull;
  h = (h ^ (h >> 29) ^ Bits(y)) * 0xBF58476D1CE4E5B9ull;
  h = (h ^ (h >> 32) ^ Bits(z)) * 0x94D049BB133111EBull;
  return h ^ (h >> 31);
}

bool Same(const VertexEntry& e, float x, float y, float z) {
  return e.x == x && e.y == y && e.z == z;
}

void Grow() {
  std::vector<uint32_t> bigger(slots.empty() ? 1024 : slots.size() * 2, kNone);
  const size_t mask = bigger.size() - 1;
  for (uint32_t id : slots) {
    if (id == kNone) continue;
    const VertexEntry& e = vertices[id];
    size_t s = Mix(e.x, e.y, e.z) & mask;
    while (bigger[s] != kNone) s = (s + 1) & mask;
    bigger[s] = id;
  }
  slots.swap(bigger);
}

// The entry of point (x, y, z), created when the point is new.
uint32_t Register(double dx, double dy, double dz) {
  const float x = static_cast<float>(dx), y = static_cast<float>(dy), z = static_cast<float>(dz);
  const bool comparable = !std::isnan(x) && !std::isnan(y) && !std::isnan(z);
  size_t slot = 0;
  if (comparable) {
    if (2 * (used + 1) > slots.size()) Grow();
    const size_t mask = slots.size() - 1;
    for (slot = Mix(x, y, z) & mask; slots[slot] != kNone; slot = (slot + 1) & mask) {
      if (Same(vertices[slots[slot]], x, y, z)) return slots[slot];
    }
  }
  if (vertices.size() >= kNone) throw std::bad_alloc();
  const int bucket = 256 * Hash(&x) + 16 * Hash(&y) + Hash(&z);
  const auto id = static_cast<uint32_t>(vertices.size());
  vertices.push_back({x, y, z, head[bucket], 0});
  head[bucket] = id;
  if (comparable) {
    slots[slot] = id;
    ++used;
  }
  return id;
}

}  // namespace

int main(int argc, char** argv) {
  StartSTLProgram(&argc, &argv, kProgram);
  if (argc != 3 && argc != 6) Usage(kProgram.usage);
  CheckOutput(argv[argc - 1], argv[1]);
  unsigned char colour[3] = {kWhite[0], kWhite[1], kWhite[2]};
  if (argc == 6 && !ParseSurfaceColour(argv + 2, colour)) FailLine("bad surface color.");

  FILE* in = OpenInput(argv[1]);
  if (in == nullptr) FailLine("file not found.");
  STLReader reader;
  if (SetUpSTL(&reader, in) != 1) FailLine("header read error.");

  for (uint32_t& h : head) h = kNone;
  std::vector<FaceEntry> faces;
  float v[9];
  int16_t attribute;
  while (ScanSTL(&reader, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8],
                 &attribute) == 1) {
    try {
      if (faces.size() >= kNone) throw std::bad_alloc();
      faces.emplace_back();
    } catch (const std::bad_alloc&) {
      FailLine("face memory allocation error.");
    }
    FaceEntry& face = faces.back();
    try {
      for (int k = 0; k < 3; ++k) face.corner[k] = Register(v[3 * k], v[3 * k + 1], v[3 * k + 2]);
    } catch (const std::bad_alloc&) {
      FailLine("vertex memory allocation error.");
    }
    face.attribute = attribute;
  }
  // A model cut short is not converted: no output is written.
  RequireSTLEnd(&reader, argv[1]);
  CloseInput(in);

  uint32_t next = 0;
  for (uint32_t first : head) {
    for (uint32_t id = first; id != kNone; id = vertices[id].next) vertices[id].index = next++;
  }

  FILE* out = OpenOutput(argv[argc - 1]);
  if (out == nullptr) FailLine("file not stored.");
  PutZCPHeader(out, static_cast<uint32_t>(vertices.size()), static_cast<uint32_t>(faces.size()));
  for (uint32_t first : head) {
    for (uint32_t id = first; id != kNone; id = vertices[id].next) {
      const VertexEntry& e = vertices[id];
      const float xyz[3] = {e.x, e.y, e.z};
      PutZCPVertex(out, xyz);
    }
  }
  for (const FaceEntry& f : faces) {
    ZCPFace face;
    unsigned char rgb[3];
    AttributeColour(f.attribute, colour, rgb);
    face.red = rgb[0];
    face.green = rgb[1];
    face.blue = rgb[2];
    for (int k = 0; k < 3; ++k) face.index[k] = vertices[f.corner[k]].index;
    PutZCPFace(out, face);
  }
  if (!CloseOutput(out)) FailLine("file not stored.");
  return 0;
}
