// Fast text output of numbers with the digits printf would give.
//
//   TextOut out{stream};     a 64 KiB buffer in front of a stdio stream
//   out.Text("abc")          literal text
//   out.Char('\t')           one character
//   out.Fixed(v)             v as printf("%f") prints it (precision 6)
//   out.Fixed(v, p)          v as printf("%.*f", p, v), p from 0 to 60
//   out.Int(v)               v as printf("%d") / ("%lld") prints it
//   out.Flush()              hand the buffered text to the stream
// The destructor flushes. Write errors are left in the stream's error flag,
// which FinishOutput / CloseOutput check.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string_view>

struct TextOut {
  static constexpr size_t kSize = 1 << 16;
  static constexpr size_t kRoom = 400;  // the longest single item ("%f" of 1e308 is 316 chars)

  FILE* stream;
  size_t used = 0;
  char buf[kSize];

  explicit TextOut(FILE* s) : stream(s) {}
  ~TextOut() { Flush(); }
  TextOut(const TextOut&) = delete;
  TextOut& operator=(const TextOut&) = delete;

  void Flush();
  void Reserve(size_t n) {
    if (used + n > kSize) Flush();
  }
  void Char(char c) {
    Reserve(1);
    buf[used++] = c;
  }
  void Text(std::string_view s);
  void Fixed(double v, int precision = 6);
  void Int(long long v);
};

// Writes v as printf("%.*f") would into p (room for TextOut::kRoom chars); returns the end.
char* FormatFixed(char* p, double v, int precision = 6);
