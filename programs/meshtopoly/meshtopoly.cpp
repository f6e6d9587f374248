// meshtopoly: converts a binary STL model into a ZCP file facet by facet: every facet
// gets three vertices of its own (3 F vertices for F facets), so the vertices stream
// out while the facets are read and only the face colours wait in memory.
#include <cstdint>
#include <cstdlib>

#include "common/program.h"
#include "mesh/stl.h"
#include "mesh/stlwrite.h"
#include "zcp/zcp.h"

namespace {

constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " STL {R G B} PLY",
    "Converts a binary STL model into a ZCP file, three vertices of its own a facet.",
    "STL\tthe binary STL model read (\"-\": standard input)\n"
    "R G B\tthe colour of facets without one, 0 to 255 each (else white)\n"
    "PLY\tthe ZCP file written (\"-\": standard output)\n"};

constexpr unsigned char kWhite[3] = {255, 255, 255};

[[noreturn]] void Error(const char* message) { Fail("%s\n", message); }

}  // namespace

int main(int argc, char** argv) {
  StartProgram(argc, argv, kProgram);
  if (argc != 3 && argc != 6) Usage(kProgram.usage);
  CheckOutput(argv[argc - 1], argv[1]);
  const char* inName = argv[1];
  const char* outName = argv[argc - 1];
  STLReader reader;
  OpenSTLInput(&reader, inName);
  if (reader.kind != kSTLBinary) Abort(inName, "not a binary STL");

  // 3 F vertices must fit the 32-bit vertex count; the colours take 3 bytes a facet.
  const uint64_t facets = reader.count;
  const uint64_t corners = 3 * facets;
  if (corners > UINT32_MAX) Error("memory allocation error.");
  auto* colours = static_cast<unsigned char*>(std::malloc(corners > 0 ? corners : 1));
  if (colours == nullptr) Error("memory allocation error.");

  unsigned char colour[3] = {kWhite[0], kWhite[1], kWhite[2]};
  if (argc == 6 && !ParseSurfaceColour(argv + 2, colour)) Error("bad surface color.");

  FILE* out = OpenOutput(outName);
  if (out == nullptr) Abort(outName, "file not stored");
  PutZCPHeader(out, static_cast<uint32_t>(corners), static_cast<uint32_t>(facets));
  float v[9];
  int16_t attribute;
  for (uint64_t i = 0; i < facets; ++i) {
    if (ScanSTL(&reader, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8],
                &attribute) != 1) {
      Abort(inName, "unexpected end of file");
    }
    AttributeColour(attribute, colour, colours + 3 * i);
    for (int k = 0; k < 3; ++k) PutZCPVertex(out, v + 3 * k);
  }
  CloseInput(reader.stream);

  for (uint64_t i = 0; i < facets; ++i) {
    const auto first = static_cast<uint32_t>(3 * i);
    const ZCPFace face = {colours[3 * i], colours[3 * i + 1], colours[3 * i + 2],
                          {first, first + 1, first + 2}};
    PutZCPFace(out, face);
  }
  if (!CloseOutput(out)) Abort(outName, "file not stored");
  std::free(colours);
  return 0;
}
