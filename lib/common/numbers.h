// Numbers from command-line words and text fields.
//
//   ParseReal(text)        atof: leading number, 0 when there is none; out-of-range
//                          text gives +-HUGE_VAL or 0 as strtod does
//   ParseRealText(text)    the same value as ParseReal, faster on plain decimal numbers
//   ParseInt(text)         atoi: leading decimal integer, 0 when there is none;
//                          out-of-range text saturates at INT_MIN / INT_MAX
//   ReadReal(text, &v)     true when strtod reads the whole text, blanks around it allowed,
//                          as a finite number ("1e3", ".5", "+3" are numbers; "", "two",
//                          "1,5", "nan", "inf" and "1e400", beyond a double, are not)
//   ReadWhole(text, &v)    the same for a decimal whole number (strtol; "1.5" is not one);
//                          numbers beyond an int saturate at INT_MIN / INT_MAX as ParseInt's,
//                          those beyond a double are not numbers
//   RealArgument(word)     a command-line number: ReadReal's value, else the message
//                          "WORD : not a number." and status 1
//   WholeArgument(word)    the same for a whole number (a level, a count, a flag word)
//   NotANumber(word)       "WORD : not a number." and status 1
//   InRange(v, lo, hi)     lo <= v <= hi; false for not-a-number
//   ToInt(v)               trunc(v) clamped to the int range, 0 for not-a-number
//   IsFormat(fmt, convs, allowLong)
//                          fmt holds literal text, "%%" and exactly one conversion
//                          "%[-+ #0]*[width][.precision][l]c" with c among convs,
//                          width and precision at most kMaxFormatField
#pragma once

#include <string_view>

double ParseReal(const char* text);
double ParseRealText(const char* text);
int ParseInt(const char* text);

bool ReadReal(const char* text, double* value);
bool ReadWhole(const char* text, int* value);
double RealArgument(const char* word);
int WholeArgument(const char* word);
[[noreturn]] void NotANumber(const char* word);

inline bool InRange(double v, double lo, double hi) { return v >= lo && v <= hi; }
int ToInt(double v);

constexpr long long kMaxFormatField = 4096;
bool IsFormat(const char* format, std::string_view conversions, bool allowLong);
