#include "support/cases.h"

#include <gtest/gtest.h>

#include "support/run.h"

void ExpectRuns(const std::string& cwd, const std::vector<RunCase>& cases) {
  for (const RunCase& c : cases) {
    std::string name = c.name;
    if (name.empty()) {
      for (const std::string& word : c.command) name += (name.empty() ? "" : " ") + word;
    }
    std::vector<std::string> args(c.command.begin() + 1, c.command.end());
    RunResult r = Run(c.command.front(), args, c.input, cwd);
    EXPECT_EQ(r.status, c.status) << name;
    EXPECT_EQ(r.err, c.err) << name;
    if (c.out) {
      EXPECT_EQ(r.out, *c.out) << name;
    }
  }
}

std::string BadMessageLine(const std::string& err) {
  for (size_t start = 0; start < err.size();) {
    size_t end = err.find('\n', start);
    if (end == std::string::npos) return err.substr(start);
    if (end == start || err[end - 1] != '.') return err.substr(start, end + 1 - start);
    start = end + 1;
  }
  return "";
}
