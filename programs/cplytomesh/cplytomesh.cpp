// cplytomesh: converts a ZCP file into binary STL, one facet per face, with the face
// colour in the attribute word (the top five bits of each channel) and the normal
// computed from the vertices. The facet count is known from the header, so the STL
// streams out, to a file or to standard output.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <new>
#include <vector>

#include "common/bytes.h"
#include "common/program.h"
#include "mesh/colour.h"
#include "mesh/facetcross.h"
#include "mesh/stlwrite.h"
#include "zcp/words.h"
#include "zcp/zcp.h"

namespace {

// Binary STL as written:
//   offset  size  field
//   0       80    header: zeros
//   80      4     facet count: M, from the ZCP header
//   84+50i  50    normal, vertex 1, vertex 2, vertex 3 (twelve floats), attribute word
constexpr ProgramInfo kProgram = {
    MESHPIX_PROGRAM, "usage : " MESHPIX_PROGRAM " ZCP STL",
    "Converts a ZCP model into binary STL, one facet per face in the face's colour.",
    "ZCP\tthe ZCP model read (\"-\": standard input)\n"
    "STL\tthe binary STL written (\"-\": standard output)\n"};

constexpr size_t kFirstChunk = size_t{1} << 20;  // vertex bytes read at first

// The whole vertex block as it lies in the file. The buffer grows with the data read,
// so a header that promises more vertices than the file holds costs no more memory
// than the file.
std::vector<unsigned char> ReadVertexBlock(FILE* in, const char* name, uint32_t n) {
  const uint64_t total = uint64_t{n} * kZCPVertexSize;
  if (total > SIZE_MAX) FailLine("vertex memory allocation error.");
  std::vector<unsigned char> block;
  size_t have = 0;
  while (have < total) {
    size_t step = static_cast<size_t>(total) - have;
    const size_t most = have > kFirstChunk ? have : kFirstChunk;
    if (step > most) step = most;
    try {
      block.resize(have + step);
    } catch (const std::bad_alloc&) {
      FailLine("vertex memory allocation error.");
    }
    const size_t got = std::fread(block.data() + have, 1, step, in);
    have += got;
    if (got < step) ZCPDataError(name, have / kZCPVertexSize, "vertices");
  }
  return block;
}

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

}  // namespace

int main(int argc, char** argv) {
  StartProgram(argc, argv, kProgram);
  if (argc != 3) Usage(kProgram.usage);
  CheckOutput(argv[2], argv[1]);
  FILE* in = OpenInput(argv[1]);
  if (in == nullptr) FailLine("file not found.");
  uint32_t n, m;
  ReadWordHeader(in, &n, &m);
  CheckZCPBody(in, argv[1], n, m);
  const std::vector<unsigned char> vertexBlock = ReadVertexBlock(in, argv[1], n);

  FILE* out = OpenOutput(argv[2]);
  if (out == nullptr) FailLine("file not stored.");
  unsigned char head[kSTLHeaderSize];  // 80 zero bytes, then the facet count
  PackSTLHeader(head, nullptr, m);
  std::fwrite(head, 1, kSTLHeaderSize, out);

  for (uint32_t i = 0; i < m; ++i) {
    ZCPFace face;
    const ZCPFaceResult result = ReadZCPFace(in, n, &face);
    // A record cut off by the end of the input: the body is shorter than the header says.
    if (result == kZCPShortColour || result == kZCPShortIndex ||
        (result == kZCPBadCorners && std::feof(in))) {
      ZCPDataError(argv[1], i, "faces");
    }
    if (result == kZCPBadCorners) FailLine("bad number of vertices per face.");
    if (result == kZCPBadIndex) FailLine("bad vertex index.");
    float block[12];  // normal, then the three corners in face order
    for (int k = 0; k < 3; ++k) {
      UnpackZCPVertex(vertexBlock.data() + size_t{face.index[k]} * kZCPVertexSize,
                      block + 3 + 3 * k);
    }
    FaceNormal(block + 3, block);
    const uint16_t word = ColourWord(TruncateChannel(face.red), TruncateChannel(face.green),
                                     TruncateChannel(face.blue));
    unsigned char record[kSTLRecordSize];
    PackSTLFacet(record, block, static_cast<int16_t>(word));
    std::fwrite(record, 1, kSTLRecordSize, out);
  }
  CloseInput(in);
  if (!CloseOutput(out)) FailLine("file not stored.");
  return 0;
}
