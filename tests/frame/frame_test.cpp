// The frame every program shares, tried on every built program: --help and --version
// (which must not touch standard input), an output that names an input (in any
// spelling), and command-line numbers that are not numbers.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "pictures/giftest.h"
#include "render/scene.h"
#include "support/run.h"
#include "support/stlfiles.h"

namespace fs = std::filesystem;

namespace {

// Every program of the build's bin folder, so that a new program is covered as soon
// as it is built.
std::vector<std::string> Programs() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(MESHPIX_BIN_DIR)) {
    if (entry.is_regular_file() && access(entry.path().c_str(), X_OK) == 0) {
      names.push_back(entry.path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Runs a program with one argument and standard input a pipe that holds a few bytes
// and is never closed: a program that reads it blocks (and is killed after a few
// seconds), one that reads a little takes the bytes away. Gives the status (-1 when
// killed), standard output and error, and whether the bytes are all still there.
struct QuietRun {
  int status = -1;
  std::string out, err;
  bool inputUntouched = false;
};

QuietRun RunWithWaitingInput(const std::string& program, const std::string& argument,
                             const Scratch& dir) {
  constexpr char kBytes[] = "0 0\n";
  int in[2];
  if (pipe(in) != 0) throw std::runtime_error("pipe failed");
  if (write(in[1], kBytes, 4) != 4) throw std::runtime_error("write failed");
  const std::string outPath = dir.Path(program + ".out"), errPath = dir.Path(program + ".err");
  const std::string path = ProgramPath(program);
  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in[0], 0);
    dup2(out, 1);
    dup2(err, 2);
    close(in[0]);
    close(in[1]);
    execl(path.c_str(), path.c_str(), argument.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  QuietRun r;
  int wstatus = 0;
  bool ended = false;
  for (int waited = 0; waited < 500 && !ended; ++waited) {
    ended = waitpid(pid, &wstatus, WNOHANG) == pid;
    if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, &wstatus, 0);
  } else if (WIFEXITED(wstatus)) {
    r.status = WEXITSTATUS(wstatus);
  }
  fcntl(in[0], F_SETFL, O_NONBLOCK);
  char back[8];
  r.inputUntouched = read(in[0], back, sizeof back) == 4 && std::string(back, 4) == kBytes;
  close(in[0]);
  close(in[1]);
  r.out = ReadFile(outPath);
  r.err = ReadFile(errPath);
  return r;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

TEST(Frame, EveryProgramHasHelpAndVersionWithoutReadingInput) {
  const std::vector<std::string> programs = Programs();
  EXPECT_GE(programs.size(), 36u);
  Scratch dir;
  for (const std::string& name : programs) {
    // The usage line as a wrong argument count prints it.
    const RunResult usage = ::Run(name, {});
    EXPECT_EQ(usage.status, 1) << name;
    ASSERT_EQ(usage.err.rfind("usage : " + name + " ", 0), 0u) << name << ": " << usage.err;

    const QuietRun help = RunWithWaitingInput(name, "--help", dir);
    EXPECT_EQ(help.status, 0) << name;
    EXPECT_EQ(help.err, "") << name;
    EXPECT_TRUE(help.inputUntouched) << name;
    EXPECT_EQ(help.out.rfind(usage.err, 0), 0u) << name << ":\n" << help.out;
    EXPECT_TRUE(EndsWith(help.out, "\nSee meshpix(7) and " + name + "(1).\n")) << name << ":\n"
                                                                               << help.out;
    // Between them: the summary, then at least one indented argument line.
    const std::string middle = help.out.substr(usage.err.size());
    EXPECT_NE(middle[0], ' ') << name;
    EXPECT_NE(middle.find("\n  "), std::string::npos) << name;

    const QuietRun version = RunWithWaitingInput(name, "--version", dir);
    EXPECT_EQ(version.status, 0) << name;
    EXPECT_EQ(version.out, name + " (meshpix) " MESHPIX_VERSION "\n");
    EXPECT_EQ(version.err, "") << name;
    EXPECT_TRUE(version.inputUntouched) << name;
  }
  // Other words beginning with "-" keep their meaning: "--help" among others is a file.
  const RunResult two = ::Run("meshbounds", {"--help", "--version"}, BinarySTL(UnitCube()));
  EXPECT_EQ(two.out.rfind("--help\t12\t", 0), 0u) << two.out;
  // Help written to a full disk is a failure.
  const RunResult full =
      RunCommand({"/bin/sh", "-c", ProgramPath("meshscale") + " --help > /dev/full"});
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err, "output write error.\n");
}

namespace {

// Input files of every kind, made by the programs themselves in a scratch folder.
void MakeInputs(const Scratch& dir) {
  dir.Write("in.stl", BinarySTL(UnitCube()));
  dir.Write("other.stl", BinarySTL(UnitCube()));
  ASSERT_EQ(::Run("meshtocply", {"in.stl", "in.zcp"}, "", dir.path).status, 0);
  const std::vector<std::string> look = {"-8", "1",  "0",  "0",   "0",   "0",
                                         "-1", "-1", "-1", "200", "200", "200"};
  std::vector<std::string> args = {"in.stl"};
  args.insert(args.end(), look.begin(), look.end());
  args.push_back("in.gif");
  ASSERT_EQ(::Run("meshorbit", args, "0 0\n", dir.path).status, 0);
  fs::copy_file(dir.Path("in.gif"), dir.Path("f0.gif"));
  fs::create_directory(dir.Path("d"));
  fs::copy_file(dir.Path("in.stl"), dir.Path("d/1.tif"));  // a model named like slice 1
}

struct OutputCase {
  std::string program;
  std::vector<std::string> args;  // "@" stands for the output's spelling
  std::string input;              // the file the output names
  std::string spelling;           // "@" replaced by it; the message names it
};

std::vector<std::string> Spelled(std::vector<std::string> args, const std::string& spelling) {
  for (std::string& a : args) {
    if (a == "@") a = spelling;
  }
  return args;
}

}  // namespace

TEST(Frame, OutputThatIsAnInputIsRefusedAndTheInputKept) {
  Scratch dir;
  MakeInputs(dir);
  const std::vector<std::string> orbit = {"-8", "1",  "0",   "0",   "0",   "0", "-1",
                                          "-1", "-1", "200", "200", "200", "@"};
  const std::vector<std::string> turn = {"0", "0", "0",  "0",  "0",  "8",   "1",   "0",   "0",
                                         "0", "0", "-1", "-1", "-1", "200", "200", "200", "@"};
  auto with = [](std::vector<std::string> head, const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
  };
  // Each program that reads a file and writes one, with the output naming the input.
  const std::vector<OutputCase> programs = {
      {"meshtobinary", {"in.stl", "@"}, "in.stl", ""},
      {"meshmove", {"in.stl", "1", "2", "3", "@"}, "in.stl", ""},
      {"meshscale", {"in.stl", "2", "@"}, "in.stl", ""},
      {"meshtransform",
       {"in.stl", "0", "1", "0", "0", "0", "0", "1", "0", "0", "0", "0", "1", "@"},
       "in.stl",
       ""},
      {"meshjoin", {"other.stl", "in.stl", "@"}, "in.stl", ""},
      {"meshpaint", {"in.stl", "1", "2", "3", "@"}, "in.stl", ""},
      {"meshtomagics", {"in.stl", "1", "2", "3", "@"}, "in.stl", ""},
      {"meshtocply", {"in.stl", "@"}, "in.stl", ""},
      {"meshtopoly", {"in.stl", "@"}, "in.stl", ""},
      {"cplytomesh", {"in.zcp", "@"}, "in.zcp", ""},
      {"cplyscale", {"in.zcp", "2", "@"}, "in.zcp", ""},
      {"pictcrop", {"in.gif", "0", "0", "1", "1", "0", "0", "0", "@"}, "in.gif", ""},
      {"pictanimate", {".", "-other.gif in.gif", "0", "0", "@"}, "in.gif", ""},
      {"meshorbit", with({"in.stl"}, orbit), "in.stl", ""},
      {"meshturn", with({"in.stl"}, turn), "in.stl", ""},
  };
  fs::copy_file(dir.Path("in.gif"), dir.Path("other.gif"));
  std::vector<OutputCase> cases;
  for (const OutputCase& c : programs) {
    // The same name, another spelling of it, a hard link and a symbolic link to it.
    const std::string hard = "hard-" + c.input, soft = "soft-" + c.input;
    if (!dir.Exists(hard)) fs::create_hard_link(dir.Path(c.input), dir.Path(hard));
    if (!dir.Exists(soft)) fs::create_symlink(c.input, dir.Path(soft));
    for (const std::string& spelling : {c.input, "./" + c.input, hard, soft, dir.Path(c.input)}) {
      cases.push_back({c.program, c.args, c.input, spelling});
    }
  }
  // Numbered outputs: the name an image would get is the input's.
  cases.push_back({"pictstack", {"f0.gif", "@"}, "f0.gif", "f%d.gif"});
  cases.push_back({"pictstack-palette", {"f0.gif", "@"}, "f0.gif", "./f%d.gif"});
  cases.push_back({"pictunpack", {"f0.gif", "@"}, "f0.gif", "f%d.gif"});
  cases.push_back({"meshslice",
                   {"in.stl", "d/1.tif", "0", "0", "0", "1", "1", "1", "2", "2", "2", "@"},
                   "d/1.tif",
                   "d"});
  for (const OutputCase& c : cases) {
    const std::string before = dir.Read(c.input);
    const RunResult r = ::Run(c.program, Spelled(c.args, c.spelling), "", dir.path);
    const std::string named = c.spelling == "f%d.gif" || c.spelling == "./f%d.gif"
                                  ? (c.spelling == "f%d.gif" ? "f0.gif" : "./f0.gif")
                              : c.spelling == "d" ? "d/1.tif"
                                                  : c.spelling;
    EXPECT_EQ(r.status, 1) << c.program << " " << c.spelling;
    EXPECT_EQ(r.err, named + " : output is an input.\n") << c.program << " " << c.spelling;
    EXPECT_EQ(dir.Read(c.input), before) << c.program << " " << c.spelling;
  }
  // Standard streams: standard input as the output file, standard output as the input.
  const std::string zcp = dir.Read("in.zcp");
  RunResult r = RunCommand({"/bin/sh", "-c", ProgramPath("cplyscale") + " in.zcp 2 - >> in.zcp"},
                           "", dir.path);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "- : output is an input.\n");
  r = RunCommand({"/bin/sh", "-c", ProgramPath("cplytomesh") + " - in.zcp < in.zcp"}, "", dir.path);
  EXPECT_EQ(r.err, "in.zcp : output is an input.\n");
  r = RunCommand({"/bin/sh", "-c", ProgramPath("listtocply") + " - < in.zcp >> in.zcp"}, "",
                 dir.path);
  EXPECT_EQ(r.err, "- : output is an input.\n");
  EXPECT_EQ(dir.Read("in.zcp"), zcp);
  r = RunCommand({"/bin/sh", "-c", ProgramPath("octasphere") + " in.zcp < in.zcp"}, "", dir.path);
  EXPECT_EQ(r.err, "in.zcp : output is an input.\n");
  EXPECT_EQ(dir.Read("in.zcp"), zcp);
  // A pipe or a device is no file to lose, and a different file is no input.
  EXPECT_EQ(RunCommand({"/bin/sh", "-c",
                        "cat in.zcp | " + ProgramPath("cplyscale") + " - 2 - | cat > /dev/null"},
                       "", dir.path)
                .status,
            0);
  EXPECT_EQ(::Run("meshscale", {"in.stl", "2", "/dev/null"}, "", dir.path).status, 0);
  EXPECT_EQ(::Run("meshscale", {"in.stl", "2", "out.stl"}, "", dir.path).status, 0);
}

// A model large enough that no reader's buffer holds it: every spelling of its own
// name leaves it byte for byte as it was.
TEST(Frame, LargeModelScaledOntoItselfIsKept) {
  Scratch dir;
  std::vector<TestFacet> facets;
  constexpr int kFacets = 300000;  // 15 MB
  facets.reserve(kFacets);
  for (int i = 0; i < kFacets; ++i) {
    const float x = static_cast<float>(i);
    facets.push_back(Tri(x, 0, 0, x + 1, 0, 0, x, 1, 0));
  }
  const std::string big = BinarySTL(facets);
  ASSERT_GT(big.size(), 15000000u);
  dir.Write("big.stl", big);
  fs::create_hard_link(dir.Path("big.stl"), dir.Path("link.stl"));
  for (const std::string output : {"big.stl", "./big.stl", "link.stl"}) {
    const RunResult r = ::Run("meshscale", {"big.stl", "2", output}, "", dir.path);
    EXPECT_EQ(r.status, 1) << output;
    EXPECT_EQ(r.err, output + " : output is an input.\n");
    EXPECT_TRUE(dir.Read("big.stl") == big) << output;
  }
}

namespace {

struct NumberSlot {
  std::string program;
  std::vector<std::string> args;  // "@" is the numeric word tried
  bool whole;                     // a whole number: "1.5" and "1e3" are not numbers
  std::string output;             // a file that must not be created, or ""
};

}  // namespace

TEST(Frame, CommandLineNumbersMustBeNumbersAsAWhole) {
  Scratch dir;
  MakeInputs(dir);
  const std::vector<std::string> look = {"1",  "0",  "0",   "0",   "0",   "-1",
                                         "-1", "-1", "200", "200", "200", "o.gif"};
  auto with = [](std::vector<std::string> head, const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
  };
  const std::vector<NumberSlot> slots = {
      {"meshscale", {"in.stl", "@", "o.stl"}, false, "o.stl"},
      {"meshscale", {"in.stl", "1", "@", "1", "o.stl"}, false, "o.stl"},
      {"meshmove", {"in.stl", "0", "@", "0", "o.stl"}, false, "o.stl"},
      {"meshtransform",
       {"in.stl", "0", "1", "0", "0", "0", "0", "1", "0", "0", "0", "0", "@", "o.stl"},
       false,
       "o.stl"},
      {"meshpaint", {"in.stl", "1", "@", "3", "o.stl"}, true, "o.stl"},
      {"meshtomagics", {"in.stl", "@", "2", "3", "o.stl"}, true, "o.stl"},
      {"meshtally", {"in.stl", "@", "1"}, true, ""},
      {"meshtally", {"in.stl", "1", "@", "1", "1"}, false, ""},
      {"meshtally", {"in.stl", "@"}, false, ""},
      {"meshsolve", {"in.stl", "0", "@", "0"}, false, ""},
      {"meshslice", {"in.stl", "0", "0", "@", "1", "1", "1", "2", "2", "2", "d"}, false, "d/0.tif"},
      {"meshslice", {"in.stl", "0", "0", "0", "1", "1", "1", "2", "@", "2", "d"}, true, "d/0.tif"},
      {"meshorbit", with({"in.stl", "@"}, look), false, "o.gif"},
      {"meshorbit",
       with({"in.stl", "-8", "1", "0", "@"},
            {"0", "0", "-1", "-1", "-1", "200", "200", "200", "o.gif"}),
       true, "o.gif"},
      {"meshturn", with({"in.stl", "0", "0", "0", "@", "0", "8"}, look), false, "o.gif"},
      {"cplyscale", {"in.zcp", "@", "o.zcp"}, false, "o.zcp"},
      {"meshtocply", {"in.stl", "1", "@", "1", "o.zcp"}, true, "o.zcp"},
      {"meshtopoly", {"in.stl", "1", "@", "1", "o.zcp"}, true, "o.zcp"},
      {"listtocply", {"o.zcp", "1", "@", "1"}, true, "o.zcp"},
      {"octasphere", {"@", "o.stl"}, true, "o.stl"},
      {"icosasphere", {"0", "0", "0", "0", "0", "0", "1", "@", "1", "o.stl"}, false, "o.stl"},
      {"tetrasphere",
       {"0", "0", "0", "0", "0", "0", "1", "1", "1", "1", "@", "1", "o.stl"},
       true,
       "o.stl"},
      {"pictcrop", {"in.gif", "0", "0", "@", "1", "0", "0", "0", "o.gif"}, true, "o.gif"},
      {"pictcrop", {"in.gif", "0", "0", "1", "1", "0", "@", "0", "o.gif"}, true, "o.gif"},
      {"pictmeasure", {"in.gif", "0", "@", "0", "9", "9", "9"}, true, ""},
      {"pictanimate", {".", "-in.gif", "@", "0", "o.gif"}, true, "o.gif"},
      {"pictanimate", {".", "-in.gif", "0", "@", "o.gif"}, true, "o.gif"},
  };
  // Numbers that are not finite are refused as well, before any output is opened.
  const std::vector<std::string> notNumbers = {"two", "1,5", "",    " ",    "1x",       "0x",
                                               "1-",  "1 2", "nan", "-inf", "Infinity", "1e400"};
  const std::vector<std::string> notWhole = {"1.5", "1e3", "0x10"};
  for (const NumberSlot& slot : slots) {
    std::vector<std::string> words = notNumbers;
    if (slot.whole) words.insert(words.end(), notWhole.begin(), notWhole.end());
    for (const std::string& word : words) {
      const RunResult r = ::Run(slot.program, Spelled(slot.args, word), "0 0\n", dir.path);
      EXPECT_EQ(r.status, 1) << slot.program << " [" << word << "]";
      EXPECT_EQ(r.err, word + " : not a number.\n") << slot.program << " [" << word << "]";
      EXPECT_EQ(r.out, "") << slot.program << " [" << word << "]";
      if (!slot.output.empty()) {
        EXPECT_FALSE(dir.Exists(slot.output)) << slot.program << " [" << word << "]";
      }
    }
  }
  // Numbers in every form strtod or strtol reads whole, blanks around them allowed.
  for (const std::string word : {" 2 ", "+2", ".5e1", "2e0", "0x1p1", "1e-400"}) {
    const RunResult r = ::Run("meshscale", {"in.stl", word, "o.stl"}, "", dir.path);
    EXPECT_EQ(r.status, 0) << word << ": " << r.err;
  }
  for (const std::string word : {" 1", "+1", "1 ", "01"}) {
    const RunResult r = ::Run(
        "octasphere", {word, "0", "0", "0", "0", "0", "0", "1", "1", "1", "o.stl"}, "", dir.path);
    EXPECT_EQ(r.status, 0) << word << ": " << r.err;
  }
  // Range checks stay as they were, after the number check.
  EXPECT_EQ(::Run("octasphere", {"99999999999", "o.stl"}, "", dir.path).err,
            "bad recursion level.\n");
  EXPECT_EQ(::Run("meshpaint", {"in.stl", "1", "256", "3", "p.stl"}, "", dir.path).err,
            "bad surface color.\n");
  // Lines of standard input keep their own reading: "1.5" there is level 1.
  EXPECT_EQ(::Run("octasphere", {"p.stl"}, "1.5 0 0 0 0 0 0 1 1 1\n", dir.path).status, 0);
}

TEST(Frame, ViewAndRotationLinesWithoutAPictureWarn) {
  Scratch dir;
  dir.Write("in.stl", BinarySTL(UnitCube()));
  const std::vector<std::string> look = {"1",  "0",  "0",   "0",   "0",   "-1",
                                         "-1", "-1", "200", "200", "200", "o.gif"};
  std::vector<std::string> orbit = {"in.stl", "-8"};
  orbit.insert(orbit.end(), look.begin(), look.end());
  std::vector<std::string> turn = {"in.stl", "0", "0", "0", "0", "0", "8"};
  turn.insert(turn.end(), look.begin(), look.end());
  const std::string huge = std::string(400, '9');
  struct Case {
    const std::vector<std::string>* args;
    std::string program, input, err;
    size_t images;
  };
  const std::vector<Case> cases = {
      {&orbit, "meshorbit", "", "no view line (warning).\n", 0},
      {&orbit, "meshorbit", "\n1 2 3\n0 0 0 0 0\n", "no view line (warning).\n", 0},
      // A comment is no line of numbers, whatever its number of words.
      {&orbit, "meshorbit", "# views\n", "no view line (warning).\n", 0},
      {&orbit, "meshorbit", " #lon lat\n0 0\n", "", 1},
      {&orbit, "meshorbit", "0 0 1 1 1000001\n",
       "bad view line (warning).\nno view line (warning).\n", 0},
      {&orbit, "meshorbit", "0 0 1 1 " + huge + "\n0 0 10 0 2\n", "bad view line (warning).\n", 2},
      {&turn, "meshturn", "", "no rotation line (warning).\n", 0},
      {&turn, "meshturn", "# a comment\n", "no rotation line (warning).\n", 0},
      {&turn, "meshturn", "# a b angle step n\n0 0 0 1 2\n", "", 2},
      {&turn, "meshturn", "0 0 0 0 1000001\n",
       "bad rotation line (warning).\nno rotation line (warning).\n", 0},
      {&turn, "meshturn", "0 0 0 0 " + huge + "\n0 0 0\n", "bad rotation line (warning).\n", 1},
  };
  for (const Case& c : cases) {
    const RunResult r = ::Run(c.program, *c.args, c.input, dir.path);
    EXPECT_EQ(r.status, 0) << c.program << " " << c.input;
    EXPECT_EQ(r.err, c.err) << c.program << " " << c.input;
    GifFile gif;
    EXPECT_TRUE(ParseGif(dir.Read("o.gif"), &gif)) << gif.error;
    EXPECT_EQ(gif.images.size(), c.images) << c.program << " " << c.input;
    EXPECT_TRUE(gif.trailer);
  }
  // The largest count allowed still parses.
  ViewLine v;
  EXPECT_TRUE(ParseViewLine("0 0 1 1 1000000", &v));
  EXPECT_EQ(v.frames, 1000000);
  TurnLine t;
  EXPECT_TRUE(ParseTurnLine("0 0 0 1 1000000", &t));
  EXPECT_FALSE(ParseTurnLine("0 0 0 1 1000001", &t));
}

// meshorbit's (x pi) / 180 rounds twice, meshturn's x times the rounded degree once:
// the two differ in the last bit for some angles, and each program keeps its own.
TEST(Frame, ViewAndTurnAnglesKeepTheirOwnRounding) {
  struct Case {
    double start, step;
    int k;
    bool differ;  // the two radians are not the same double
  };
  const Case cases[] = {
      {3, 0, 0, true},  {0, 3, 4, true},    {-6, 0, 0, true},   {1, -10, 2, true},
      {1, 0, 0, false}, {45, 45, 1, false}, {0, 0.5, 1, false}, {180, 0, 0, false},
  };
  for (const Case& c : cases) {
    const double degrees = c.k * c.step + c.start;
    const double view = ViewAngle(c.start, c.step, c.k), turn = TurnAngle(c.start, c.step, c.k);
    EXPECT_EQ(view, degrees * 3.141592653589793 / 180) << degrees;
    EXPECT_EQ(turn, degrees * 0.017453292519943295) << degrees;
    EXPECT_EQ(view != turn, c.differ) << degrees;
    EXPECT_NEAR(view, turn, 1e-15) << degrees;
  }
}
