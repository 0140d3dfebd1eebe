#include "tools/test_color.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace cue {
namespace {

bool Skipped(char c) { return c == ' ' || c == '\t' || c == '\n'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int DigitValue(char c, int base) {
  int v = -1;
  if (IsDigit(c)) v = c - '0';
  if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
  return v < base ? v : -1;
}

// "&H..." or "&O..." without the prefix. A value up to FFFF is a 16-bit two's-complement
// number, up to FFFFFFFF a 32-bit one; larger values keep their magnitude.
double PrefixedNumber(const std::string& digits, int base) {
  double magnitude = 0;
  for (char c : digits) {
    const int v = DigitValue(c, base);
    if (v < 0) break;
    magnitude = magnitude * base + v;
  }
  if (magnitude <= 0xFFFF) return static_cast<std::int16_t>(static_cast<std::uint16_t>(magnitude));
  if (magnitude <= 0xFFFFFFFF) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(magnitude));
  }
  return magnitude;
}

// The longest prefix of s that is [sign] digits [. digits] [(E|D) [sign] digits], with at
// least one digit before the exponent; exponent letters become 'e'. Empty if there is none.
std::string DecimalPrefix(const std::string& s, bool& negative, bool& negativeExponent) {
  std::size_t i = 0;
  negative = false;
  negativeExponent = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  std::string out;
  bool point = false;
  bool digits = false;
  for (; i < s.size(); ++i) {
    if (IsDigit(s[i])) {
      digits = true;
    } else if (s[i] == '.' && !point) {
      point = true;
    } else {
      break;
    }
    out += s[i];
  }
  if (!digits) return {};
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    std::size_t j = i + 1;
    std::string exponent = "e";
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
      negativeExponent = s[j] == '-';
      exponent += s[j++];
    }
    const std::size_t firstDigit = j;
    while (j < s.size() && IsDigit(s[j])) exponent += s[j++];
    if (j > firstDigit) out += exponent;
  }
  return out;
}

}  // namespace

double LeadingNumber(std::string_view text) {
  std::string s;
  s.reserve(text.size());
  for (char c : text) {
    if (!Skipped(c)) s += c;
  }
  if (s.size() >= 2 && s[0] == '&') {
    if (s[1] == 'h' || s[1] == 'H') return PrefixedNumber(s.substr(2), 16);
    if (s[1] == 'o' || s[1] == 'O') return PrefixedNumber(s.substr(2), 8);
    return 0;
  }
  bool negative = false;
  bool negativeExponent = false;
  const std::string number = DecimalPrefix(s, negative, negativeExponent);
  if (number.empty()) return 0;
  double value = 0;
  // from_chars, unlike strtod, does not follow the locale's decimal separator, which Qt sets
  // from the environment.
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    value = negativeExponent ? 0.0 : std::numeric_limits<double>::infinity();
  }
  return negative ? -value : value;
}

std::optional<std::int16_t> RoundToInt16(double value) {
  const double rounded = std::nearbyint(value);  // the default rounding mode: halves to even
  if (!(rounded >= -32768.0 && rounded <= 32767.0)) return std::nullopt;
  return static_cast<std::int16_t>(rounded);
}

std::optional<std::int32_t> ComposeColour(std::int16_t red, std::int16_t green, std::int16_t blue) {
  if (red < 0 || green < 0 || blue < 0) return std::nullopt;
  const auto component = [](std::int16_t v) { return std::min<int>(v, 255); };
  return ColourNumber(component(red), component(green), component(blue));
}

std::optional<std::int32_t> ColourOfTexts(std::string_view red, std::string_view green,
                                          std::string_view blue) {
  const std::optional<std::int16_t> r = RoundToInt16(LeadingNumber(red));
  if (!r) return std::nullopt;
  const std::optional<std::int16_t> g = RoundToInt16(LeadingNumber(green));
  if (!g) return std::nullopt;
  const std::optional<std::int16_t> b = RoundToInt16(LeadingNumber(blue));
  if (!b) return std::nullopt;
  return ComposeColour(*r, *g, *b);
}

}  // namespace cue
