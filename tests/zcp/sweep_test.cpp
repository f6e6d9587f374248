// Every byte of a valid ZCP file flipped, and the file cut off after every byte, read
// by the two header readers' programs (cplydump for the strict reader and the record
// checks that cplyworld and cplyscale share, cplytomesh for the word reader): each run
// must end with status 0 or 1, never with a crash, and print nothing on standard error
// but one-line messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/cases.h"
#include "support/run.h"
#include "zcpfiles.h"

namespace {

const std::string kModel =
    ZCPFile({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 1},
            {{255, 0, 10, {0, 1, 2}}, {1, 2, 3, {1, 3, 2}}, {9, 9, 9, {3, 0, 2}}});

// The word reader's header messages end without a full stop; the program tests pin
// them as they are.
const std::vector<std::string> kWithoutFullStop = {
    "bad element specification for vertex\n", "bad element specification for face\n",
    "bad property specification for vertex\n", "bad property specification for face\n"};

void Sweep(const std::string& program, std::vector<std::string> args) {
  std::vector<std::string> inputs;
  for (size_t i = 0; i < kModel.size(); ++i) {
    std::string flipped = kModel;
    flipped[i] = static_cast<char>(~flipped[i]);
    inputs.push_back(flipped);
    inputs.push_back(kModel.substr(0, i));
  }
  int failures = 0;
  for (const std::string& input : inputs) {
    RunResult r = Run(program, args, input);
    if (r.status != 0 && r.status != 1) {
      ADD_FAILURE() << program << " ended with status " << r.status << ":\n"
                    << DescribeZCP(input) << r.err;
      if (++failures > 3) return;
    }
    if (r.status == 1) {
      EXPECT_FALSE(r.err.empty());
    }
    EXPECT_TRUE(OnlyMessages(r.err, kWithoutFullStop)) << program << " on\n" << DescribeZCP(input);
  }
}

}  // namespace

TEST(ZcpSweep, CplyDump) { Sweep("cplydump", {"-"}); }
TEST(ZcpSweep, CplyToMesh) { Sweep("cplytomesh", {"-", "-"}); }
