// Models as other writers make them, through every program that reads STL, from a file
// and through a pipe: each run must give what the same program gives for the model
// written plainly (a zero header, the right count, one solid, true normals), with the
// warning for what was mended, once.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
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

std::string Records(const std::string& binary, size_t from) {
  return binary.substr(84 + 50 * from);
}

struct Input {
  std::string label;
  std::string bytes;                     // as the other writer made it
  std::string file, pipe;                // the same model written plainly, for each way
  std::string fileWarning, pipeWarning;  // after "NAME : "
  bool keepOrder = false;                // run with --vertex-order
};

// One run: its result and its output (a file, or a folder's files for meshslice).
struct Outcome {
  RunResult run;
  std::string output;
};

std::string ReadOutput(const Scratch& dir, const std::string& out) {
  if (!fs::is_directory(dir.Path(out))) return dir.Exists(out) ? dir.Read(out) : "<none>";
  std::map<std::string, std::string> files;
  for (const auto& e : fs::directory_iterator(dir.Path(out)))
    files[e.path().filename().string()] = ReadFile(e.path().string());
  std::string all;
  for (const auto& [name, bytes] : files) all += name + "\n" + bytes;
  return all;
}

// The program on the model file: given by name, or through a pipe as "-" (meshturn's
// rotation lines then follow the model in the same stream).
Outcome RunOn(const STLProgram& p, const Scratch& dir, const std::string& model, bool pipe,
              bool keepOrder) {
  static int runs = 0;
  const std::string out = "out" + std::to_string(++runs);
  if (p.name == "meshslice") fs::create_directory(dir.Path(out));
  std::string command = ProgramPath(p.name) + (keepOrder ? " --vertex-order" : "");
  for (const auto& a : p.args)
    command += " " + (a == "IN" ? (pipe ? "-" : model) : a == "OUT" ? out : a);
  std::string input = p.input;
  if (pipe) {
    dir.Write("lines", input);
    // A program that stops early (no facets) may leave cat writing into a closed pipe.
    command = "cat " + model + (input.empty() ? "" : " lines") + " 2>/dev/null | " + command;
    input.clear();
  }
  Outcome o{RunCommand({"/bin/sh", "-c", command}, input, dir.path), ""};
  o.output = ReadOutput(dir, out);
  return o;
}

std::string Renamed(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
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
  const std::vector<Input> inputs = {
      {"solid header", SolidHeader(plain, "Part_1 exported"), plain, plain, "", ""},
      {"solid header and a stray byte", SolidHeader(plain, "P") + "\n", plain, plain, "", ""},
      {"count 0", BinarySTL(row, 0), plain, BinarySTL({}) + Records(plain, 0),
       "count 0, 1104 facets read (warning).", ""},
      {"count 100", BinarySTL(row, 100), plain,
       BinarySTL({row.begin(), row.begin() + 100}) + Records(plain, 100),
       "count 100, 1104 facets read (warning).", ""},
      {"three bodies, CR LF", AsciiBodies(row, 3, true), AsciiSTL(row), AsciiSTL(row), "", ""},
      {"26-byte empty solid", "solid Empty\nendsolid Empty",
       "solid " + std::string(80, 'E') + "\nendsolid\n",
       "solid " + std::string(80, 'E') + "\nendsolid\n", "", ""},
      {"every normal 1 0 0", BinarySTL(lying), BinarySTL(turned), BinarySTL(turned),
       "184 facets turned to agree with their stored normals (warning).",
       "184 facets turned to agree with their stored normals (warning)."},
      {"every normal 1 0 0, --vertex-order", BinarySTL(lying), plain, plain, "", "", true},
      {"every normal 1 0 0, ASCII", AsciiSTL(lying), AsciiSTL(turned), AsciiSTL(turned),
       "184 facets turned to agree with their stored normals (warning).",
       "184 facets turned to agree with their stored normals (warning)."},
  };
  ASSERT_EQ(inputs[5].bytes.size(), 26u);

  Scratch dir;
  std::map<std::string, Outcome> plainRuns;  // by program, way and model bytes
  for (const STLProgram& p : kSTLPrograms) {
    for (const Input& in : inputs) {
      if (p.binaryOnly && in.file.starts_with("solid")) continue;  // ASCII is refused unread
      for (bool pipe : {false, true}) {
        if (pipe && p.name == "meshorbit") continue;  // "-FILE" is a polyline list there
        const std::string where = p.name + " on " + in.label + (pipe ? ", pipe" : ", file");
        const std::string& plainBytes = pipe ? in.pipe : in.file;
        const std::string key = p.name + (pipe ? "|" : "/") + plainBytes;
        if (!plainRuns.contains(key)) {
          dir.Write("plain.stl", plainBytes);
          plainRuns[key] = RunOn(p, dir, "plain.stl", pipe, false);
        }
        const Outcome& want = plainRuns[key];
        dir.Write("in.stl", in.bytes);
        const Outcome got = RunOn(p, dir, "in.stl", pipe, in.keepOrder);

        std::string err = got.run.err;
        const std::string& warning = pipe ? in.pipeWarning : in.fileWarning;
        if (!warning.empty()) {
          const std::string line = (pipe ? "-" : "in.stl") + std::string(" : ") + warning + "\n";
          const size_t at = err.find(line);
          ASSERT_NE(at, std::string::npos) << where << ": " << err;
          err.erase(at, line.size());
        }
        EXPECT_EQ(err, Renamed(want.run.err, "plain.stl", "in.stl")) << where;
        EXPECT_EQ(got.run.status, want.run.status) << where;
        EXPECT_TRUE(got.run.out == Renamed(want.run.out, "plain.stl", "in.stl"))
            << where << ": " << got.run.out.substr(0, 200);
        EXPECT_TRUE(got.output == want.output) << where;
      }
    }
  }
  // The runs compared did their work: every program read the cubes from a plain file.
  // And every one names the option in its help.
  for (const STLProgram& p : kSTLPrograms) {
    EXPECT_EQ(plainRuns[p.name + "/" + plain].run.status, 0) << p.name;
    EXPECT_NE(::Run(p.name, {"--help"}).out.find("\n  --vertex-order  "), std::string::npos)
        << p.name;
  }
}
