// The shared program helpers: number parsing, format checks, fast fixed-point text,
// whole-line reading.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "common/lines.h"
#include "common/numbered.h"
#include "common/numbers.h"
#include "common/program.h"
#include "common/textout.h"
#include "common/userformat.h"

TEST(Numbers, ParseIntIsAtoiWithinRangeAndSaturatesOutside) {
  EXPECT_EQ(ParseInt("42"), 42);
  EXPECT_EQ(ParseInt("  -7xyz"), -7);
  EXPECT_EQ(ParseInt("abc"), 0);
  EXPECT_EQ(ParseInt("nan"), 0);
  EXPECT_EQ(ParseInt("2147483647"), INT_MAX);
  EXPECT_EQ(ParseInt("2147483648"), INT_MAX);
  EXPECT_EQ(ParseInt("-99999999999999999999999"), INT_MIN);
}

TEST(Numbers, ParseRealTextAgreesWithStrtod) {
  const char* samples[] = {
      "0",   "-0",   "1.5", "1e5",          "1.5e-3", "-2.25e+10", ".5",    "5.",
      "-.5", "+3",   " 4",  "0x10",         "1e",     "1e-400",    "1e400", "-1e400",
      "inf", "-inf", "nan", "abc",          "",       "12abc",     "1.2.3", "-",
      ".",   "e5",   "0.1", "3.4028235e38", "1e-45",  "7e-46",     "00012", "-0x1p3"};
  for (const char* s : samples) {
    double a = std::strtod(s, nullptr), b = ParseRealText(s);
    if (std::isnan(a)) {
      EXPECT_TRUE(std::isnan(b)) << s;
    } else {
      EXPECT_EQ(a, b) << s;
      EXPECT_EQ(std::signbit(a), std::signbit(b)) << s;
    }
  }
  std::mt19937_64 random(7);
  for (int i = 0; i < 20000; ++i) {
    char text[64];
    double v = std::ldexp(std::uniform_real_distribution<double>(-1, 1)(random),
                          std::uniform_int_distribution<int>(-60, 60)(random));
    std::snprintf(text, sizeof text, i % 2 ? "%.9g" : "%.17e", v);
    EXPECT_EQ(std::strtod(text, nullptr), ParseRealText(text)) << text;
  }
}

TEST(Numbers, InRangeRejectsNotANumber) {
  EXPECT_TRUE(InRange(0, 0, 255));
  EXPECT_TRUE(InRange(255, 0, 255));
  EXPECT_FALSE(InRange(-1, 0, 255));
  EXPECT_FALSE(InRange(std::nan(""), 0, 255));
  EXPECT_EQ(ToInt(std::nan("")), 0);
  EXPECT_EQ(ToInt(1e300), INT_MAX);
  EXPECT_EQ(ToInt(-1e300), INT_MIN);
  EXPECT_EQ(ToInt(-2.7), -2);
}

TEST(Numbers, IsFormatTakesExactlyOneConversionOfTheGivenKinds) {
  const std::string_view reals = "fFeEgGaA";
  EXPECT_TRUE(IsFormat("%lf", reals, true));
  EXPECT_TRUE(IsFormat("%.3f", reals, true));
  EXPECT_TRUE(IsFormat("[%-+ #012.4le]%%", reals, true));
  EXPECT_TRUE(IsFormat("%%%g%%", reals, true));
  EXPECT_FALSE(IsFormat("", reals, true));
  EXPECT_FALSE(IsFormat("abc", reals, true));
  EXPECT_FALSE(IsFormat("%%", reals, true));
  EXPECT_FALSE(IsFormat("%s", reals, true));
  EXPECT_FALSE(IsFormat("%n", reals, true));
  EXPECT_FALSE(IsFormat("%*f", reals, true));
  EXPECT_FALSE(IsFormat("%.*f", reals, true));
  EXPECT_FALSE(IsFormat("%f %f", reals, true));
  EXPECT_FALSE(IsFormat("%Lf", reals, true));
  EXPECT_FALSE(IsFormat("%f%", reals, true));
  EXPECT_FALSE(IsFormat("%d", reals, true));
  EXPECT_TRUE(IsFormat("out/%03d.tif", "diuoxX", false));
  EXPECT_FALSE(IsFormat("out/%03ld.tif", "diuoxX", false));
  EXPECT_FALSE(IsFormat("%d%d", "diuoxX", false));
}

TEST(Numbers, FormatFieldsAndNamesAreBounded) {
  // Widths and precisions up to 4096 pass; one more, or a count past any int, fails.
  struct Case {
    const char* format;
    bool number, name;
  };
  const Case cases[] = {
      {"%4096f", true, false},           {"%.4096f", true, false},
      {"%4097f", false, false},          {"%.4097f", false, false},
      {"%.1000000000f", false, false},   {"%99999999999999999999f", false, false},
      {"%04000d.tif", false, true},      {"%.4096d", false, true},
      {"fo/%2000000000d", false, false}, {"%4090d.tif", false, true},
      {"%4093d.tif", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsNumberFormat(c.format), c.number) << c.format;
    EXPECT_EQ(IsNameFormat(c.format), c.name) << c.format;
  }
  // The name's length counts its literal text too.
  const std::string longText(4090, 'a');
  EXPECT_TRUE(IsNameFormat((longText.substr(0, 4086) + "%d").c_str()));
  EXPECT_FALSE(IsNameFormat((longText.substr(0, 4087) + "%d").c_str()));
}

TEST(TextOut, FixedGivesPrintfDigits) {
  const double samples[] = {0.0,          -0.0,     0.5,       1.0 / 128,    0.0078125,    2.5e-7,
                            5e-7,         -5e-7,    1e300,     -123.4567,    0.1,          1e-320,
                            65535.999999, HUGE_VAL, -HUGE_VAL, std::nan(""), -std::nan("")};
  std::mt19937_64 random(11);
  std::vector<double> values(std::begin(samples), std::end(samples));
  for (int i = 0; i < 50000; ++i) {
    double v = std::ldexp(std::uniform_real_distribution<double>(-1, 1)(random),
                          std::uniform_int_distribution<int>(-30, 40)(random));
    values.push_back(i % 3 ? static_cast<float>(v) : v);
  }
  for (double v : values) {
    for (int precision : {6, 0, 3}) {
      char expected[512], actual[512];
      std::snprintf(expected, sizeof expected, "%.*f", precision, v);
      *FormatFixed(actual, v, precision) = '\0';
      ASSERT_STREQ(expected, actual) << v << " at precision " << precision;
    }
  }
}

TEST(TextOut, BuffersAndFlushesInOrder) {
  FILE* f = std::tmpfile();
  {
    TextOut out{f};
    for (int i = 0; i < 20000; ++i) {
      out.Int(i);
      out.Char(' ');
      out.Fixed(i / 4.0);
      out.Text("\n");
    }
  }
  std::rewind(f);
  char line[64];
  for (int i = 0; i < 20000; ++i) {
    ASSERT_NE(std::fgets(line, sizeof line, f), nullptr);
    char expected[64];
    std::snprintf(expected, sizeof expected, "%d %f\n", i, i / 4.0);
    ASSERT_STREQ(line, expected);
  }
  std::fclose(f);
}

TEST(Lines, ReadsLongLinesWholeAndTheLastLineWithoutLineFeed) {
  FILE* f = std::tmpfile();
  std::string longLine(100000, 'x');
  std::fputs((longLine + "\n\nlast").c_str(), f);
  std::rewind(f);
  std::string line;
  ASSERT_TRUE(ReadTextLine(f, &line));
  EXPECT_EQ(line, longLine);
  ASSERT_TRUE(ReadTextLine(f, &line));
  EXPECT_EQ(line, "");
  ASSERT_TRUE(ReadTextLine(f, &line));
  EXPECT_EQ(line, "last");
  EXPECT_FALSE(ReadTextLine(f, &line));
  std::fclose(f);
}

TEST(Lines, SplitWordsCountsAllAndStoresAtMostMax) {
  std::string_view words[3];
  EXPECT_EQ(SplitWords("", words, 3), 0);
  EXPECT_EQ(SplitWords(" \t\r ", words, 3), 0);
  EXPECT_EQ(SplitWords("  a bb\tccc\r", words, 3), 3);
  EXPECT_EQ(words[0], "a");
  EXPECT_EQ(words[2], "ccc");
  EXPECT_EQ(SplitWords("1 2 3 4 5", words, 3), 5);
  EXPECT_EQ(words[2], "3");
}

// Command-line numbers: the whole word is the number, blanks around it allowed; a
// number that is not finite (in any case and sign) or is beyond a double is none.
TEST(Numbers, ReadRealAndReadWholeTakeOnlyWholeWords) {
  struct Case {
    const char* text;
    bool real, whole;
    double value;
  };
  const Case cases[] = {
      {"2", true, true, 2},           {" 2 ", true, true, 2},     {"+3", true, true, 3},
      {"-7\n", true, true, -7},       {".5", true, false, 0.5},   {"1e3", true, false, 1000},
      {"1.5", true, false, 1.5},      {"0x10", true, false, 16},  {"1e-400", true, false, 0},
      {"", false, false, 0},          {"  ", false, false, 0},    {"two", false, false, 0},
      {"1,5", false, false, 0},       {"1x", false, false, 0},    {"1 2", false, false, 0},
      {"-", false, false, 0},         {"1-", false, false, 0},    {"nan", false, false, 0},
      {"-NaN", false, false, 0},      {"inf", false, false, 0},   {"+INF", false, false, 0},
      {"-Infinity", false, false, 0}, {"1e400", false, false, 0}, {"-1e400", false, false, 0},
      {"0x1p9999", false, false, 0},
  };
  for (const Case& c : cases) {
    double real = -99;
    EXPECT_EQ(ReadReal(c.text, &real), c.real) << c.text;
    if (c.real) {
      EXPECT_EQ(real, c.value) << c.text;
    }
    int whole = -99;
    EXPECT_EQ(ReadWhole(c.text, &whole), c.whole) << c.text;
    // A whole number gives its value; anything else leaves the variable as it was.
    EXPECT_EQ(whole, c.whole ? static_cast<int>(c.value) : -99) << c.text;
  }
  int n;
  EXPECT_TRUE(ReadWhole("99999999999", &n));
  EXPECT_EQ(n, INT_MAX);
  EXPECT_TRUE(ReadWhole("-99999999999", &n));
  EXPECT_EQ(n, INT_MIN);
  const std::string huge(400, '9');  // a whole number beyond the range of a double
  EXPECT_FALSE(ReadWhole(huge.c_str(), &n));
  EXPECT_EXIT(RealArgument("1,5"), ::testing::ExitedWithCode(1), "^1,5 : not a number\\.\n$");
  EXPECT_EXIT(WholeArgument("1.5"), ::testing::ExitedWithCode(1), "^1\\.5 : not a number\\.\n$");
}

// The bytes after the position of a regular file, read and positioned by stdio; a pipe
// has none to tell.
TEST(Files, BytesLeftOfARegularFileOnly) {
  FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  for (int i = 0; i < 100; ++i) std::fputc(i, file);
  std::rewind(file);
  struct Case {
    int read;
    uint64_t left;
  } cases[] = {{0, 100}, {10, 90}, {100, 0}};
  for (const Case& c : cases) {
    std::rewind(file);
    for (int i = 0; i < c.read; ++i) std::fgetc(file);
    uint64_t left = 12345;
    ASSERT_TRUE(FileBytesLeft(file, &left)) << c.read;
    EXPECT_EQ(left, c.left) << c.read;
  }
  std::fclose(file);
  FILE* pipe = popen("echo pipe", "r");
  ASSERT_NE(pipe, nullptr);
  uint64_t left = 0;
  EXPECT_FALSE(FileBytesLeft(pipe, &left));
  pclose(pipe);
}
