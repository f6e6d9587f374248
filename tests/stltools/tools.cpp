#include "tools.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <stdexcept>

#include "mesh/stl.h"

std::vector<TestFacet> Written(std::vector<TestFacet> facets, int attribute) {
  for (auto& f : facets) {
    double n[3];
    CalcNormal(f.v[0], f.v[1], f.v[2], f.v[3], f.v[4], f.v[5], f.v[6], f.v[7], f.v[8], &n[0], &n[1],
               &n[2]);
    for (int i = 0; i < 3; ++i) f.n[i] = static_cast<float>(n[i]);
    if (attribute != kKeep) f.attribute = static_cast<uint16_t>(attribute);
  }
  return facets;
}

std::string WrittenSTL(const std::vector<TestFacet>& facets, int attribute) {
  return BinarySTL(Written(facets, attribute));
}

RunResult RunToFull(const std::string& program, const std::vector<std::string>& args) {
  Scratch dir;
  const std::string path = ProgramPath(program);
  std::vector<char*> argv{const_cast<char*>(path.c_str())};
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const std::string errPath = dir.Path("stderr");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    int full = open("/dev/full", O_WRONLY);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int none = open("/dev/null", O_RDONLY);
    if (full < 0 || err < 0 || none < 0) _exit(126);
    dup2(none, 0);
    dup2(full, 1);
    dup2(err, 2);
    execv(path.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  RunResult result;
  result.err = dir.Read("stderr");
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

std::string Line(const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

namespace {

const Words kLook = {"1", "0", "255", "255", "255", "-1", "-1", "-1", "128", "128", "128"};

Words With(Words a, const Words& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace

const std::vector<STLProgram> kSTLPrograms = {
    {"meshdump", {"IN"}, "", Keeps::kText},
    {"meshdump-plain", {"IN"}, "", Keeps::kText},
    {"meshtotext", {"IN"}, "", Keeps::kText},
    {"meshbounds", {"IN"}, "", Keeps::kLine},
    {"meshstats", {"IN"}, "", Keeps::kLine},
    {"meshverify", {"IN"}, "", Keeps::kLine},
    {"meshtobinary", {"IN", "OUT"}, "", Keeps::kFacetsWritten},
    {"meshmove", {"IN", "1", "2", "3", "OUT"}, "", Keeps::kFacetsWritten},
    {"meshscale", {"IN", "2", "OUT"}, "", Keeps::kFacetsWritten},
    {"meshtransform",
     {"IN", "0", "1", "0", "0", "0", "0", "1", "0", "0", "0", "0", "1", "OUT"},
     "",
     Keeps::kFacetsWritten},
    {"meshjoin", {"IN", "OUT"}, "", Keeps::kFacetsWritten},
    {"meshpaint", {"IN", "OUT"}, "", Keeps::kFacetsWritten},
    {"meshtomagics", {"IN", "OUT"}, "", Keeps::kFacetsWritten},
    {"meshfacets", {"IN"}, "", Keeps::kNothing},
    {"meshtally", {"IN", "1e300"}, "", Keeps::kNothing},  // no bin beyond 32 bits
    {"meshsolve", {"IN"}, "", Keeps::kNothing},
    {"meshsolve-short", {"IN"}, "", Keeps::kNothing},
    {"meshtocply", {"IN", "OUT"}, "", Keeps::kNothing},
    {"meshtopoly", {"IN", "OUT"}, "", Keeps::kNothing, true},
    {"meshslice",
     {"IN", "0", "0", "0", "0.1", "0.1", "0.1", "8", "8", "8", "OUT"},
     "",
     Keeps::kNothing},
    {"meshorbit", With(With({"IN", "64"}, kLook), {"OUT"}), "0 0\n", Keeps::kNothing},
    {"meshturn", With(With({"IN", "0", "0", "0", "0", "90", "64"}, kLook), {"OUT"}), "0 0 0\n",
     Keeps::kNothing},
};
