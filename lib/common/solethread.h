// Streams that one thread alone uses.
//
//   SoleThread(stream)   stdio skips its per-call lock on the stream from now on
// The programs run on one thread, and the STL tools make two or three stdio calls
// per 50-byte facet, so the locking is a fair part of their time. Where the C
// library has no such switch this does nothing.
#pragma once

#include <cstdio>
#if __has_include(<stdio_ext.h>)
#include <stdio_ext.h>
#endif

inline void SoleThread([[maybe_unused]] FILE* stream) {
#if defined(FSETLOCKING_BYCALLER)
  __fsetlocking(stream, FSETLOCKING_BYCALLER);
#endif
}
