// Running built programs in scratch folders.
//
//   Scratch dir;                       a fresh folder, removed with its contents
//   dir.Path("a.stl")                  the full path of a file in it
//   dir.Write("a.stl", bytes)          write a file
//   dir.Read("a.stl")                  read a file whole ("" when missing)
//   dir.Exists("a.stl")
//   ::Run("meshdump", {"a.stl"}, input, dir.path)   (written ::Run inside a TEST body,
//                                      where gtest's own Test::Run would hide it)
//                                      run build/bin/meshdump with these arguments,
//                                      standard input and working folder; gives standard
//                                      output, standard error and the exit status
//                                      (128 + signal number when killed by a signal)
//   RunCommand({"/bin/sh", "-c", "..."}, input, cwd)
//                                      the same for any executable path
#pragma once

#include <string>
#include <vector>

struct RunResult {
  std::string out;
  std::string err;
  int status = -1;
};

struct Scratch {
  std::string path;
  Scratch();
  ~Scratch();
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  std::string Path(const std::string& name) const;
  void Write(const std::string& name, const std::string& bytes) const;
  std::string Read(const std::string& name) const;
  bool Exists(const std::string& name) const;
};

std::string ProgramPath(const std::string& program);
RunResult Run(const std::string& program, const std::vector<std::string>& args,
              const std::string& input = "", const std::string& cwd = "");
RunResult RunCommand(const std::vector<std::string>& argv, const std::string& input = "",
                     const std::string& cwd = "");

// Reads a whole file ("" when it cannot be read).
std::string ReadFile(const std::string& path);
