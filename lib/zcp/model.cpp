#include "zcp/model.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "common/program.h"
#include "zcp/words.h"
#include "zcp/zcp.h"

namespace {

constexpr size_t kReserveVertices = size_t{1} << 16;  // slots taken before the data is seen
constexpr size_t kSpoolMemory = size_t{4} << 20;      // spooled face bytes kept in memory

// A spooled face:
//   offset  size  field
//   0       4     k, the number of corners (at least 3), host order
//   4       1     1 when the face has a colour of its own, else 0
//   5       3     its red, green and blue
//   8       4k    the corners' vertex indices, host order
constexpr size_t kSpoolHead = 8;

const char* MemoryMessage(const ModelReader* r) {
  return r->rules == kWordHeader ? "vertex memory allocation error." : "memory allocation error.";
}

// The body ends early (or, in a PLY file, holds a face that is no face): output made so
// far is flushed by before, then the data error.
[[noreturn]] void Short(const ModelReader* r, uint64_t count, const char* what, void (*before)()) {
  if (before != nullptr) before();
  DataError(r->name, r->kind, count, what);
}

const PLYElement& Element(const ModelReader* r, size_t i) { return r->header.elements[i]; }

// Room for the values of one row of e.
double* RowValues(ModelReader* r, const PLYElement& e) {
  if (r->values.size() < e.properties.size()) r->values.resize(e.properties.size());
  return r->values.data();
}

// The ZCP header as a table: the same rows as every other PLY file.
void ZCPTable(ModelReader* r) {
  char text[kZCPHeaderRoom];
  const size_t length = FormatZCPHeader(text, r->n, r->m);
  PLYSource bytes;
  bytes.data.assign(text, text + length);
  bytes.end = length;
  // A ZCP header is a PLY header with one vertex and one face element; this cannot fail.
  if (!ParsePLYHeader(&bytes, &r->header) || !FindPLYModel(r->header, &r->layout)) {
    FailLine("bad header.");
  }
}

// A binary file whose rows up to the vertices have a fixed size, and which is a regular
// file: too short for its vertices, it is refused before anything of their size is
// taken, with the count of whole vertex rows it holds.
void CheckPLYBody(ModelReader* r) {
  uint64_t left;
  if (r->header.format == kPLYAscii || !SourceBytesLeft(&r->source, &left)) return;
  uint64_t before = 0;
  for (size_t i = 0; i < r->layout.vertex; ++i) {
    const PLYElement& e = Element(r, i);
    if (e.stride == kPLYVariable) return;
    before += uint64_t{e.count} * e.stride;  // below 2^32 * 2^23
  }
  const uint32_t stride = Element(r, r->layout.vertex).stride;
  if (stride == kPLYVariable) return;
  const uint64_t rows = left < before ? 0 : (left - before) / stride;
  if (rows < r->n) DataError(r->name, r->kind, rows, "vertices");
  r->checked = true;
}

bool SkipList(ModelReader* r, PLYType type, uint64_t count) {
  if (r->header.format != kPLYAscii) return SourceSkip(&r->source, count * kPLYTypeSize[type]);
  double value;
  for (uint64_t i = 0; i < count; ++i) {
    if (!ReadPLYValue(&r->source, kPLYAscii, type, &value)) return false;
  }
  return true;
}

// Reads one row of element e property by property: each scalar into value[] at its
// position; the list at position `list` into r->corners (at least 3, each below n);
// other lists are passed over. False when the data ends or holds no such row.
bool ReadRow(ModelReader* r, const PLYElement& e, double* value, size_t list) {
  const PLYFormat format = r->header.format;
  for (size_t j = 0; j < e.properties.size(); ++j) {
    const PLYProperty& p = e.properties[j];
    if (p.countType == kPLYNoType) {
      if (!ReadPLYValue(&r->source, format, p.type, &value[j])) return false;
      continue;
    }
    // A whole number; in ASCII it may be written beyond its type's range, but no list
    // holds more than 2^32 - 1 entries.
    double count;
    if (!ReadPLYValue(&r->source, format, p.countType, &count) || !(count >= 0) ||
        count > UINT32_MAX) {
      return false;
    }
    if (j != list) {
      if (!SkipList(r, p.type, static_cast<uint64_t>(count))) return false;
      continue;
    }
    if (count < 3) return false;
    r->corners.clear();
    for (uint64_t k = 0; k < static_cast<uint64_t>(count); ++k) {
      double index;
      if (!ReadPLYValue(&r->source, format, p.type, &index) || !(index >= 0 && index < r->n)) {
        return false;
      }
      r->corners.push_back(static_cast<uint32_t>(index));
    }
  }
  return true;
}

bool SkipElement(ModelReader* r, size_t i) {
  const PLYElement& e = Element(r, i);
  if (e.properties.empty()) return true;  // its rows take no bytes, however many
  if (r->header.format != kPLYAscii && e.stride != kPLYVariable) {
    return SourceSkip(&r->source, uint64_t{e.count} * e.stride);
  }
  double* value = RowValues(r, e);
  for (uint32_t row = 0; row < e.count; ++row) {
    if (!ReadRow(r, e, value, kPLYNone)) return false;
  }
  return true;
}

// Passes over the elements before element `to`; data that ends there is a data error
// after no `what`.
void PassTo(ModelReader* r, size_t to, const char* what, void (*before)()) {
  for (; r->nextElement < to; ++r->nextElement) {
    if (!SkipElement(r, r->nextElement)) Short(r, 0, what, before);
  }
}

// One vertex row: x, y, z and, when the vertices have them, the colour. Binary rows of
// a fixed size are read whole and only the wanted values decoded.
bool ReadVertex(ModelReader* r, float v[3], unsigned char rgb[3]) {
  const PLYElement& e = Element(r, r->layout.vertex);
  const size_t* colour = r->layout.vertexColour;
  if (r->header.format != kPLYAscii && e.stride != kPLYVariable) {
    const bool big = r->header.format == kPLYBigEndian;
    const unsigned char* row = SourceNeed(&r->source, e.stride);
    if (row == nullptr) return false;
    for (int k = 0; k < 3; ++k) {
      const PLYProperty& p = e.properties[r->layout.xyz[k]];
      v[k] = DecodePLYFloat(row + p.offset, p.type, big);
    }
    for (int c = 0; c < 3 && colour[0] != kPLYNone; ++c) {
      const PLYProperty& p = e.properties[colour[c]];
      rgb[c] = PLYColourByte(DecodePLYValue(row + p.offset, p.type, big), p.type);
    }
    SourceTake(&r->source, e.stride);
    return true;
  }
  double* values = RowValues(r, e);
  if (!ReadRow(r, e, values, kPLYNone)) return false;
  for (int k = 0; k < 3; ++k) v[k] = static_cast<float>(values[r->layout.xyz[k]]);
  for (int c = 0; c < 3 && colour[0] != kPLYNone; ++c) {
    rgb[c] = PLYColourByte(values[colour[c]], e.properties[colour[c]].type);
  }
  return true;
}

// One face row into r->corners, with its own colour when the faces have one.
bool ReadFace(ModelReader* r) {
  const PLYElement& e = Element(r, r->layout.face);
  double* value = RowValues(r, e);
  if (!ReadRow(r, e, value, r->layout.list)) return false;
  const size_t* colour = r->layout.faceColour;
  r->faceColoured = colour[0] != kPLYNone;
  for (int c = 0; c < 3 && r->faceColoured; ++c) {
    r->faceRGB[c] = PLYColourByte(value[colour[c]], e.properties[colour[c]].type);
  }
  return true;
}

void SpoolWrite(ModelReader* r, const void* data, size_t size) {
  FaceSpool& s = r->spool;
  if (s.file == nullptr && s.memory.size() + size <= kSpoolMemory) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    s.memory.insert(s.memory.end(), bytes, bytes + size);
    return;
  }
  if (s.file == nullptr) {
    s.file = std::tmpfile();
    if (s.file == nullptr ||
        std::fwrite(s.memory.data(), 1, s.memory.size(), s.file) != s.memory.size()) {
      Abort(r->name, "temporary file write error");
    }
    std::vector<unsigned char>().swap(s.memory);
  }
  if (std::fwrite(data, 1, size, s.file) != size) Abort(r->name, "temporary file write error");
}

bool SpoolRead(ModelReader* r, void* out, size_t size) {
  FaceSpool& s = r->spool;
  if (s.file != nullptr) return std::fread(out, 1, size, s.file) == size;
  if (s.memory.size() - s.readAt < size) return false;
  std::memcpy(out, s.memory.data() + s.readAt, size);
  s.readAt += size;
  return true;
}

// Reads the whole face element (the next in the file) into the spool, counting the
// triangles its faces make.
void SpoolFaces(ModelReader* r) {
  try {
    for (uint32_t i = 0; i < r->m; ++i) {
      if (!ReadFace(r)) DataError(r->name, r->kind, i, "faces");
      unsigned char head[kSpoolHead];
      const auto k = static_cast<uint32_t>(r->corners.size());
      std::memcpy(head, &k, 4);
      head[4] = r->faceColoured ? 1 : 0;
      std::memcpy(head + 5, r->faceRGB, 3);
      SpoolWrite(r, head, kSpoolHead);
      SpoolWrite(r, r->corners.data(), 4 * size_t{k});
      r->triangles += k - 2;
    }
  } catch (const std::bad_alloc&) {
    FailLine(MemoryMessage(r));
  }
  FaceSpool& s = r->spool;
  if (s.file != nullptr &&
      (std::fflush(s.file) != 0 || std::ferror(s.file) || std::fseek(s.file, 0, SEEK_SET) != 0)) {
    Abort(r->name, "temporary file write error");
  }
  r->corners.clear();  // the faces are given again from the spool's start
  r->facesRead = r->m;
  r->spooled = true;
  ++r->nextElement;
}

bool ReplayFace(ModelReader* r) {
  unsigned char head[kSpoolHead];
  if (!SpoolRead(r, head, kSpoolHead)) return false;  // the last face was given
  uint32_t k;
  std::memcpy(&k, head, 4);
  r->faceColoured = head[4] != 0;
  std::memcpy(r->faceRGB, head + 5, 3);
  r->corners.resize(k);
  if (!SpoolRead(r, r->corners.data(), 4 * size_t{k})) {
    Abort(r->name, "temporary file read error");
  }
  return true;
}

// The colour of a face without one of its own: the rounded mean of its corners'.
void MeanColour(ModelReader* r) {
  if (r->faceColoured || r->layout.vertexColour[0] == kPLYNone) return;
  uint64_t sum[3] = {0, 0, 0};
  for (uint32_t corner : r->corners) {
    for (int c = 0; c < 3; ++c) sum[c] += r->rgb[3 * size_t{corner} + c];
  }
  const uint64_t k = r->corners.size();
  for (int c = 0; c < 3; ++c)
    r->faceRGB[c] = static_cast<unsigned char>((2 * sum[c] + k) / (2 * k));
  r->faceColoured = true;
}

// The next face of a PLY file, from the spool or from the file.
bool NextFace(ModelReader* r, void (*before)()) {
  if (r->spooled) {
    if (!ReplayFace(r)) return false;
  } else {
    if (r->facesRead == r->m) return false;
    PassTo(r, r->layout.face, "faces", before);
    try {
      if (!ReadFace(r)) Short(r, r->facesRead, "faces", before);
    } catch (const std::bad_alloc&) {
      if (before != nullptr) before();
      FailLine(MemoryMessage(r));
    }
    if (++r->facesRead == r->m) ++r->nextElement;
  }
  MeanColour(r);
  r->fan = 1;
  return true;
}

// A ZCP face record that is short or bad, with the messages of the header rules.
[[noreturn]] void ZCPFaceFault(const ModelReader* r, ZCPFaceResult result, bool cut,
                               void (*before)()) {
  if (r->rules == kStrictHeader) {
    if (before != nullptr) before();
    if (cut) DataError(r->name, r->kind, r->facesRead, "faces");
    FailLine("bad face.");
  }
  // A record cut off by the end of the input: the body is shorter than the header says.
  if (result == kZCPShortColour || result == kZCPShortIndex || (result == kZCPBadCorners && cut)) {
    DataError(r->name, r->kind, r->facesRead, "faces");
  }
  if (result == kZCPBadCorners) FailLine("bad number of vertices per face.");
  FailLine("bad vertex index.");
}

bool NextZCPTriangle(ModelReader* r, ModelTriangle* t, void (*before)()) {
  if (r->facesRead == r->m) return false;
  unsigned char record[kZCPFaceSize];
  const size_t got = SourceRead(&r->source, record, kZCPFaceSize);
  ZCPFace face;
  const ZCPFaceResult result = CheckZCPFace(record, got, r->n, &face);
  if (result != kZCPFaceOK) ZCPFaceFault(r, result, got < kZCPFaceSize, before);
  ++r->facesRead;
  std::memcpy(t->index, face.index, sizeof t->index);
  t->rgb[0] = face.red;
  t->rgb[1] = face.green;
  t->rgb[2] = face.blue;
  t->coloured = true;
  return true;
}

}  // namespace

void OpenModel(ModelReader* r, const char* name, ZCPHeaderRules rules) {
  FILE* in = OpenInput(name);
  if (in == nullptr) FailLine("file not found.");
  ReadModelHeader(r, in, name, rules);
}

void ReadModelHeader(ModelReader* r, FILE* in, const char* name, ZCPHeaderRules rules) {
  r->name = name;
  r->rules = rules;
  r->checked = r->held = r->spooled = false;
  r->given = r->facesRead = 0;
  r->nextElement = 0;
  r->triangles = 0;
  r->fan = 1;
  r->faceColoured = false;
  StartSource(&r->source, in);

  const char* fault = nullptr;
  if (rules == kStrictHeader) {
    if (!ReadZCPHeader(&r->source, &r->n, &r->m)) fault = "bad header.\n";
  } else {
    fault = ReadWordHeader(&r->source, &r->n, &r->m);
  }
  if (fault == nullptr) {
    SourceRelease(&r->source);
    r->zcp = true;
    r->kind = "ZCP";
    ZCPTable(r);
    uint64_t left;
    if (SourceBytesLeft(&r->source, &left)) {
      CheckZCPBody(left, name, r->n, r->m);
      r->checked = true;
    }
    return;
  }
  // Not a ZCP file by these rules: the same bytes again as a PLY file of any kind. A
  // file that is neither gets the ZCP rules' message.
  if (!SourceRewind(&r->source) || !ParsePLYHeader(&r->source, &r->header) ||
      !FindPLYModel(r->header, &r->layout)) {
    Fail("%s", fault);
  }
  SourceRelease(&r->source);
  r->zcp = false;
  r->kind = "PLY";
  r->n = Element(r, r->layout.vertex).count;
  r->m = Element(r, r->layout.face).count;
  CheckPLYBody(r);
  HoldVertices(r);
}

void StartModelReader(int argc, char** argv, const ProgramInfo& program, ModelReader* model) {
  StartProgram(argc, argv, program);
  if (argc != 2) Usage(program.usage);
  OpenModel(model, argv[1], kStrictHeader);
}

void HoldVertices(ModelReader* r) {
  if (r->held) return;
  // The elements before the vertices: faces go to the spool, the others are passed over.
  while (r->nextElement < r->layout.vertex) {
    if (r->nextElement == r->layout.face) {
      SpoolFaces(r);
    } else {
      PassTo(r, r->nextElement + 1, "vertices", nullptr);
    }
  }
  const bool colour = r->layout.vertexColour[0] != kPLYNone;
  try {
    // A file checked for its length has room for every vertex; otherwise the arrays
    // grow with the vertices read, so a count the file cannot hold costs no memory.
    const size_t slots = r->checked ? r->n : std::min<size_t>(r->n, kReserveVertices);
    r->xyz.reserve(3 * slots);
    if (colour) r->rgb.reserve(3 * slots);
    for (uint32_t i = 0; i < r->n; ++i) {
      float v[3];
      unsigned char rgb[3];
      if (!ReadVertex(r, v, rgb)) DataError(r->name, r->kind, i, "vertices");
      r->xyz.insert(r->xyz.end(), v, v + 3);
      if (colour) r->rgb.insert(r->rgb.end(), rgb, rgb + 3);
    }
  } catch (const std::bad_alloc&) {
    FailLine(MemoryMessage(r));
  }
  ++r->nextElement;
  r->held = true;
}

void NextVertex(ModelReader* r, float v[3], void (*before)()) {
  if (r->held) {
    std::memcpy(v, r->xyz.data() + 3 * size_t{r->given}, 3 * sizeof(float));
  } else {
    unsigned char rgb[3];
    if (!ReadVertex(r, v, rgb)) Short(r, r->given, "vertices", before);
  }
  ++r->given;
}

uint64_t CountTriangles(ModelReader* r) {
  if (r->zcp) return r->m;
  if (!r->spooled) {
    PassTo(r, r->layout.face, "faces", nullptr);
    SpoolFaces(r);
  }
  return r->triangles;
}

bool NextTriangle(ModelReader* r, ModelTriangle* t, void (*before)()) {
  if (r->zcp) return NextZCPTriangle(r, t, before);
  while (r->fan + 1 >= r->corners.size()) {
    if (!NextFace(r, before)) return false;
  }
  t->index[0] = r->corners[0];
  t->index[1] = r->corners[r->fan];
  t->index[2] = r->corners[r->fan + 1];
  ++r->fan;
  t->coloured = r->faceColoured;
  if (t->coloured) {
    std::memcpy(t->rgb, r->faceRGB, 3);
  } else {
    std::memset(t->rgb, 255, 3);  // white, for the outputs in which every face has a colour
  }
  return true;
}

void CloseModel(ModelReader* r) {
  CloseInput(r->source.stream);
  if (r->spool.file != nullptr) std::fclose(r->spool.file);
  r->spool.file = nullptr;
}
