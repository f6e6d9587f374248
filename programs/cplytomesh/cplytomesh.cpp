// cplytomesh: converts a ZCP model, or a coloured PLY model of another kind, into binary
// STL, one facet per triangle, with the colour in the attribute word (the top five bits
// of each channel; 0 for a face without a colour) and the normal computed from the
// vertices. A ZCP file's facet count is known from its header, so its STL streams out;
// a PLY model's polygons may give more triangles than faces, so its count is patched in
// at the end (or the facets are held until then, for a pipe).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "common/bytes.h"
#include "common/program.h"
#include "mesh/colour.h"
#include "mesh/facetcross.h"
#include "mesh/stlwrite.h"
#include "zcp/model.h"
#include "zcp/zcp.h"

namespace {

// Binary STL as written:
//   offset  size  field
//   0       80    header: zeros
//   80      4     facet count: M, from the ZCP header; for a PLY file of another
//                 kind its triangles, patched in at the end
//   84+50i  50    normal, vertex 1, vertex 2, vertex 3 (twelve floats), attribute word
constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " ZCP STL",
    "Converts a ZCP or coloured PLY model into binary STL, one facet per triangle in its colour.",
    "ZCP\tthe ZCP or PLY model read (\"-\": standard input)\n"
    "STL\tthe binary STL written (\"-\": standard output)\n"};

// Unit normal of (v2 - v1) x (v3 - v1) in extended precision for the corners v[9]; a
// degenerate face, which has none, gets 0, 0, 0. Not CalcNormalFloat: that one gives
// a degenerate facet not-a-number components, and it narrows through double, where a
// value can round twice and land on the other neighbouring float; this narrows once.
void FaceNormal(const float v[9], float n[3]) {
  const Cross c = FacetCross(v);
  const long double length = Length(c);
  if (!(length > 0)) {
    n[0] = n[1] = n[2] = 0.0f;
    return;
  }
  n[0] = static_cast<float>(c.x / length);
  n[1] = static_cast<float>(c.y / length);
  n[2] = static_cast<float>(c.z / length);
}

// The facet of one triangle: normal and corners in block[12], and its attribute word.
int16_t Facet(const ModelReader& model, const ModelTriangle& t, float block[12]) {
  for (int k = 0; k < 3; ++k) {
    std::memcpy(block + 3 + 3 * k, model.xyz.data() + 3 * size_t{t.index[k]}, 3 * sizeof(float));
  }
  FaceNormal(block + 3, block);
  if (!t.coloured) return 0;
  return static_cast<int16_t>(
      ColourWord(TruncateChannel(t.rgb[0]), TruncateChannel(t.rgb[1]), TruncateChannel(t.rgb[2])));
}

// A ZCP model: the header's face count first, each facet as its face is read.
void WriteFromZCP(ModelReader* model, const char* name) {
  FILE* out = OpenOutput(name);
  if (out == nullptr) FailLine("file not stored.");
  unsigned char head[kSTLHeaderSize];  // 80 zero bytes, then the facet count
  PackSTLHeader(head, nullptr, model->m);
  std::fwrite(head, 1, kSTLHeaderSize, out);
  ModelTriangle t;
  while (NextTriangle(model, &t, nullptr)) {
    float block[12];  // normal, then the three corners in face order
    const int16_t word = Facet(*model, t, block);
    unsigned char record[kSTLRecordSize];
    PackSTLFacet(record, block, word);
    std::fwrite(record, 1, kSTLRecordSize, out);
  }
  CloseModel(model);
  if (!CloseOutput(out)) FailLine("file not stored.");
}

// A PLY model of another kind: the count is known at the end.
void WriteFromPLY(ModelReader* model, const char* name) {
  static STLWriter writer;
  BeginSTL(&writer, name, nullptr);
  ModelTriangle t;
  while (NextTriangle(model, &t, nullptr)) {
    float block[12];
    const int16_t word = Facet(*model, t, block);
    PutSTLFacet(&writer, block, word);
  }
  CloseModel(model);
  EndSTL(&writer);
}

}  // namespace

int main(int argc, char** argv) {
  StartProgram(argc, argv, kProgram);
  if (argc != 3) Usage(kProgram.usage);
  CheckOutput(argv[2], argv[1]);
  ModelReader model;
  OpenModel(&model, argv[1], kWordHeader);
  HoldVertices(&model);
  if (model.zcp) {
    WriteFromZCP(&model, argv[2]);
  } else {
    WriteFromPLY(&model, argv[2]);
  }
  return 0;
}
