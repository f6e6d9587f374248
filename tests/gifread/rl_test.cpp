// RangeList: the five item forms, empty items, and every kind of malformed list.
#include "gifread/rl.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/program.h"

namespace {

struct Stopped {};
[[noreturn]] void Stop(int) { throw Stopped{}; }

// The values a list selects, as "a-b,c" text, or "error" when the list is refused.
std::string Selected(const char* list) {
  unsigned char table[256];
  std::memset(table, 0xEE, sizeof table);
  SetExitHandler(Stop);
  testing::internal::CaptureStderr();
  int count = -1;
  bool stopped = false;
  try {
    count = RangeList(list, 255, table);
  } catch (const Stopped&) {
    stopped = true;
  }
  const std::string err = testing::internal::GetCapturedStderr();
  SetExitHandler(nullptr);
  if (stopped) return err == "bad range list.\n" ? "error" : "wrong message: " + err;
  std::string text;
  int set = 0;
  for (int v = 0; v < 256; ++v) {
    if (table[v] > 1) return "table not cleared";
    if (table[v] == 0 || (v > 0 && table[v - 1] == 1)) continue;
    int w = v;
    while (w < 255 && table[w + 1] == 1) ++w;
    if (!text.empty()) text += ",";
    text += w == v ? std::to_string(v) : std::to_string(v) + "-" + std::to_string(w);
    set += w - v + 1;
  }
  EXPECT_EQ(count, set) << list;
  return text;
}

}  // namespace

TEST(RangeList, FiveItemForms) {
  EXPECT_EQ(Selected("7"), "7");
  EXPECT_EQ(Selected("7-9"), "7-9");
  EXPECT_EQ(Selected("10-"), "10-255");
  EXPECT_EQ(Selected("-10"), "0-10");
  EXPECT_EQ(Selected("-"), "0-255");
  EXPECT_EQ(Selected("3,7-9"), "3,7-9");
  EXPECT_EQ(Selected("255"), "255");
  EXPECT_EQ(Selected("5-5"), "5");
  EXPECT_EQ(Selected("0007"), "7");
}

TEST(RangeList, EmptyItemsAreSkipped) {
  EXPECT_EQ(Selected(""), "");
  EXPECT_EQ(Selected(",,"), "");
  EXPECT_EQ(Selected(",4,,6,"), "4,6");
  EXPECT_EQ(Selected("250-,0-3,2"), "0-3,250-255");
}

TEST(RangeList, MalformedListsAreRefused) {
  for (const char* list : {"9-7", "256", "2555", "99999999999999999999", " 5", "5 ", "1-2-3", "a",
                           "--", "1,x", "4;5", "-256", "+3"}) {
    EXPECT_EQ(Selected(list), "error") << list;
  }
}
