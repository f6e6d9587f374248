// The colour attribute of a binary STL facet (16 bits):
//   bit 15       colour flag (1 = the facet has a colour; as a signed word: negative)
//   bits 10..14  red, 0..31
//   bits 5..9    green, 0..31
//   bits 0..4    blue, 0..31
// The word 0 means no colour; ASCII facets always carry 0.
//
//   HasColour(word)             bit 15 set
//   Red5/Green5/Blue5(word)     the five-bit channels
//   ExpandChannel(c)            five bits to 0..255: trunc(c / 31 * 255 + 0.5)
//   TruncateChannel(v)          0..255 to five bits: the top five bits
//   RoundChannel(v)             0..255 to five bits: trunc(v * 31 / 255 + 0.5)
//   ColourWord(r5, g5, b5)      the flag and three five-bit channels
//   SurfaceColourWord(r, g, b)  the word for three channel words given as text (read like
//                               atoi, each kept to its top five bits); "bad surface
//                               color." and status 1 unless each is 0 to 255
#pragma once

#include <cstdint>

#include "common/numbers.h"
#include "common/program.h"

constexpr uint16_t kColourFlag = 0x8000;

constexpr bool HasColour(uint16_t word) { return (word & kColourFlag) != 0; }
constexpr int Red5(uint16_t word) { return (word >> 10) & 31; }
constexpr int Green5(uint16_t word) { return (word >> 5) & 31; }
constexpr int Blue5(uint16_t word) { return word & 31; }

inline int ExpandChannel(int c) { return static_cast<int>(c / 31.0 * 255.0 + 0.5); }
constexpr int TruncateChannel(int v) { return (v & 0xF8) >> 3; }
inline int RoundChannel(double v) { return static_cast<int>(v * 31 / 255 + 0.5); }

constexpr uint16_t ColourWord(int r5, int g5, int b5) {
  return static_cast<uint16_t>(kColourFlag | (r5 << 10) | (g5 << 5) | b5);
}

inline uint16_t SurfaceColourWord(const char* r, const char* g, const char* b) {
  const int rgb[3] = {ParseInt(r), ParseInt(g), ParseInt(b)};
  for (int v : rgb) {
    if (!InRange(v, 0, 255)) Fail("bad surface color.\n");
  }
  return ColourWord(TruncateChannel(rgb[0]), TruncateChannel(rgb[1]), TruncateChannel(rgb[2]));
}
