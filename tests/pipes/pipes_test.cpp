// Every program that writes binary STL, with "-" as its output: the same bytes through
// a pipe, into a file and appended after other output as into a named file; a model
// larger than the memory store through a pipe in bounded memory; failing output and
// failing temporary files end with status 1.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdio>
#include <string>
#include <vector>

#include "mesh/stlwrite.h"
#include "support/run.h"
#include "support/stlfiles.h"

namespace {

// Runs a shell script in dir with $B naming the folder of the built programs.
RunResult Sh(const std::string& script, const Scratch& dir) {
  return RunCommand({"/bin/sh", "-c", "B='" MESHPIX_BIN_DIR "'; " + script}, "", dir.path);
}

std::string Join(const std::vector<std::string>& words) {
  std::string line;
  for (const auto& w : words) line += " " + w;
  return line;
}

// A coloured model with facets in every orientation; the cube has no colour.
std::vector<TestFacet> Model() {
  auto facets = UnitCube();
  facets.push_back(Tri(0, 0, 0, 2, 0, 0, 0, 3, 0, 0xFC00));
  facets.push_back(Tri(1, 1, 1, 1, 2, 1, 1, 1, 2, 0x801F));
  facets.push_back(Tri(-1, 0, 5, 0, -1, 5, 0, 0, 6, 0x7FFF));
  return facets;
}

struct Writer {
  const char* program;
  std::vector<std::string> before;  // arguments before the output name
};

// Every binary STL writer, with in.stl (or standard input, for meshjoin's second input)
// as its input.
const std::vector<Writer> kWriters = {
    {"meshtobinary", {"in.stl"}},
    {"meshmove", {"in.stl", "1", "-2", "0.5"}},
    {"meshscale", {"in.stl", "2"}},
    {"meshscale", {"in.stl", "1", "2", "-1"}},
    {"meshtransform", {"in.stl", "1", "0", "1", "0", "2", "1", "0", "0", "0", "0", "0", "3"}},
    {"meshjoin", {"in.stl", "in.stl"}},
    {"meshpaint", {"in.stl", "100", "150", "200"}},
    {"meshpaint", {"in.stl"}},
    {"meshtomagics", {"in.stl", "10", "20", "30"}},
    {"meshtomagics", {"in.stl"}},
};

TEST(StlPipes, EveryWriterGivesTheFileBytesOnStandardOutput) {
  Scratch dir;
  dir.Write("in.stl", BinarySTL(Model()));
  for (const auto& w : kWriters) {
    const std::string cmd = std::string("\"$B\"/") + w.program + Join(w.before);
    SCOPED_TRACE(cmd);
    RunResult named = Sh(cmd + " file.stl", dir);
    ASSERT_EQ(named.status, 0);
    const std::string file = dir.Read("file.stl");
    ASSERT_GT(file.size(), kSTLHeaderSize);

    // A pipe (also under a longer name beginning with "-"), a file, a file after other
    // output (the count is patched at the model's own offset and the stream left at
    // its end), a file opened for appending.
    RunResult piped = Sh(cmd + " - | cat", dir);
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.err, named.err);  // meshtobinary's warning, or nothing
    EXPECT_TRUE(EqualSTL(file, piped.out));
    EXPECT_TRUE(EqualSTL(file, Sh(cmd + " -out | cat", dir).out));
    ASSERT_EQ(Sh(cmd + " - > seek.stl", dir).status, 0);
    EXPECT_TRUE(EqualSTL(file, dir.Read("seek.stl")));
    ASSERT_EQ(Sh("{ printf head; " + cmd + " -; printf tail; } > around", dir).status, 0);
    EXPECT_EQ(dir.Read("around"), "head" + file + "tail");
    ASSERT_EQ(Sh("printf x > appended; " + cmd + " - >> appended", dir).status, 0);
    EXPECT_EQ(dir.Read("appended"), "x" + file);
    EXPECT_FALSE(dir.Exists("-"));
  }
}

TEST(StlPipes, ProgramsChainThroughPipes) {
  Scratch dir;
  dir.Write("cube.stl", BinarySTL(UnitCube()));
  RunResult r =
      Sh("\"$B\"/meshscale cube.stl 2 - | \"$B\"/meshmove - 1 1 1 - | \"$B\"/meshbounds -", dir);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "-\t12\t1.000000\t1.000000\t1.000000\t3.000000\t3.000000\t3.000000\n");
}

// A model of facets whose records fill the memory store three times over, written
// straight to disk: the same facet over and over, shifted in x.
void WriteLargeModel(const Scratch& dir, uint32_t facets) {
  std::FILE* f = std::fopen(dir.Path("large.stl").c_str(), "wb");
  ASSERT_NE(f, nullptr);
  unsigned char head[kSTLHeaderSize] = {};
  PutLE32(head + 80, facets);
  std::fwrite(head, 1, sizeof head, f);
  std::vector<unsigned char> block(1024 * kSTLRecordSize);
  for (uint32_t i = 0; i < facets; i += 1024) {
    const uint32_t n = std::min<uint32_t>(1024, facets - i);
    for (uint32_t k = 0; k < n; ++k) {
      const float x = static_cast<float>(i + k);
      const float b[12] = {0, 0, 1, x, 0, 0, x + 1, 0, 0, x, 1, 0};
      PackSTLFacet(block.data() + k * kSTLRecordSize, b,
                   static_cast<int16_t>(0x8000 | (i + k) % 0x7FFF));
    }
    std::fwrite(block.data(), kSTLRecordSize, n, f);
  }
  ASSERT_EQ(std::fclose(f), 0);
}

TEST(StlPipes, ModelLargerThanTheMemoryStorePassesInBoundedMemory) {
  Scratch dir;
  const uint32_t facets = static_cast<uint32_t>(3 * kSTLHoldBytes / kSTLRecordSize + 777);
  WriteLargeModel(dir, facets);
  ASSERT_EQ(Sh("\"$B\"/meshmove large.stl 0 0 1 file.stl", dir).status, 0);
  RunResult r = Sh("\"$B\"/meshmove large.stl 0 0 1 - | cat > piped.stl", dir);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  const std::string file = dir.Read("file.stl");
  EXPECT_EQ(file.size(), kSTLHeaderSize + size_t{facets} * kSTLRecordSize);
  EXPECT_TRUE(file == dir.Read("piped.stl")) << "piped output differs from the file";

  // The largest process the shell waited for (the program; cat is small) stayed near
  // the memory store, far below the model's own size.
  rusage usage{};
  ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
#if !defined(__SANITIZE_ADDRESS__)
  EXPECT_LT(static_cast<size_t>(usage.ru_maxrss) * 1024, kSTLHoldBytes + (size_t{24} << 20));
#endif
}

TEST(StlPipes, FailuresEndWithStatusOneAndNoModel) {
  Scratch dir;
  dir.Write("in.stl", BinarySTL(Model()));
  const uint32_t large =
      static_cast<uint32_t>(kSTLHoldBytes / kSTLRecordSize + 2000);  // 100 kB past the store
  WriteLargeModel(dir, large);
  struct Case {
    const char* program;  // the writer, its arguments and "-"
    const char* sink;     // where its standard output goes
    const char* err;
  };
  const Case cases[] = {
      // Output that cannot take the bytes.
      {"\"$B\"/meshscale in.stl 2 -", "> /dev/full", "- : STL facet data write error.\n"},
      {"\"$B\"/meshjoin in.stl - - < in.stl", "> /dev/full", "- : STL facet data write error.\n"},
      // A temporary file that cannot be made, or cannot take the records.
      {"TMPDIR=/nonexistent/dir \"$B\"/meshmove large.stl 0 0 0 -", "| cat > out",
       "- : temporary file write error.\n"},
      {"trap '' XFSZ; ulimit -f 8; \"$B\"/meshtobinary large.stl -", "| cat > out",
       "large.stl : just a binary STL (warning).\n- : temporary file write error.\n"},
      // An input that fails after the output was begun: nothing goes down the pipe.
      {"\"$B\"/meshjoin in.stl missing.stl -", "| cat > out", "missing.stl : file not found.\n"},
  };
  for (const auto& c : cases) {
    const std::string script = std::string("{ ") + c.program + "; echo $? > status; } " + c.sink;
    SCOPED_TRACE(script);
    dir.Write("out", "stale");
    RunResult r = Sh(script, dir);
    EXPECT_EQ(dir.Read("status"), "1\n");
    EXPECT_EQ(r.err, c.err);
    const std::string out = dir.Read("out");
    EXPECT_TRUE(out == "" || out == "stale") << out.size() << " bytes went down the pipe";
  }
  // Without need of one, a bad temporary folder does not matter.
  RunResult r = Sh("TMPDIR=/nonexistent/dir \"$B\"/meshscale in.stl 2 - | cat", dir);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.size(), kSTLHeaderSize + Model().size() * kSTLRecordSize);
}

}  // namespace
