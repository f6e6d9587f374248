#include "zcp/words.h"

#include <cstring>
#include <string>
#include <string_view>

#include "common/lines.h"
#include "common/numbers.h"
#include "common/program.h"

namespace {

constexpr size_t kLineLimit = 255;  // characters of one header line, its line feed included
constexpr int kMaxWords = 5;        // words looked at on one line
constexpr char kMagic[] = "ply";

struct HeaderLine {
  char text[kLineLimit + 1];
  std::string_view word[kMaxWords];
  int words;  // how many of word[] are set
};

// Reads the next significant header line: lines with no word and lines whose first
// word is "comment" are passed over.
void Scan(FILE* stream, HeaderLine* line) {
  for (;;) {
    size_t used = 0;
    int c = EOF;
    while (used < kLineLimit && (c = std::getc(stream)) != EOF) {
      line->text[used++] = static_cast<char>(c);
      if (c == '\n') break;
    }
    if (used == 0 && c == EOF) FailLine("unexpected end of file.");
    if (line->text[used - 1] != '\n') FailLine("missing end of line.");
    // The words end at a NUL byte as they would in a C string.
    size_t length = strnlen(line->text, used);
    int total = SplitWords(std::string_view(line->text, length), line->word, kMaxWords);
    line->words = total < kMaxWords ? total : kMaxWords;
    if (line->words == 0 || line->word[0] == "comment") continue;
    return;
  }
}

// "element <name> <count>": the count, read as a signed number from the start of the
// word, must be above 0.
uint32_t CheckElement(FILE* stream, const char* name) {
  HeaderLine line;
  Scan(stream, &line);
  if (line.words >= 3 && line.word[0] == "element" && line.word[1] == name) {
    std::string count(line.word[2]);
    int value = ParseInt(count.c_str());
    if (value > 0) return static_cast<uint32_t>(value);
  }
  Fail("bad element specification for %s\n", name);
}

void CheckProperty(FILE* stream, const char* type, const char* name, const char* label) {
  HeaderLine line;
  Scan(stream, &line);
  if (line.words >= 3 && line.word[0] == "property" && line.word[1] == type &&
      line.word[2] == name) {
    return;
  }
  Fail("bad property specification for %s\n", label);
}

}  // namespace

void ReadWordHeader(FILE* stream, uint32_t* n, uint32_t* m) {
  // "ply" opens the file; the rest of its line has no word and is passed over by the
  // next Scan (a word there is taken as the format line).
  for (size_t i = 0; i < std::strlen(kMagic); ++i) {
    if (std::getc(stream) != kMagic[i]) FailLine("bad magic number.");
  }
  HeaderLine line;
  Scan(stream, &line);
  if (line.words != 3 || line.word[0] != "format" || line.word[1] != "binary_little_endian" ||
      line.word[2] != "1.0") {
    FailLine("bad format specification.");
  }

  *n = CheckElement(stream, "vertex");
  CheckProperty(stream, "float", "x", "vertex");
  CheckProperty(stream, "float", "y", "vertex");
  CheckProperty(stream, "float", "z", "vertex");
  *m = CheckElement(stream, "face");
  CheckProperty(stream, "uchar", "red", "face");
  CheckProperty(stream, "uchar", "green", "face");
  CheckProperty(stream, "uchar", "blue", "face");

  Scan(stream, &line);
  if (line.words != kMaxWords || line.word[0] != "property" || line.word[1] != "list" ||
      line.word[2] != "uchar" || line.word[3] != "int" || line.word[4] != "vertex_indices") {
    FailLine("bad vertex index specification for face.");
  }
  Scan(stream, &line);
  if (line.word[0] != "end_header") FailLine("missing end of header.");
}
