#include "zcp/words.h"

#include <cstring>
#include <string>
#include <string_view>

#include "common/lines.h"
#include "common/numbers.h"
#include "zcp/ply.h"

namespace {

constexpr size_t kLineLimit = 255;  // characters of one header line, its line feed included
constexpr int kMaxWords = 5;        // words looked at on one line
constexpr char kMagic[] = "ply";

// The messages, each with its line feed.
constexpr const char kEndOfFile[] = "unexpected end of file.\n";
constexpr const char kNoLineEnd[] = "missing end of line.\n";

struct HeaderLine {
  char text[kLineLimit + 1];
  std::string_view word[kMaxWords];
  int words;  // how many of word[] are set
};

// Reads the next significant header line: lines with no word and lines whose first
// word is "comment" are passed over. Returns null or the fault's message.
const char* Scan(PLYSource* source, HeaderLine* line) {
  for (;;) {
    size_t used = 0;
    int c = EOF;
    while (used < kLineLimit && (c = SourceGet(source)) != EOF) {
      line->text[used++] = static_cast<char>(c);
      if (c == '\n') break;
    }
    if (used == 0 && c == EOF) return kEndOfFile;
    if (line->text[used - 1] != '\n') return kNoLineEnd;
    // The words end at a NUL byte as they would in a C string.
    size_t length = strnlen(line->text, used);
    int total = SplitWords(std::string_view(line->text, length), line->word, kMaxWords);
    line->words = total < kMaxWords ? total : kMaxWords;
    if (line->words == 0 || line->word[0] == "comment") continue;
    return nullptr;
  }
}

// "element <name> <count>": the count, read as a signed number from the start of the
// word, must be above 0. Returns null or the fault's message.
const char* CheckElement(PLYSource* source, const char* name, const char* message,
                         uint32_t* count) {
  HeaderLine line;
  if (const char* fault = Scan(source, &line)) return fault;
  if (line.words >= 3 && line.word[0] == "element" && line.word[1] == name) {
    std::string text(line.word[2]);
    int value = ParseInt(text.c_str());
    if (value > 0) {
      *count = static_cast<uint32_t>(value);
      return nullptr;
    }
  }
  return message;
}

// "property <type> <name>" for each of the three names, in order.
const char* CheckProperties(PLYSource* source, const char* type, const char* const names[3],
                            const char* message) {
  for (int i = 0; i < 3; ++i) {
    HeaderLine line;
    if (const char* fault = Scan(source, &line)) return fault;
    if (line.words < 3 || line.word[0] != "property" || line.word[1] != type ||
        line.word[2] != names[i]) {
      return message;
    }
  }
  return nullptr;
}

}  // namespace

const char* ReadWordHeader(PLYSource* source, uint32_t* n, uint32_t* m) {
  // "ply" opens the file; the rest of its line has no word and is passed over by the
  // next Scan (a word there is taken as the format line).
  for (size_t i = 0; i < std::strlen(kMagic); ++i) {
    if (SourceGet(source) != kMagic[i]) return "bad magic number.\n";
  }
  HeaderLine line;
  if (const char* fault = Scan(source, &line)) return fault;
  if (line.words != 3 || line.word[0] != "format" || line.word[1] != "binary_little_endian" ||
      line.word[2] != "1.0") {
    return "bad format specification.\n";
  }

  static const char* const kAxes[3] = {"x", "y", "z"};
  static const char* const kChannels[3] = {"red", "green", "blue"};
  const char* fault;
  if ((fault = CheckElement(source, "vertex", "bad element specification for vertex\n", n)) ||
      (fault =
           CheckProperties(source, "float", kAxes, "bad property specification for vertex\n")) ||
      (fault = CheckElement(source, "face", "bad element specification for face\n", m)) ||
      (fault =
           CheckProperties(source, "uchar", kChannels, "bad property specification for face\n")) ||
      (fault = Scan(source, &line))) {
    return fault;
  }
  if (line.words != kMaxWords || line.word[0] != "property" || line.word[1] != "list" ||
      line.word[2] != "uchar" || line.word[3] != "int" || line.word[4] != "vertex_indices") {
    return "bad vertex index specification for face.\n";
  }
  if ((fault = Scan(source, &line))) return fault;
  if (line.word[0] != "end_header") return "missing end of header.\n";
  return nullptr;
}
