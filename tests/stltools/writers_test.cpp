// Models as other writers make them, through every program that reads STL, from a file
// and through a pipe: each run must give what the same program gives for the model
// written plainly (a zero header, the right count, one solid, true normals), with the
// warning for what was mended, once.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/run.h"
#include "support/stlfiles.h"
#include "tools.h"

namespace fs = std::filesystem;

namespace {

// 92 cubes of edge 1/128 in a row along x from x = 1/128: 1,104 facets, more than the
// reader takes in one block, and sides facing -x that are not at x = 0, so that their
// turning changes the volume. Small enough for the pictures the programs draw.
std::vector<TestFacet> Row() {
  std::vector<TestFacet> facets;
  for (int i = 0; i < 92; ++i) {
    for (TestFacet f : UnitCube()) {
      for (int k = 0; k < 9; ++k) f.v[k] = (f.v[k] + (k % 3 == 0 ? 1.0f + i : 0.0f)) / 128;
      facets.push_back(f);
    }
  }
  return facets;
}

struct Input {
  std::string label;
  std::string bytes;                     // as the other writer made it
  std::string file, pipe;                // the same model written plainly, for each way
  std::string fileWarning, pipeWarning;  // after "in.stl : " or "- : "
  bool keepOrder = false;                // run with --vertex-order
};

// The program on in.stl, given by name or through a pipe as "-" (meshturn's rotation
// lines then follow the model in the same stream): its result, and its output file
// (meshslice: the files of its folder).
std::pair<RunResult, std::string> RunOn(const STLProgram& p, const Scratch& dir, bool pipe,
                                        bool keepOrder) {
  static int runs = 0;
  const std::string out = "out" + std::to_string(++runs);
  if (p.name == "meshslice") fs::create_directory(dir.Path(out));
  dir.Write("lines", p.input);
  // A program that stops early (no facets) may leave cat writing into a closed pipe.
  std::string command = (pipe ? "cat in.stl lines 2>/dev/null | " : "") + ProgramPath(p.name) +
                        (keepOrder ? " --vertex-order" : "");
  for (const auto& a : p.args)
    command += " " + (a == "IN" ? (pipe ? "-" : "in.stl") : a == "OUT" ? out : a);
  const RunResult run =
      RunCommand({"/bin/sh", "-c", command + (pipe ? "" : " <lines")}, "", dir.path);
  const std::string files = "cat " + out + " " + out + "/* 2>/dev/null";
  return {run, RunCommand({"/bin/sh", "-c", files}, "", dir.path).out};
}

}  // namespace

TEST(StlFromOtherWriters, EveryProgramReadsThemFromAFileAndThroughAPipe) {
  const std::vector<TestFacet> row = Row();
  const std::string plain = BinarySTL(row);
  std::vector<TestFacet> lying = row, turned = row;  // every stored normal 1 0 0
  for (size_t i = 0; i < row.size(); ++i) {
    lying[i].n[0] = 1, lying[i].n[1] = lying[i].n[2] = 0;
    if (row[i].n[0] < 0)
      turned[i] = Tri(row[i].v[0], row[i].v[1], row[i].v[2], row[i].v[6], row[i].v[7], row[i].v[8],
                      row[i].v[3], row[i].v[4], row[i].v[5]);
  }
  const std::string turnedWarning =
      "184 facets turned to agree with their stored normals (warning).";
  const std::string empty = "solid " + std::string(80, 'E') + "\nendsolid\n";
  const std::vector<Input> inputs = {
      {"solid header", SolidHeader(plain, "Part_1 exported"), plain, plain, "", ""},
      {"count 0", BinarySTL(row, 0), plain, BinarySTL({}) + plain.substr(84),
       "count 0, 1104 facets read (warning).", ""},
      {"three bodies, CR LF", AsciiBodies(row, 3, true), AsciiSTL(row), AsciiSTL(row), "", ""},
      {"26-byte empty solid", "solid Empty\nendsolid Empty", empty, empty, "", ""},
      {"every normal 1 0 0", BinarySTL(lying), BinarySTL(turned), BinarySTL(turned), turnedWarning,
       turnedWarning},
      {"every normal 1 0 0, --vertex-order", BinarySTL(lying), plain, plain, "", "", true},
      {"every normal 1 0 0, ASCII", AsciiSTL(lying), AsciiSTL(turned), AsciiSTL(turned),
       turnedWarning, turnedWarning},
  };

  Scratch dir;
  for (const STLProgram& p : kSTLPrograms) {
    EXPECT_NE(::Run(p.name, {"--help"}).out.find("\n  --vertex-order  "), std::string::npos)
        << p.name;
    for (const Input& in : inputs) {
      if (p.binaryOnly && in.file.starts_with("solid")) continue;  // ASCII is refused unread
      for (bool pipe : {false, true}) {
        if (pipe && p.name == "meshorbit") continue;  // "-FILE" is a polyline list there
        SCOPED_TRACE(p.name + " on " + in.label + (pipe ? ", pipe" : ", file"));
        dir.Write("in.stl", pipe ? in.pipe : in.file);
        const auto [want, wantOutput] = RunOn(p, dir, pipe, false);
        // The runs compared do their work: every program reads the cubes from a file.
        EXPECT_TRUE(pipe || &in != &inputs.front() || want.status == 0);
        dir.Write("in.stl", in.bytes);
        const auto [got, output] = RunOn(p, dir, pipe, in.keepOrder);
        const std::string& warning = pipe ? in.pipeWarning : in.fileWarning;
        std::string err = got.err;
        if (!warning.empty()) {
          const std::string line = (pipe ? "- : " : "in.stl : ") + warning + "\n";
          const size_t at = err.find(line);
          ASSERT_NE(at, std::string::npos) << err;
          err.erase(at, line.size());
        }
        EXPECT_EQ(err, want.err);
        EXPECT_EQ(got.status, want.status);
        EXPECT_TRUE(got.out == want.out) << got.out.substr(0, 200);
        EXPECT_TRUE(output == wantOutput);
      }
    }
  }
}
