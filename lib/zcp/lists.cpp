#include "zcp/lists.h"

#include <cstdlib>
#include <cstring>

#include "common/lines.h"

namespace {

constexpr uint32_t kMaxChannel = 255;

size_t SkipSpace(std::string_view text, size_t pos) {
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  return pos;
}

// The next word (a run of characters other than white space) from text[*pos] on.
bool ScanWord(std::string_view text, size_t* pos, std::string_view* word) {
  size_t start = SkipSpace(text, *pos);
  size_t end = start;
  while (end < text.size() && !IsBlank(text[end])) ++end;
  if (end == start) return false;
  *word = text.substr(start, end - start);
  *pos = end;
  return true;
}

// A colour word: it must start with a number, which must be at most 255.
bool ColourValue(std::string_view word, unsigned char* channel) {
  size_t pos = 0;
  uint32_t value;
  if (!ScanUnsigned(word, &pos, &value) || value > kMaxChannel) return false;
  *channel = static_cast<unsigned char>(value);
  return true;
}

}  // namespace

bool ReadListLine(FILE* stream, ListLine* line) {
  // A text that did not end its line (cut at the limit) is followed by the same line.
  if (line->lineEnd) ++line->number;
  size_t used = 0;
  int c;
  while (used < kListLineLimit && (c = std::getc(stream)) != EOF) {
    line->text[used++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  line->text[used] = '\0';
  line->length = std::strlen(line->text);
  if (used == 0) {
    if (!line->lineEnd) ++line->number;  // the last line had no line feed
    line->lineEnd = true;
    return false;
  }
  line->lineEnd = line->text[used - 1] == '\n';
  return true;
}

bool ScanUnsigned(std::string_view text, size_t* pos, uint32_t* value) {
  size_t p = SkipSpace(text, *pos);
  bool negative = false;
  if (p < text.size() && (text[p] == '+' || text[p] == '-')) negative = text[p++] == '-';
  if (p >= text.size() || text[p] < '0' || text[p] > '9') return false;
  uint64_t v = 0;
  bool over = false;
  for (; p < text.size() && text[p] >= '0' && text[p] <= '9'; ++p) {
    if (!over) v = v * 10 + static_cast<uint64_t>(text[p] - '0');
    if (v > UINT32_MAX) over = true;
  }
  if (over) {
    *value = UINT32_MAX;
  } else {
    *value = negative ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
  }
  *pos = p;
  return true;
}

bool ParseCounts(const ListLine& line, uint32_t* n, uint32_t* m) {
  std::string_view text(line.text, line.length);
  size_t pos = 0;
  return ScanUnsigned(text, &pos, n) && ScanUnsigned(text, &pos, m) && *n != 0 && *m != 0;
}

bool ParseVertex(const ListLine& line, float v[3]) {
  const char* p = line.text;
  for (int i = 0; i < 3; ++i) {
    char* end;
    v[i] = std::strtof(p, &end);
    if (end == p) return false;
    p = end;
  }
  return true;
}

bool ParseFace(const ListLine& line, uint32_t n, const unsigned char colour[3], ZCPFace* face) {
  std::string_view text(line.text, line.length);
  size_t pos = 0;
  for (uint32_t& index : face->index) {
    if (!ScanUnsigned(text, &pos, &index)) return false;
  }
  std::string_view word[3];
  int words = 0;
  while (words < 3 && ScanWord(text, &pos, &word[words])) ++words;

  unsigned char rgb[3] = {colour[0], colour[1], colour[2]};
  if (words == 1) {
    if (!ColourValue(word[0], &rgb[0])) return false;
    rgb[1] = rgb[2] = rgb[0];  // a grey level
  } else if (words == 3) {
    for (int i = 0; i < 3; ++i) {
      if (!ColourValue(word[i], &rgb[i])) return false;
    }
  } else if (words != 0) {
    return false;
  }
  for (uint32_t index : face->index) {
    if (index >= n) return false;
  }
  face->red = rgb[0];
  face->green = rgb[1];
  face->blue = rgb[2];
  return true;
}
