// Catches: the colour tester misreading a typed value (blanks, decimals, sign, rounding).
#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>

#include "tools/test_color.h"

namespace cue {
namespace {

TEST(ColourArithmeticTest, LeadingNumberReadsTheNumberAtTheStart) {
  const struct {
    const char* text;
    double value;
  } cases[] = {
      // clang-format off
      // The number at the start; blanks, tabs and line feeds skipped, also inside it. The
      // decimal point never depends on the locale.
      {"255", 255}, {"12.5", 12.5}, {"7abc", 7}, {"  42", 42}, {"\t\n9", 9}, {"1 2", 12},
      {".5", 0.5}, {"1.2.3", 1.2}, {"3,5", 3},
      // No number at the start.
      {"", 0}, {"abc", 0}, {"-", 0}, {".", 0}, {"--5", 0}, {"\xc3\xa9", 0},
      {"-5", -5}, {"+5", 5}, {"- 5", -5},
      // clang-format on
  };
  for (const auto& c : cases) EXPECT_EQ(LeadingNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST(ColourArithmeticTest, RoundToInt16GoesHalfToEvenWithinSixteenBits) {
  const struct {
    double value;
    std::optional<std::int16_t> rounded;
  } rows[] = {
      // clang-format off
      {12.5, 12}, {13.5, 14}, {12.51, 13}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2},
      {32767.4, 32767}, {32767.5, std::nullopt} /* rounds to 32768 */, {-32768.5, -32768},
      {-32769, std::nullopt}, {std::numeric_limits<double>::infinity(), std::nullopt},
      // clang-format on
  };
  for (const auto& row : rows) EXPECT_EQ(RoundToInt16(row.value), row.rounded) << row.value;
}

}  // namespace
}  // namespace cue
