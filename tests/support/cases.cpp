#include "support/cases.h"

#include <gtest/gtest.h>

#include <algorithm>

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

namespace {

// The first line of err that is neither a message (a line ending in a full stop) nor known.
std::string FirstOtherLine(const std::string& err, const std::vector<std::string>& known) {
  for (size_t start = 0; start < err.size();) {
    const size_t end = err.find('\n', start);
    if (end == std::string::npos) return err.substr(start);
    const std::string line = err.substr(start, end + 1 - start);
    const bool message = end > start && err[end - 1] == '.';
    if (!message && std::find(known.begin(), known.end(), line) == known.end()) return line;
    start = end + 1;
  }
  return "";
}

}  // namespace

testing::AssertionResult OnlyMessages(const std::string& err,
                                      const std::vector<std::string>& known) {
  const std::string line = FirstOtherLine(err, known);
  if (line.empty()) return testing::AssertionSuccess();
  return testing::AssertionFailure()
         << "not a one-line message ending in a full stop: " << testing::PrintToString(line)
         << " in\n"
         << err.substr(0, 2000);
}
