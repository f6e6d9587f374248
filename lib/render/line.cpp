#include "render/line.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdlib>

namespace {

// An integer as scanf's "%d" reads it (white space, a sign, digits), saturating at the
// int range instead of overflowing. False when no digit comes.
bool ReadInt(FILE* stream, int* value) {
  int c;
  do {
    c = std::getc(stream);
  } while (c != EOF && std::isspace(c));
  bool negative = false;
  if (c == '-' || c == '+') {
    negative = c == '-';
    c = std::getc(stream);
  }
  if (c == EOF || !std::isdigit(c)) return false;
  int64_t v = 0;
  for (; c != EOF && std::isdigit(c); c = std::getc(stream)) {
    if (v <= INT_MAX) v = v * 10 + (c - '0');
  }
  if (c != EOF) std::ungetc(c, stream);
  if (negative) v = -v;
  *value = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
  return true;
}

// Room for n floats, n counted without overflow.
bool Grow(float** array, size_t n) {
  if (n > SIZE_MAX / sizeof(float)) return false;
  auto* grown = static_cast<float*>(std::realloc(*array, n * sizeof(float)));
  if (grown == nullptr) return false;
  *array = grown;
  return true;
}

// The points of one polyline. The arrays grow with the points actually read, so a
// count far beyond the text takes no more memory than the text holds.
bool ReadPoints(FILE* stream, Polyline* line) {
  constexpr size_t kFirstRoom = 1024;
  const size_t n = static_cast<size_t>(line->count);
  size_t room = 0;
  for (size_t i = 0; i < n; ++i) {
    if (i == room) {
      room = room == 0 ? std::min(n, kFirstRoom) : (room > n / 2 ? n : 2 * room);
      if (!Grow(&line->xs, room) || !Grow(&line->ys, room) || !Grow(&line->zs, room)) {
        return false;
      }
    }
    if (std::fscanf(stream, "%f %f %f", &line->xs[i], &line->ys[i], &line->zs[i]) != 3) {
      return false;
    }
  }
  return true;
}

}  // namespace

Polyline* ReadPolylines(FILE* stream) {
  Polyline* head = nullptr;
  Polyline** tail = &head;
  int n;
  while (ReadInt(stream, &n) && n > 0) {
    auto* line = static_cast<Polyline*>(std::calloc(1, sizeof(Polyline)));
    if (line != nullptr) {
      *tail = line;
      tail = &line->next;
      line->count = n;
    }
    // Any failure makes the whole file unreadable: nothing of it is kept.
    if (line == nullptr || !ReadInt(stream, &line->red) || !ReadInt(stream, &line->green) ||
        !ReadInt(stream, &line->blue) || !ReadPoints(stream, line)) {
      FreeLine(head);
      return nullptr;
    }
  }
  return head;
}

void FreeLine(Polyline* list) {
  while (list != nullptr) {
    Polyline* next = list->next;
    std::free(list->xs);
    std::free(list->ys);
    std::free(list->zs);
    std::free(list);
    list = next;
  }
}
