// Every byte of a valid ZCP file flipped, and the file cut off after every byte, read
// by the two header readers' programs (cplydump for the strict reader and the record
// checks that cplyworld and cplyscale share, cplytomesh for the word reader): each run
// must end with status 0 or 1, never with a crash, and print nothing on standard error
// but one-line messages. The same for PLY files of other kinds, ASCII and big-endian,
// with a quad, vertex colours and an element to pass over.
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

// A small PLY model: a quad and a triangle on five coloured vertices, and an element of
// two rows with a list, ahead of them.
std::string PLYModel(const std::string& format) {
  return PLYFile(
      format,
      "element tag 2\nproperty list uchar short codes\nelement vertex 5\n"
      "property float x\nproperty double y\nproperty float z\nproperty uchar red\n"
      "property uchar green\nproperty uchar blue\nelement face 2\n"
      "property list uchar uint vertex_indices\n",
      [](const std::string& e, const std::string& p, uint32_t row) -> std::vector<double> {
        if (e == "tag") return {2, 1000, -5};
        if (p == "vertex_indices") {
          return row == 0 ? std::vector<double>{4, 0, 1, 2, 3} : std::vector<double>{3, 4, 2, 1};
        }
        return {static_cast<double>(row * 37 % 256)};
      });
}

void Sweep(const std::string& program, std::vector<std::string> args,
           const std::string& model = kModel) {
  ASSERT_EQ(Run(program, args, model).status, 0) << "the model itself is read";
  std::vector<std::string> inputs;
  for (size_t i = 0; i < model.size(); ++i) {
    std::string flipped = model;
    flipped[i] = static_cast<char>(~flipped[i]);
    inputs.push_back(flipped);
    inputs.push_back(model.substr(0, i));
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
TEST(ZcpSweep, CplyDumpOnAsciiPLY) { Sweep("cplydump", {"-"}, PLYModel("ascii")); }
TEST(ZcpSweep, CplyToMeshOnBigEndianPLY) {
  Sweep("cplytomesh", {"-", "-"}, PLYModel("binary_big_endian"));
}
