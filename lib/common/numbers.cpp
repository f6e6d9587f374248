#include "common/numbers.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "common/program.h"

namespace {

// True when nothing but blanks follows the number that ends at end.
bool OnlyBlanks(const char* end) {
  while (*end == ' ' || (*end >= '\t' && *end <= '\r')) ++end;
  return *end == '\0';
}

}  // namespace

double ParseReal(const char* text) { return std::strtod(text, nullptr); }

// from_chars and strtod both round correctly, so they agree wherever from_chars
// accepts the text; strtod keeps the forms from_chars leaves out (leading white
// space, a plus sign, hexadecimal) and the text that holds no number at all.
double ParseRealText(const char* text) {
  const char* p = text;
  if (*p == '-') ++p;
  if ((*p >= '0' && *p <= '9') || *p == '.') {
    const char* end = text + std::strlen(text);
    bool hex = p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
    double v;
    auto result = std::from_chars(text, end, v);
    if (!hex && result.ec == std::errc()) return v;
  }
  return std::strtod(text, nullptr);
}

int ParseInt(const char* text) {
  long long v = std::strtoll(text, nullptr, 10);  // saturates at LLONG_MIN / LLONG_MAX
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

// strtod and strtol skip the leading blanks themselves; an empty or all-blank text
// leaves end at text. A command-line number must be finite: "nan", "inf" and a number
// that overflows a double (strtod gives +-HUGE_VAL) would pass through every
// computation and come out as a model or a picture of nothing.
bool ReadReal(const char* text, double* value) {
  char* end;
  const double v = std::strtod(text, &end);
  if (end == text || !OnlyBlanks(end) || !std::isfinite(v)) return false;
  *value = v;
  return true;
}

bool ReadWhole(const char* text, int* value) {
  char* end;
  const long long v = std::strtoll(text, &end, 10);  // saturates at LLONG_MIN / LLONG_MAX
  if (end == text || !OnlyBlanks(end)) return false;
  if (!std::isfinite(std::strtod(text, nullptr))) return false;  // digits beyond a double
  *value = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
  return true;
}

void NotANumber(const char* word) { Fail("%s : not a number.\n", word); }

double RealArgument(const char* word) {
  double v;
  if (!ReadReal(word, &v)) NotANumber(word);
  return v;
}

int WholeArgument(const char* word) {
  int v;
  if (!ReadWhole(word, &v)) NotANumber(word);
  return v;
}

int ToInt(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return INT_MAX;
  if (v <= -2147483648.0) return INT_MIN;
  return static_cast<int>(v);
}

namespace {

// A width or precision of digits at *p, moved past: false above kMaxFormatField, so
// that no conversion can ask printf for gigabytes.
bool FieldFits(const char** p) {
  long long value = 0;
  for (; **p >= '0' && **p <= '9'; ++*p) {
    value = value * 10 + (**p - '0');
    if (value > kMaxFormatField) return false;
  }
  return true;
}

}  // namespace

bool IsFormat(const char* format, std::string_view conversions, bool allowLong) {
  int found = 0;
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%') continue;
    ++p;
    if (*p == '%') continue;
    while (*p == '-' || *p == '+' || *p == ' ' || *p == '#' || *p == '0') ++p;
    if (!FieldFits(&p)) return false;
    if (*p == '.') {
      ++p;
      if (!FieldFits(&p)) return false;
    }
    if (allowLong && *p == 'l') ++p;
    if (*p == '\0' || conversions.find(*p) == std::string_view::npos) return false;
    ++found;
  }
  return found == 1;
}
