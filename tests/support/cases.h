// Tables of program runs, and the form of the messages programs print.
//
//   ExpectRuns(dir.path, {                    run each case in this folder and check it;
//       {{"meshmove", "none.stl", "1", "2", "3", "out.stl"}, "none.stl : file not found.\n"},
//       {{"meshtotext", "in.stl"}, "", 0, "", "solid\n..."},
//   });                                       every failure message names the case by its
//                                             command line (or by its name, where given)
//   BadMessageLine(err)                       the first line of err that is not a message
//                                             ("" when every line is one)
#pragma once

#include <optional>
#include <string>
#include <vector>

// One run of a program and what it must give.
struct RunCase {
  std::vector<std::string> command;      // the program's name, then its arguments
  std::string err;                       // standard error, whole
  int status = 1;
  std::string input = {};                // standard input
  std::optional<std::string> out = {};   // standard output, whole; unchecked when unset
  std::string name = {};                 // for failure messages; the command line when empty
};

void ExpectRuns(const std::string& cwd, const std::vector<RunCase>& cases);

// A message is one line that ends in a full stop (warnings end in "(warning)."). Gives
// the first line of err that is not one, with its line feed if it has one; "" when
// every line is a message.
std::string BadMessageLine(const std::string& err);
