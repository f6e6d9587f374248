// Streams that close themselves, for the paths that leave a function early.
//
//   Stream s{OpenInput(arg)};    closed when s goes, unless it is stdin or stdout
//   CloseOutput(s.release())     the checked close of an output, done explicitly
#pragma once

#include <cstdio>
#include <memory>

#include "common/program.h"

struct CloseStream {
  void operator()(FILE* stream) const {
    if (stream != stdin && stream != stdout) CloseFile(stream);
  }
};
using Stream = std::unique_ptr<FILE, CloseStream>;
