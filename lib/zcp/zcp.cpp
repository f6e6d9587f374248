#include "zcp/zcp.h"

#include <cstring>

#include "common/bytes.h"
#include "common/lines.h"
#include "common/numbers.h"
#include "common/program.h"
#include "common/textout.h"
#include "mesh/colour.h"
#include "zcp/ply.h"

namespace {

// The header as the strict reader matches it: every white-space character of the
// pattern stands for any run of white space in the file (none included), "%u" for an
// unsigned decimal count, every other character for itself. The "end_header" line
// is then compared whole.
constexpr const char kHeaderPattern[] =
    "ply\n"
    "format binary_little_endian 1.0\n"
    "element vertex %u\n"
    "property float x\n"
    "property float y\n"
    "property float z\n"
    "element face %u\n"
    "property uchar red\n"
    "property uchar green\n"
    "property uchar blue\n"
    "property list uchar int vertex_indices\n";
constexpr char kEndHeader[] = "end_header\n";  // with its NUL: the 12 bytes compared
constexpr size_t kEndLineBuffer = sizeof kEndHeader;

void SkipSpace(PLYSource* source) {
  int c;
  while (IsBlank(c = SourceGet(source))) {
  }
  if (c != EOF) SourceUnget(source);
}

// An unsigned decimal count after optional white space and an optional plus sign. A
// minus sign, no digit at all, or a value beyond 32 bits is not a count.
bool ReadCount(PLYSource* source, uint32_t* value) {
  SkipSpace(source);
  int c = SourceGet(source);
  if (c == '+') c = SourceGet(source);
  if (c < '0' || c > '9') return false;
  uint64_t v = 0;
  while (c >= '0' && c <= '9') {
    v = v * 10 + static_cast<uint64_t>(c - '0');
    if (v > UINT32_MAX) return false;
    c = SourceGet(source);
  }
  if (c != EOF) SourceUnget(source);
  *value = static_cast<uint32_t>(v);
  return true;
}

// Lines 1 to 11 of the header; counts[0] and counts[1] receive N and M.
bool MatchPattern(PLYSource* source, uint32_t counts[2]) {
  int found = 0;
  for (const char* p = kHeaderPattern; *p != '\0'; ++p) {
    if (IsBlank(static_cast<unsigned char>(*p))) {
      SkipSpace(source);
    } else if (p[0] == '%' && p[1] == 'u') {
      if (!ReadCount(source, &counts[found++])) return false;
      ++p;
    } else if (SourceGet(source) != static_cast<unsigned char>(*p)) {
      return false;
    }
  }
  return found == 2;
}

// The next line, at most 11 characters with its line feed, into a zeroed buffer of 12.
bool ReadEndLine(PLYSource* source, unsigned char line[kEndLineBuffer]) {
  std::memset(line, 0, kEndLineBuffer);
  size_t used = 0;
  while (used < kEndLineBuffer - 1) {
    int c = SourceGet(source);
    if (c == EOF) break;
    line[used++] = static_cast<unsigned char>(c);
    if (c == '\n') break;
  }
  return used > 0;
}

}  // namespace

void PutZCPHeader(FILE* stream, uint32_t n, uint32_t m) {
  char text[kZCPHeaderRoom];
  std::fwrite(text, 1, FormatZCPHeader(text, n, m), stream);
}

size_t FormatZCPHeader(char text[kZCPHeaderRoom], uint32_t n, uint32_t m) {
  // The matching pattern read as a printf format gives lines 1 to 11 exactly.
  const int length = std::snprintf(text, kZCPHeaderRoom, kHeaderPattern, static_cast<unsigned>(n),
                                   static_cast<unsigned>(m));
  std::memcpy(text + length, kEndHeader, sizeof kEndHeader - 1);
  return static_cast<size_t>(length) + sizeof kEndHeader - 1;
}

void CheckZCPBody(uint64_t left, const char* name, uint32_t n, uint32_t m) {
  // At most 12 (2^32 - 1) + 16 (2^32 - 1) bytes: no overflow in 64 bits.
  const uint64_t vertexBytes = uint64_t{n} * kZCPVertexSize;
  if (left < vertexBytes) DataError(name, "ZCP", left / kZCPVertexSize, "vertices");
  const uint64_t faces = (left - vertexBytes) / kZCPFaceSize;
  if (faces < m) DataError(name, "ZCP", faces, "faces");
}

void DataError(const char* name, const char* kind, uint64_t count, const char* what) {
  Fail("%s : %s data error after %llu %s.\n", name, kind, static_cast<unsigned long long>(count),
       what);
}

void PutPointText(TextOut* out, const float v[3], char separator) {
  out->Fixed(v[0]);
  out->Char(separator);
  out->Fixed(v[1]);
  out->Char(separator);
  out->Fixed(v[2]);
  out->Char('\n');
}

bool ReadZCPHeader(PLYSource* source, uint32_t* n, uint32_t* m) {
  uint32_t counts[2] = {0, 0};
  if (!MatchPattern(source, counts)) return false;
  unsigned char line[kEndLineBuffer];
  if (!ReadEndLine(source, line) || std::memcmp(line, kEndHeader, kEndLineBuffer) != 0) {
    return false;
  }
  if (counts[0] == 0 || counts[1] == 0) return false;
  *n = counts[0];
  *m = counts[1];
  return true;
}

// Vertex record:
//   offset  size  field
//   0       4     x, float
//   4       4     y, float
//   8       4     z, float
void PackZCPVertex(unsigned char record[kZCPVertexSize], const float v[3]) {
  PutLEFloat(record + 0, v[0]);  // x
  PutLEFloat(record + 4, v[1]);  // y
  PutLEFloat(record + 8, v[2]);  // z
}

// Face record:
//   offset  size  field
//   0       1     red
//   1       1     green
//   2       1     blue
//   3       1     number of vertex indices: 3
//   4       4     index of the first vertex, unsigned, from 0
//   8       4     index of the second vertex
//   12      4     index of the third vertex
void PackZCPFace(unsigned char record[kZCPFaceSize], const ZCPFace& face) {
  record[0] = face.red;
  record[1] = face.green;
  record[2] = face.blue;
  record[3] = kZCPCorners;
  PutLE32(record + 4, face.index[0]);
  PutLE32(record + 8, face.index[1]);
  PutLE32(record + 12, face.index[2]);
}

ZCPFaceResult CheckZCPFace(const unsigned char* bytes, size_t size, uint32_t n, ZCPFace* face) {
  if (size < 3) return kZCPShortColour;
  face->red = bytes[0];
  face->green = bytes[1];
  face->blue = bytes[2];
  if (size < 4 || bytes[3] != kZCPCorners) return kZCPBadCorners;
  // Each index is checked as soon as it is complete, so a bad index comes before a
  // short record that ends after it.
  for (size_t k = 0; k < 3; ++k) {
    const size_t at = 4 + 4 * k;
    if (size < at + 4) return kZCPShortIndex;
    face->index[k] = GetLE32(bytes + at);
    if (face->index[k] >= n) return kZCPBadIndex;
  }
  return kZCPFaceOK;
}

void PutZCPVertex(FILE* stream, const float v[3]) {
  unsigned char record[kZCPVertexSize];
  PackZCPVertex(record, v);
  std::fwrite(record, 1, kZCPVertexSize, stream);
}

void PutZCPFace(FILE* stream, const ZCPFace& face) {
  unsigned char record[kZCPFaceSize];
  PackZCPFace(record, face);
  std::fwrite(record, 1, kZCPFaceSize, stream);
}

bool ParseSurfaceColour(char* const words[3], unsigned char rgb[3]) {
  for (int i = 0; i < 3; ++i) {
    int value = WholeArgument(words[i]);  // not a number: its own message
    if (!InRange(value, 0, 255)) return false;
    rgb[i] = static_cast<unsigned char>(value);
  }
  return true;
}

void AttributeColour(int16_t attribute, const unsigned char fallback[3], unsigned char rgb[3]) {
  const auto word = static_cast<uint16_t>(attribute);
  if (!HasColour(word)) {
    rgb[0] = fallback[0];
    rgb[1] = fallback[1];
    rgb[2] = fallback[2];
    return;
  }
  rgb[0] = static_cast<unsigned char>(ExpandChannel(Red5(word)));
  rgb[1] = static_cast<unsigned char>(ExpandChannel(Green5(word)));
  rgb[2] = static_cast<unsigned char>(ExpandChannel(Blue5(word)));
}
