// Little-endian values in files, whatever the host's byte order.
//
//   HostIsLittleEndian()       the 16-bit value 0x1234 stored with 0x34 first
//   GetLE16/GetLE32/GetLE64/GetLEFloat read a value from 2, 4 or 8 bytes
//   PutLE16/PutLE32/PutLEFloat write a value as 2 or 4 bytes
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

inline bool HostIsLittleEndian() {
  const uint16_t probe = 0x1234;
  unsigned char first;
  std::memcpy(&first, &probe, 1);
  return first == 0x34;
}

inline uint16_t GetLE16(const unsigned char* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t GetLE32(const unsigned char* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
inline uint64_t GetLE64(const unsigned char* p) {
  return GetLE32(p) | uint64_t{GetLE32(p + 4)} << 32;
}
inline float GetLEFloat(const unsigned char* p) { return std::bit_cast<float>(GetLE32(p)); }

inline void PutLE16(unsigned char* p, uint16_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}
inline void PutLE32(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}
inline void PutLEFloat(unsigned char* p, float v) { PutLE32(p, std::bit_cast<uint32_t>(v)); }
