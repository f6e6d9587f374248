// Helpers for fuzz targets.
//
//   FuzzGuard guard;             while alive, a fatal exit of the code under test throws
//                                FuzzStop instead of ending the process
//   try { ... } catch (const FuzzStop&) {}
//                                a fatal exit is an expected outcome, not a crash
//   MemoryStream(data, size)     a read-only stdio stream over the bytes (close it)
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

struct FuzzStop {
  int status;
};

struct FuzzGuard {
  FuzzGuard();
  ~FuzzGuard();
  FuzzGuard(const FuzzGuard&) = delete;
  FuzzGuard& operator=(const FuzzGuard&) = delete;
};

FILE* MemoryStream(const uint8_t* data, size_t size);
