#include "framework/numfmt.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "framework/cstring.h"

namespace {

// The process locale as Qt leaves it: taken from the environment. The Russian run of these
// tests sets ZENTROVA_EXPECT_DECIMAL_COMMA so that a missing locale fails loudly instead of
// silently testing the "C" locale again.
TEST(ProcessLocale, IsTheOneTheEnvironmentAsksFor) {
  const char* expectComma = std::getenv("ZENTROVA_EXPECT_DECIMAL_COMMA");
  if (expectComma == nullptr) GTEST_SKIP() << "run without a locale expectation";
  ASSERT_STREQ(std::localeconv()->decimal_point, ",")
      << "the locale named by LC_ALL is not installed (locale-gen ru_RU.UTF-8)";
}

struct FormatCase {
  const char* fmt;
  double value;
  const char* expected;
};

class FloatFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FloatFormat, MatchesTheCLibraryInTheCLocale) {
  const auto& c = GetParam();
  EXPECT_EQ(zfw::Format(c.fmt, c.value), c.expected) << c.fmt << " of " << c.value;
}

INSTANTIATE_TEST_SUITE_P(
    Table, FloatFormat,
    ::testing::Values(FormatCase{"%3.2f", 0.25, "0.25"}, FormatCase{"%3.2f", -1.25, "-1.25"},
                      FormatCase{"%3.2f", 12.0, "12.00"}, FormatCase{"%5.2f", 1.5, " 1.50"},
                      FormatCase{"%5.2f", -3.14159, "-3.14"}, FormatCase{"%5.2f", 1000.0, "1000.00"},
                      FormatCase{"%03.2f", 0.5, "0.50"}, FormatCase{"%02.2f", 9.5, "9.50"},
                      FormatCase{"%02.2f", 59.999, "60.00"}, FormatCase{"%02.0f", 0.54, "01"},
                      FormatCase{"%02.0f", 99.95, "100"}, FormatCase{"%02.0f", 0.0, "00"},
                      FormatCase{"%08.3f", -2.5, "-002.500"}, FormatCase{"%-7.1f|", 2.25, "2.2    |"},
                      FormatCase{"%+.1f", 2.0, "+2.0"}, FormatCase{"%e", 12345.678, "1.234568e+04"},
                      FormatCase{"%g", 0.0001, "0.0001"}, FormatCase{"%g", 1e-5, "1e-05"},
                      FormatCase{"%G", 1e20, "1E+20"}, FormatCase{"%5.1f", -0.0, " -0.0"}));

TEST(Format, FloatFieldsUseSixSignificantDigits) {
  struct Case {
    float value;
    const char* expected;
  };
  for (const Case& c : {Case{0.33f, "0.33"}, Case{5.0f, "5"}, Case{0.1f, "0.1"}, Case{0.3f, "0.3"},
                        Case{1.15f, "1.15"}, Case{40.95f, "40.95"}, Case{1234567.0f, "1.23457e+06"}}) {
    EXPECT_EQ(zfw::Format("%.*g", 6, static_cast<double>(c.value)), c.expected);
  }
  EXPECT_EQ(zfw::Format("%.*g", 6, std::numeric_limits<double>::quiet_NaN()), "nan");
  EXPECT_EQ(zfw::Format("%f", -std::numeric_limits<double>::infinity()), "-inf");
  EXPECT_EQ(zfw::Format("%06f", std::numeric_limits<double>::infinity()), "   inf");
}

TEST(Format, IntegersAndText) {
  EXPECT_EQ(zfw::Format("%d", -42), "-42");
  EXPECT_EQ(zfw::Format("%u", 4000000000u), "4000000000");
  EXPECT_EQ(zfw::Format("%u", -1), "4294967295");
  EXPECT_EQ(zfw::Format("%2d", 6), " 6");
  EXPECT_EQ(zfw::Format("%05d", 123), "00123");
  EXPECT_EQ(zfw::Format("%04d", 210), "0210");
  EXPECT_EQ(zfw::Format("%02d_", 7), "07_");
  EXPECT_EQ(zfw::Format("%-4d|", 7), "7   |");
  EXPECT_EQ(zfw::Format("%+d % d", 5, 5), "+5  5");
  EXPECT_EQ(zfw::Format("%.3d", 7), "007");
  EXPECT_EQ(zfw::Format("%02X %x %#x %o", 0xAB, 255, 255, 8), "AB ff 0xff 10");
  EXPECT_EQ(zfw::Format("%s-%.2s-%5s", "ab", "xyz", "r"), "ab-xy-    r");
  EXPECT_EQ(zfw::Format("%c%%", 'A'), "A%");
  EXPECT_EQ(zfw::Format("%lld", 1LL << 40), "1099511627776");
  EXPECT_EQ(zfw::Format("%d %d", 1), "1 ") << "a missing argument prints nothing";
}

TEST(Format, CStringFormatAndReplace) {
  CString row;
  row.Format("%02.2f \t%3.2f\r\n", 9.5, 0.25);
  EXPECT_EQ(row.Replace(".", ","), 2);
  EXPECT_EQ(row.str(), "9,50 \t0,25\r\n");
  CString path("D:\\a.txtdir\\b.txt");
  EXPECT_EQ(path.Replace(".txt", ""), 2);
  EXPECT_EQ(path.str(), "D:\\adir\\b");
  CString upper("test.TXT");
  EXPECT_EQ(upper.Replace(".txt", ""), 0);
}

struct ScanCase {
  const char* text;
  bool ok;
  double value;
};

TEST(Scan, DoubleReadsTheLongestNumberPrefix) {
  const ScanCase cases[] = {
      {"0.33", true, 0.33},   {"0,5", true, 0.0},   {"  7", true, 7.0},   {"-1.5e1x", true, -15.0},
      {"+.5", true, 0.5},     {"4.99", true, 4.99}, {"1e", true, 1.0},    {"0x1p3", true, 8.0},
      {"", false, 0},         {"   ", false, 0},    {"abc", false, 0},    {",5", false, 0},
      {"-", false, 0},        {".", false, 0},      {"1e999", true, HUGE_VAL}, {"1e-999", true, 0.0},
      // One sign at most: a second one ends the scan before any digit.
      {"--5", false, 0},      {"+-5", false, 0},    {"-+5", false, 0},    {"--inf", false, 0},
      {"+-inf", false, 0},    {"- 5", false, 0},    {"+", false, 0},      {"0x-1p3", true, 0.0},
  };
  for (const auto& c : cases) {
    const auto got = zfw::ScanDouble(c.text);
    ASSERT_EQ(got.has_value(), c.ok) << "'" << c.text << "'";
    if (c.ok) {
      EXPECT_DOUBLE_EQ(*got, c.value) << "'" << c.text << "'";
    }
  }
  EXPECT_TRUE(std::isnan(*zfw::ScanDouble("nan")));
  EXPECT_TRUE(std::isnan(*zfw::ScanDouble(" NaN(1)")));
  EXPECT_EQ(*zfw::ScanDouble("-Infinity"), -HUGE_VAL);
}

TEST(Scan, IntegersLikeTheCLibrary) {
  EXPECT_EQ(zfw::ScanInt("200"), 200);
  EXPECT_EQ(zfw::ScanInt(" -15ms"), -15);
  EXPECT_EQ(zfw::ScanInt("+0"), 0);
  EXPECT_FALSE(zfw::ScanInt(""));
  EXPECT_FALSE(zfw::ScanInt("ms"));
  EXPECT_FALSE(zfw::ScanInt("- 1"));
  EXPECT_EQ(zfw::ScanInt("4294967297"), 1) << "wraps to int like a long narrowed to int";
  EXPECT_EQ(zfw::ScanUnsigned("300"), 300u);
  EXPECT_EQ(zfw::ScanUnsigned("-1"), 4294967295u);
  EXPECT_EQ(zfw::ScanUnsigned("70000"), 70000u);
  EXPECT_FALSE(zfw::ScanUnsigned("x1"));
  for (const char* text : {"--5", "+-5", "-+5", "- 5", "-", "+"}) {
    EXPECT_FALSE(zfw::ScanInt(text)) << "'" << text << "'";
    EXPECT_FALSE(zfw::ScanUnsigned(text)) << "'" << text << "'";
  }
}

}  // namespace
