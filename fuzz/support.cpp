#include "support.h"

#include "common/program.h"

namespace {
[[noreturn]] void ThrowStop(int status) { throw FuzzStop{status}; }
}  // namespace

FuzzGuard::FuzzGuard() { SetExitHandler(ThrowStop); }
FuzzGuard::~FuzzGuard() { SetExitHandler(nullptr); }

FILE* MemoryStream(const uint8_t* data, size_t size) {
  // fmemopen refuses a zero-sized buffer; an empty file reads the same.
  if (size == 0) return std::fopen("/dev/null", "rb");
  // Read-only, so the fuzzer's bytes are never written to.
  return fmemopen(const_cast<uint8_t*>(data), size, "rb");
}
