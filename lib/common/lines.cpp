#include "common/lines.h"

bool ReadTextLine(FILE* stream, std::string* line) {
  line->clear();
  int c;
  bool any = false;
  while ((c = std::getc(stream)) != EOF) {
    any = true;
    if (c == '\n') return true;
    line->push_back(static_cast<char>(c));
  }
  return any;
}

int SplitWords(std::string_view text, std::string_view* words, int max) {
  int count = 0;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i == text.size()) break;
    size_t start = i;
    while (i < text.size() && !IsBlank(text[i])) ++i;
    if (count < max) words[count] = text.substr(start, i - start);
    ++count;
  }
  return count;
}
