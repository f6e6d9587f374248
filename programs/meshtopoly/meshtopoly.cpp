// meshtopoly: converts a binary STL model into a ZCP file facet by facet: every facet
// gets three vertices of its own (3 F vertices for F facets). From a file that holds
// all its facets the vertices stream out while the facets are read and only the face
// colours wait in memory; from a pipe the model is read whole first (36 bytes of
// vertices and 3 of colour a facet), so that a model cut short leaves no output.
#include <cstdint>
#include <new>
#include <vector>

#include "common/program.h"
#include "mesh/stl.h"
#include "zcp/zcp.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " STL {R G B} PLY",
    "Converts a binary STL model into a ZCP file, three vertices of its own a facet.",
    "STL\tthe binary STL model read (\"-\": standard input)\n"
    "R G B\tthe colour of facets without one, 0 to 255 each (else white)\n"
    "PLY\tthe ZCP file written (\"-\": standard output)\n"};

constexpr unsigned char kWhite[3] = {255, 255, 255};

}  // namespace

int main(int argc, char** argv) {
  StartSTLProgram(&argc, &argv, kProgram);
  if (argc != 3 && argc != 6) Usage(kProgram.usage);
  CheckOutput(argv[argc - 1], argv[1]);
  const char* inName = argv[1];
  const char* outName = argv[argc - 1];
  STLReader reader;
  OpenSTLInput(&reader, inName);
  if (reader.kind != kSTLBinary) Abort(inName, "not a binary STL");

  unsigned char colour[3] = {kWhite[0], kWhite[1], kWhite[2]};
  if (argc == 6 && !ParseSurfaceColour(argv + 2, colour)) FailLine("bad surface color.");

  // A model cut short must leave no output. A regular file that holds every facet its
  // count claims cannot be cut short: its vertices stream out as they are read, and only
  // the colours wait in memory. Any other input (a pipe, a file shorter than its count)
  // is read whole before anything is written. The lists are sized by what the file can
  // hold, and otherwise grow with the facets actually read, never by the count the
  // header claims; 3 F vertices must fit the 32-bit vertex count.
  constexpr uint64_t kMostFacets = UINT32_MAX / 3;
  constexpr uint64_t kFirstFacets = 1 << 16;
  const uint64_t room = STLFacetRoom(&reader);
  const bool streaming = room == reader.count && room > 0;
  FILE* out = nullptr;
  if (streaming) {
    if (room > kMostFacets) FailLine("memory allocation error.");
    out = OpenOutput(outName);
    if (out == nullptr) Abort(outName, "file not stored");
    PutZCPHeader(out, static_cast<uint32_t>(3 * room), static_cast<uint32_t>(room));
  }
  std::vector<float> vertices;         // nine floats a facet, unless streaming
  std::vector<unsigned char> colours;  // three bytes a facet
  try {
    uint64_t first = room > 0 ? room : reader.count < kFirstFacets ? reader.count : kFirstFacets;
    if (first > kMostFacets) first = kMostFacets;
    if (!streaming) vertices.reserve(size_t{9} * first);
    colours.reserve(size_t{3} * first);
  } catch (const std::bad_alloc&) {
    FailLine("memory allocation error.");
  }
  float v[9];
  int16_t attribute;
  while (ScanSTL(&reader, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8],
                 &attribute) == 1) {
    if (colours.size() / 3 == kMostFacets) FailLine("memory allocation error.");
    unsigned char rgb[3];
    AttributeColour(attribute, colour, rgb);
    try {
      if (streaming) {
        for (int k = 0; k < 3; ++k) PutZCPVertex(out, v + 3 * k);
      } else {
        vertices.insert(vertices.end(), v, v + 9);
      }
      colours.insert(colours.end(), rgb, rgb + 3);
    } catch (const std::bad_alloc&) {
      FailLine("memory allocation error.");
    }
  }
  RequireSTLEnd(&reader, inName);
  CloseInput(reader.stream);

  const uint64_t facets = colours.size() / 3;
  if (!streaming) {
    out = OpenOutput(outName);
    if (out == nullptr) Abort(outName, "file not stored");
    PutZCPHeader(out, static_cast<uint32_t>(3 * facets), static_cast<uint32_t>(facets));
    for (size_t k = 0; k < vertices.size(); k += 3) PutZCPVertex(out, &vertices[k]);
  }
  for (uint64_t i = 0; i < facets; ++i) {
    const auto first = static_cast<uint32_t>(3 * i);
    const ZCPFace face = {
        colours[3 * i], colours[3 * i + 1], colours[3 * i + 2], {first, first + 1, first + 2}};
    PutZCPFace(out, face);
  }
  if (!CloseOutput(out)) Abort(outName, "file not stored");
  return 0;
}
