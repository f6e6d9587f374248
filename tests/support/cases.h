// Tables of program runs, and the form of the messages programs print.
//
//   ExpectRuns(dir.path, {                    run each case in this folder and check it;
//       {{"meshmove", "none.stl", "1", "2", "3", "out.stl"}, "none.stl : file not found.\n"},
//       {{"meshtotext", "in.stl"}, "", 0, "", "solid\n..."},
//   });                                       every failure message names the case by its
//                                             command line (or by its name, where given)
//   EXPECT_TRUE(OnlyMessages(err)) << where   every line of err is a message: one line
//                                             ending in a full stop, "(warning)." for a
//                                             warning; lines listed as known are let through
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

// One run of a program and what it must give.
struct RunCase {
  std::vector<std::string> command;  // the program's name, then its arguments
  std::string err;                   // standard error, whole
  int status = 1;
  std::string input = {};               // standard input
  std::optional<std::string> out = {};  // standard output, whole; unchecked when unset
  std::string name = {};                // for failure messages; the command line when empty
};

void ExpectRuns(const std::string& cwd, const std::vector<RunCase>& cases);

// Success when every line of err is a message or one of the known lines (each whole,
// with its line feed); otherwise a failure that quotes the first other line.
testing::AssertionResult OnlyMessages(const std::string& err,
                                      const std::vector<std::string>& known = {});
