// The string table of an LZW encoder for 8-bit symbols and codes of up to 12 bits,
// shared by the GIF and the TIFF writers. Each writer keeps its own code widths, bit
// order, clear rule and end handling; the table only answers "which code stands for
// the string (prefix code, byte)?".
//
//   LZWTable                       one table, empty when zero-initialised (a
//                                  file-local variable of the encoder)
//   LZWFind(table, prefix, byte)   the code of the string, 0 when it is not entered
//   LZWEnter(table, prefix, byte, code)
//                                  enters a new string (code 1..4095, at most
//                                  kLZWMaxEntries strings between clears)
//   LZWClear(table)                forgets every string entered since the last clear
//   LZWMatch(table, &prefix, bytes, count)
//                                  extends the string matched so far (prefix) along
//                                  bytes while the table knows the longer string;
//                                  returns how many bytes it took (count when all)
//
// The table is indexed directly by byte * 4096 + prefix: 256 x 4096 codes of 16 bits
// (2 MiB of zeroed static storage, touched only where strings are entered). Byte
// major, because the strings a picture extends most end in the same few bytes while
// their prefixes are codes made close together: a run of one colour walks one 8 KiB
// band of the table rather than a cache line in every 512 bytes of it. Clearing visits only the entries of the last generation,
// whose positions are listed as they are made, so a clear costs what was entered.
// Code 0 is never entered by an encoder (codes 0..255 are the single bytes and are
// never looked up as strings), so 0 marks an absent string.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kLZWPrefixes = 4096;     // 12-bit prefix codes
constexpr int kLZWMaxEntries = 4096;   // strings entered between two clears, at most

struct LZWTable {
  uint16_t code[256 * kLZWPrefixes];    // the code of (prefix, byte), 0 when absent
  uint32_t made[kLZWMaxEntries];        // positions in code[] entered since the last clear
  int count;                            // entries in made[]
};

inline int LZWFind(const LZWTable& table, int prefix, int byte) {
  return table.code[(static_cast<uint32_t>(byte) << 12) | static_cast<uint32_t>(prefix)];
}

inline void LZWEnter(LZWTable& table, int prefix, int byte, int code) {
  const uint32_t at = (static_cast<uint32_t>(byte) << 12) | static_cast<uint32_t>(prefix);
  table.code[at] = static_cast<uint16_t>(code);
  table.made[table.count++] = at;
}

inline void LZWClear(LZWTable& table) {
  for (int i = 0; i < table.count; ++i) table.code[table.made[i]] = 0;
  table.count = 0;
}

// The encoders' inner loop: one table read a byte while the string keeps growing.
inline size_t LZWMatch(const LZWTable& table, int* prefix, const unsigned char* bytes,
                       size_t count) {
  uint32_t p = static_cast<uint32_t>(*prefix);
  size_t i = 0;
  while (i < count) {
    const uint32_t c = table.code[(static_cast<uint32_t>(bytes[i]) << 12) | p];
    if (c == 0) break;
    p = c;
    ++i;
  }
  *prefix = static_cast<int>(p);
  return i;
}
