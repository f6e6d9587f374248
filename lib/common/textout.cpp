#include "common/textout.h"

#include <charconv>
#include <cmath>
#include <cstring>

char* FormatFixed(char* p, double v, int precision) {
  if (!std::isfinite(v)) {
    // "inf", "-inf", "nan", "-nan": the C library's own spelling.
    int n = std::snprintf(p, TextOut::kRoom, "%.*f", precision, v);
    return p + n;
  }
  // to_chars with a precision rounds the exact binary value correctly, ties to even,
  // as glibc's printf does in the default rounding mode.
  auto result = std::to_chars(p, p + TextOut::kRoom, v, std::chars_format::fixed, precision);
  return result.ptr;
}

void TextOut::Flush() {
  if (used > 0) std::fwrite(buf, 1, used, stream);
  used = 0;
}

void TextOut::Text(std::string_view s) {
  if (s.size() > kSize) {
    Flush();
    std::fwrite(s.data(), 1, s.size(), stream);
    return;
  }
  Reserve(s.size());
  std::memcpy(buf + used, s.data(), s.size());
  used += s.size();
}

void TextOut::Fixed(double v, int precision) {
  Reserve(kRoom);
  used = static_cast<size_t>(FormatFixed(buf + used, v, precision) - buf);
}

void TextOut::Int(long long v) {
  Reserve(24);
  used = static_cast<size_t>(std::to_chars(buf + used, buf + kSize, v).ptr - buf);
}
