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
//   SurfaceColour(r, g, b, rgb) three channel words given as text, read like atoi, into
//                               rgb[]; "bad surface color." and status 1 unless each
//                               is 0 to 255
//   SurfaceColourWord(r, g, b)  the word for such a colour, each channel kept to its top
//                               five bits
//
// The other colour form in wide use marks itself with "COLOR=" in the 80-byte header,
// followed by the object's red, green, blue and alpha bytes. Its words:
//   bit 15 clear  the facet's own colour: red in bits 0..4, green 5..9, blue 10..14
//   bit 15 set    the facet takes the object's colour
//   FindColourHeader(header, rgba)
//                               true when "COLOR=" and its four bytes lie in the 80
//                               header bytes; the bytes go to rgba[]
//   FromObjectForm(word, object)
//                               such a word as a colour word (object: the object's colour)
//   ToObjectForm(word)          a colour word in that form; no colour: the object's
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

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

inline void SurfaceColour(const char* r, const char* g, const char* b, int rgb[3]) {
  rgb[0] = ParseInt(r);
  rgb[1] = ParseInt(g);
  rgb[2] = ParseInt(b);
  for (int i = 0; i < 3; ++i) {
    if (!InRange(rgb[i], 0, 255)) Fail("bad surface color.\n");
  }
}

inline uint16_t SurfaceColourWord(const char* r, const char* g, const char* b) {
  int rgb[3];
  SurfaceColour(r, g, b, rgb);
  return ColourWord(TruncateChannel(rgb[0]), TruncateChannel(rgb[1]), TruncateChannel(rgb[2]));
}

constexpr char kObjectColourTag[] = "COLOR=";
constexpr size_t kObjectColourTagSize = 6;
constexpr uint16_t kObjectColourFlag = 0x8000;  // in the other form: "take the object's colour"

inline bool FindColourHeader(const unsigned char header[80], unsigned char rgba[4]) {
  // The tag and its four bytes must end within the header.
  for (size_t i = 0; i + kObjectColourTagSize + 4 <= 80; ++i) {
    if (std::memcmp(header + i, kObjectColourTag, kObjectColourTagSize) == 0) {
      std::memcpy(rgba, header + i + kObjectColourTagSize, 4);
      return true;
    }
  }
  return false;
}

constexpr uint16_t FromObjectForm(uint16_t word, uint16_t object) {
  if ((word & kObjectColourFlag) != 0) return object;
  return ColourWord(word & 31, (word >> 5) & 31, (word >> 10) & 31);
}

constexpr uint16_t ToObjectForm(uint16_t word) {
  if (!HasColour(word)) return kObjectColourFlag;
  return static_cast<uint16_t>(Red5(word) | (Green5(word) << 5) | (Blue5(word) << 10));
}
