// Text lines of any length, split into words.
//
//   ReadTextLine(stream, &line)     the next line whole, without its line feed; false at
//                                   the end of the input when nothing is left
//   SplitWords(text, words, max)    the blank-separated words of text; stores at most max
//                                   views into words[] and returns how many words the text
//                                   holds in all
//   IsBlank(c)                      c is a blank: space, tab, carriage return, line feed,
//                                   vertical tab or form feed (never EOF)
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

inline bool IsBlank(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool ReadTextLine(FILE* stream, std::string* line);
int SplitWords(std::string_view text, std::string_view* words, int max);
