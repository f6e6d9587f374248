#include "zcp/ply.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

#include "common/bytes.h"
#include "common/lines.h"
#include "common/program.h"

namespace {

constexpr size_t kChunk = size_t{1} << 16;  // bytes asked of the stream at a time
constexpr size_t kWordLimit = 256;          // characters of one ASCII value
constexpr int kMaxWords = 6;                // words looked at on one header line

// Reads more of the stream: room for at least `more` bytes after those held. Header
// reading keeps every byte (up to the keep limit); body reading gives up the bytes
// before the position first. Returns how many bytes came.
size_t Refill(PLYSource* s, size_t more) {
  if (s->stream == nullptr) return 0;  // a source over bytes in memory alone
  if (!s->keep || s->end > kSourceKeepLimit) {
    if (s->keep) s->kept = false;
    if (s->at > 0) {
      std::memmove(s->data.data(), s->data.data() + s->at, s->end - s->at);
      s->end -= s->at;
      s->at = 0;
    }
  }
  const size_t want = std::max(more, kChunk);
  if (s->data.size() < s->end + want) s->data.resize(s->end + want);
  const size_t got = std::fread(s->data.data() + s->end, 1, want, s->stream);
  s->end += got;
  return got;
}

struct TypeName {
  std::string_view name;
  PLYType type;
};

// Every scalar type by its two names.
constexpr TypeName kTypeNames[] = {
    {"char", kPLYChar},   {"int8", kPLYChar},     {"uchar", kPLYUchar},   {"uint8", kPLYUchar},
    {"short", kPLYShort}, {"int16", kPLYShort},   {"ushort", kPLYUshort}, {"uint16", kPLYUshort},
    {"int", kPLYInt},     {"int32", kPLYInt},     {"uint", kPLYUint},     {"uint32", kPLYUint},
    {"float", kPLYFloat}, {"float32", kPLYFloat}, {"double", kPLYDouble}, {"float64", kPLYDouble},
};

bool ParseType(std::string_view word, PLYType* type) {
  for (const TypeName& t : kTypeNames) {
    if (t.name == word) {
      *type = t.type;
      return true;
    }
  }
  return false;
}

// An element's count: decimal digits only, at most 2^32 - 1.
bool ParseCount(std::string_view word, uint32_t* count) {
  uint64_t v = 0;
  if (word.empty()) return false;
  for (char c : word) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
    if (v > UINT32_MAX) return false;
  }
  *count = static_cast<uint32_t>(v);
  return true;
}

// One header line without its line feed; the carriage return before it, if any, is a
// blank to the word splitter. total counts the header's bytes against the keep limit.
bool ReadHeaderLine(PLYSource* s, std::string* line, size_t* total) {
  line->clear();
  for (;;) {
    const int c = SourceGet(s);
    if (c == EOF || ++*total > kSourceKeepLimit) return false;
    if (c == '\n') return true;
    line->push_back(static_cast<char>(c));
  }
}

// Byte offsets of the scalars up to the first list, and the row stride when there is
// no list.
void PlaceProperties(PLYElement* e) {
  uint64_t offset = 0;
  bool fixed = true;
  for (PLYProperty& p : e->properties) {
    p.offset = fixed ? static_cast<uint32_t>(offset) : kPLYVariable;
    if (p.countType == kPLYNoType) {
      offset += kPLYTypeSize[p.type];
    } else {
      fixed = false;
    }
  }
  // A header of at most kSourceKeepLimit bytes lists fewer than 2^20 properties of
  // at most 8 bytes: the stride fits 32 bits.
  e->stride = fixed ? static_cast<uint32_t>(offset) : kPLYVariable;
}

size_t FindScalar(const PLYElement& e, std::string_view name) {
  for (size_t i = 0; i < e.properties.size(); ++i) {
    if (e.properties[i].name == name && e.properties[i].countType == kPLYNoType) return i;
  }
  return kPLYNone;
}

// Red, green and blue by either name; a colour lacking a channel is no colour.
void FindColour(const PLYElement& e, size_t channel[3]) {
  constexpr std::string_view kNames[3][2] = {
      {"red", "diffuse_red"}, {"green", "diffuse_green"}, {"blue", "diffuse_blue"}};
  for (int c = 0; c < 3; ++c) {
    channel[c] = FindScalar(e, kNames[c][0]);
    if (channel[c] == kPLYNone) channel[c] = FindScalar(e, kNames[c][1]);
  }
  if (channel[0] == kPLYNone || channel[1] == kPLYNone || channel[2] == kPLYNone) {
    channel[0] = channel[1] = channel[2] = kPLYNone;
  }
}


// A binary value's size bytes into b, least significant first, for the GetLE readers.
void LittleFirst(const unsigned char* bytes, size_t size, bool big, unsigned char* b) {
  for (size_t i = 0; i < size; ++i) b[i] = bytes[big ? size - 1 - i : i];
}

}  // namespace

void StartSource(PLYSource* s, FILE* stream) {
  s->stream = stream;
  s->data.clear();
  s->at = s->end = 0;
  s->keep = true;
  s->kept = true;
}

int SourceFill(PLYSource* s) {
  if (Refill(s, 1) == 0) return EOF;
  return s->data[s->at++];
}

bool SourceRewind(PLYSource* s) {
  if (!s->kept) return false;
  s->at = 0;
  return true;
}

void SourceRelease(PLYSource* s) { s->keep = false; }

const unsigned char* SourceNeedMore(PLYSource* s, size_t size) {
  while (s->end - s->at < size) {
    if (Refill(s, size - (s->end - s->at)) == 0) return nullptr;
  }
  return s->data.data() + s->at;
}

size_t SourceRead(PLYSource* s, void* out, size_t size) {
  auto* to = static_cast<unsigned char*>(out);
  size_t done = 0;
  while (done < size) {
    if (s->at == s->end && Refill(s, size - done) == 0) break;
    const size_t step = std::min(s->end - s->at, size - done);
    std::memcpy(to + done, s->data.data() + s->at, step);
    s->at += step;
    done += step;
  }
  return done;
}

bool SourceSkip(PLYSource* s, uint64_t size) {
  while (size > 0) {
    if (s->at == s->end && Refill(s, kChunk) == 0) return false;
    const size_t step = static_cast<size_t>(std::min<uint64_t>(s->end - s->at, size));
    s->at += step;
    size -= step;
  }
  return true;
}

bool SourceBytesLeft(const PLYSource* s, uint64_t* left) {
  if (!FileBytesLeft(s->stream, left)) return false;
  *left += s->end - s->at;
  return true;
}

bool ParsePLYHeader(PLYSource* s, PLYHeader* header) {
  header->elements.clear();
  std::string line;
  std::string_view word[kMaxWords];
  size_t total = 0;
  if (!ReadHeaderLine(s, &line, &total) || SplitWords(line, word, kMaxWords) != 1 ||
      word[0] != "ply") {
    return false;
  }
  bool formatSeen = false;
  for (;;) {
    if (!ReadHeaderLine(s, &line, &total)) return false;  // no "end_header" line
    const int words = SplitWords(line, word, kMaxWords);
    if (words == 0 || word[0] == "comment" || word[0] == "obj_info") continue;
    if (word[0] == "end_header") {
      if (words != 1 || !formatSeen) return false;
      break;
    }
    if (word[0] == "format") {
      if (words != 3 || formatSeen || word[2] != "1.0") return false;
      if (word[1] == "ascii") {
        header->format = kPLYAscii;
      } else if (word[1] == "binary_little_endian") {
        header->format = kPLYLittleEndian;
      } else if (word[1] == "binary_big_endian") {
        header->format = kPLYBigEndian;
      } else {
        return false;
      }
      formatSeen = true;
    } else if (word[0] == "element") {
      PLYElement e;
      if (words != 3 || !ParseCount(word[2], &e.count)) return false;
      e.name = word[1];
      header->elements.push_back(std::move(e));
    } else if (word[0] == "property") {
      if (header->elements.empty()) return false;  // a property of no element
      PLYProperty p;
      if (words == 3 && ParseType(word[1], &p.type)) {
        p.countType = kPLYNoType;
        p.name = word[2];
      } else if (words == 5 && word[1] == "list" && ParseType(word[2], &p.countType) &&
                 IsPLYInteger(p.countType) && ParseType(word[3], &p.type)) {
        p.name = word[4];
      } else {
        return false;
      }
      header->elements.back().properties.push_back(std::move(p));
    } else {
      return false;
    }
  }
  for (PLYElement& e : header->elements) PlaceProperties(&e);
  return true;
}

bool FindPLYModel(const PLYHeader& header, PLYLayout* layout) {
  layout->vertex = layout->face = kPLYNone;
  for (size_t i = 0; i < header.elements.size(); ++i) {
    size_t* role = header.elements[i].name == "vertex" ? &layout->vertex
                   : header.elements[i].name == "face" ? &layout->face
                                                       : nullptr;
    if (role == nullptr) continue;
    if (*role != kPLYNone) return false;  // two of them: which is the model's?
    *role = i;
  }
  if (layout->vertex == kPLYNone || layout->face == kPLYNone) return false;
  const PLYElement& vertex = header.elements[layout->vertex];
  const PLYElement& face = header.elements[layout->face];
  if (vertex.count == 0 || face.count == 0) return false;
  constexpr std::string_view kAxes[3] = {"x", "y", "z"};
  for (int k = 0; k < 3; ++k) {
    layout->xyz[k] = FindScalar(vertex, kAxes[k]);
    if (layout->xyz[k] == kPLYNone) return false;
  }
  layout->list = kPLYNone;
  for (size_t i = 0; i < face.properties.size() && layout->list == kPLYNone; ++i) {
    const PLYProperty& p = face.properties[i];
    if ((p.name == "vertex_indices" || p.name == "vertex_index") && p.countType != kPLYNoType &&
        IsPLYInteger(p.type)) {
      layout->list = i;
    }
  }
  if (layout->list == kPLYNone) return false;
  FindColour(vertex, layout->vertexColour);
  FindColour(face, layout->faceColour);
  return true;
}

double DecodePLYValue(const unsigned char* bytes, PLYType type, bool big) {
  unsigned char b[8];
  LittleFirst(bytes, kPLYTypeSize[type], big, b);
  switch (type) {
    case kPLYChar: return static_cast<int8_t>(b[0]);
    case kPLYUchar: return b[0];
    case kPLYShort: return static_cast<int16_t>(GetLE16(b));
    case kPLYUshort: return GetLE16(b);
    case kPLYInt: return static_cast<int32_t>(GetLE32(b));
    case kPLYUint: return GetLE32(b);
    case kPLYFloat: return GetLEFloat(b);
    case kPLYDouble: return std::bit_cast<double>(GetLE64(b));
    case kPLYNoType: break;
  }
  return 0;
}

float DecodePLYFloat(const unsigned char* bytes, PLYType type, bool big) {
  if (type != kPLYFloat) return static_cast<float>(DecodePLYValue(bytes, type, big));
  unsigned char b[4];
  LittleFirst(bytes, 4, big, b);
  return GetLEFloat(b);
}

bool ReadPLYValue(PLYSource* s, PLYFormat format, PLYType type, double* value) {
  if (format != kPLYAscii) {
    const size_t size = kPLYTypeSize[type];
    const unsigned char* bytes = SourceNeed(s, size);
    if (bytes == nullptr) return false;
    *value = DecodePLYValue(bytes, type, format == kPLYBigEndian);
    SourceTake(s, size);
    return true;
  }
  // An ASCII value: a word between blanks, a decimal number as a whole; an integer
  // type takes only whole numbers.
  char word[kWordLimit];
  size_t length = 0;
  int c;
  while (IsBlank(c = SourceGet(s))) {
  }
  while (c != EOF && !IsBlank(c)) {
    if (length == kWordLimit) return false;
    word[length++] = static_cast<char>(c);
    c = SourceGet(s);
  }
  const char* first = word;
  if (length > 1 && word[0] == '+') ++first;  // from_chars takes no plus sign
  const auto [end, error] = std::from_chars(first, word + length, *value);
  if (length == 0 || error != std::errc() || end != word + length) return false;
  return !IsPLYInteger(type) || *value == std::floor(*value);
}

unsigned char PLYColourByte(double value, PLYType type) {
  if (!IsPLYInteger(type)) value = value * 255.0 + 0.5;  // 0 to 1, rounded to 0 to 255
  if (!(value > 0)) return 0;                            // not-a-number too
  if (value >= 255) return 255;
  return static_cast<unsigned char>(value);
}
