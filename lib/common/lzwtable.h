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
// The strings sit in an open-addressed hash table of 8192 slots of 32 bits (the
// string's 20-bit key and its 12-bit code), at most half full, so that the whole table
// stays in the first-level cache: a lookup is one or two reads there, where a table
// indexed by (byte, prefix) spread a frame's strings over 2 MiB and missed that cache
// at most steps. Clearing empties only the slots of the last generation, whose
// positions are listed as they are filled, so a clear costs what was entered.
// Code 0 is never entered by an encoder (codes 0..255 are the single bytes and are
// never looked up as strings), so 0 marks an absent string and an empty slot.
//
// Runs of one byte are the bulk of a picture's background. The table also knows, for
// each byte b, the codes of b, bb, bbb, ... up to the longest such string entered
// (every shorter one is entered before it), so a match that has reached b repeated
// jumps along a run of b in the input at once instead of byte by byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

constexpr int kLZWPrefixes = 4096;    // 12-bit prefix codes
constexpr int kLZWMaxEntries = 4096;  // strings entered between two clears, at most
constexpr int kLZWSlotBits = 13;      // twice the slots of the strings, at most half full
constexpr uint32_t kLZWSlots = 1u << kLZWSlotBits;

struct LZWTable {
  uint32_t slot[kLZWSlots];              // string << 12 | code, 0 when empty
  uint16_t made[kLZWMaxEntries];         // the slots filled since the last clear
  int count;                             // entries in made[]
  uint16_t runLength[kLZWPrefixes];      // n when the code stands for one byte n times, else 0
  unsigned char runByte[kLZWPrefixes];   // that byte
  uint16_t longestRun[256];              // the longest run of each byte entered
  uint16_t runCode[256 * kLZWPrefixes];  // byte * 4096 + n: the code of the byte n times
};

// The string (prefix, byte) as a 20-bit key, and its first slot.
inline uint32_t LZWKey(uint32_t prefix, uint32_t byte) { return prefix << 8 | byte; }
inline uint32_t LZWSlot(uint32_t key) { return (key * 2654435761u) >> (32 - kLZWSlotBits); }

// The code of the string, 0 when it is not entered: the slots from its first one on
// are read until the string or an empty slot.
inline uint32_t LZWLookUp(const LZWTable& table, uint32_t key) {
  for (uint32_t h = LZWSlot(key);; h = (h + 1) & (kLZWSlots - 1)) {
    const uint32_t e = table.slot[h];
    if (e == 0) return 0;
    if (e >> 12 == key) return e & 0xFFF;
  }
}

inline int LZWFind(const LZWTable& table, int prefix, int byte) {
  return static_cast<int>(
      LZWLookUp(table, LZWKey(static_cast<uint32_t>(prefix), static_cast<uint32_t>(byte))));
}

inline void LZWEnter(LZWTable& table, int prefix, int byte, int code) {
  const uint32_t key = LZWKey(static_cast<uint32_t>(prefix), static_cast<uint32_t>(byte));
  uint32_t h = LZWSlot(key);
  while (table.slot[h] != 0) h = (h + 1) & (kLZWSlots - 1);
  table.slot[h] = key << 12 | static_cast<uint32_t>(code);
  table.made[table.count++] = static_cast<uint16_t>(h);
  const unsigned n = table.runLength[prefix];
  if (n != 0 && table.runByte[prefix] == byte) {
    table.runLength[code] = static_cast<uint16_t>(n + 1);
    table.runByte[code] = static_cast<unsigned char>(byte);
    table.longestRun[byte] = static_cast<uint16_t>(n + 1);
    table.runCode[(static_cast<uint32_t>(byte) << 12) | (n + 1)] = static_cast<uint16_t>(code);
  } else {
    table.runLength[code] = 0;
  }
}

// Also makes the single bytes the runs of length 1 (a table never cleared has no runs
// and matches byte by byte).
inline void LZWClear(LZWTable& table) {
  for (int i = 0; i < table.count; ++i) table.slot[table.made[i]] = 0;
  table.count = 0;
  for (uint32_t b = 0; b < 256; ++b) {
    table.runLength[b] = 1;
    table.runByte[b] = static_cast<unsigned char>(b);
    table.longestRun[b] = 1;
    table.runCode[(b << 12) | 1] = static_cast<uint16_t>(b);
  }
}

// The number of bytes from bytes[0] on that equal b, at most count. Called once a run,
// not a byte, so it stays a call.
[[gnu::noinline]] inline size_t LZWRunOf(const unsigned char* bytes, size_t count,
                                         unsigned char b) {
  const uint64_t all = 0x0101010101010101u * b;
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    uint64_t v;
    std::memcpy(&v, bytes + i, 8);
    if (v != all) break;
  }
  while (i < count && bytes[i] == b) ++i;
  return i;
}

// The encoders' inner loop: one table read a byte while the string keeps growing, and
// one jump for a run of the byte the string repeats.
inline size_t LZWMatch(const LZWTable& table, int* prefix, const unsigned char* bytes,
                       size_t count) {
  uint32_t p = static_cast<uint32_t>(*prefix);
  size_t i = 0;
  while (i < count) {
    const uint32_t b = bytes[i];
    const uint32_t have = table.runLength[p];
    if (have != 0 && table.runByte[p] == b) {
      // The run is read only as far as it can matter: one byte past the longest
      // string of it.
      const uint32_t longest = table.longestRun[b];
      if (have == longest) break;  // no longer run of b is entered
      const size_t most = longest - have + 1;
      const size_t limit = count - i < most ? count - i : most;
      size_t n = 1;  // bytes[i] is b
      if (limit <= 8) {
        while (n < limit && bytes[i + n] == b) ++n;
      } else {
        n = LZWRunOf(bytes + i, limit, static_cast<unsigned char>(b));
      }
      const size_t want = have + n;
      const uint32_t reach = want < longest ? static_cast<uint32_t>(want) : longest;
      p = table.runCode[(b << 12) | reach];
      i += reach - have;
      if (reach < want) break;  // the run goes on past the longest string of it
      continue;
    }
    const uint32_t c = LZWLookUp(table, LZWKey(p, b));
    if (c == 0) break;
    p = c;
    ++i;
  }
  *prefix = static_cast<int>(p);
  return i;
}
