#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace cue {

// The arithmetic of the colour tester (TestColor): from three typed texts to a colour number.
//
// A colour number is red + 256 * green + 65536 * blue, each component 0..255, the single
// integer by which the system names colours (255 is red, 32000 the dark green of the labels).

// The number at the start of a text, read leniently as BASIC's Val reads it:
// - blanks, tabs and line feeds are skipped wherever they stand ("1 2" reads 12);
// - an optional sign, digits with at most one decimal point, and an optional exponent of
//   "E" or "D" with its own optional sign ("1.5e2" reads 150; "2e" reads 2);
// - "&H" followed by hex digits or "&O" by octal digits (either case). A value up to &HFFFF is
//   a 16-bit two's-complement number, up to &HFFFFFFFF a 32-bit one: "&HFF" reads 255,
//   "&HFFFF" reads -1, "&H10000" reads 65536. Larger values keep their magnitude and so lie
//   outside every 16-bit range; "&" with anything else reads 0;
// - reading stops at the first character that cannot continue the number; a text that does not
//   begin with a number reads 0 ("", "abc", "-", "." all read 0). "7abc" reads 7.
// A decimal number too large for a double reads as infinity.
double LeadingNumber(std::string_view text);

// Rounds to the nearest integer, halves to the even neighbour (12.5 -> 12, 13.5 -> 14,
// -0.5 -> 0), as a 16-bit signed integer. Empty when the rounded value lies outside
// -32768..32767 (32767.5 rounds to 32768 and is refused; -32768.5 rounds to -32768).
std::optional<std::int16_t> RoundToInt16(double value);

// red + 256 * green + 65536 * blue, where a component above 255 counts as 255. A negative
// component is refused (empty): there is no sensible colour for it, and the tester then
// leaves its swatch as it was, as for any other value it cannot use.
std::optional<std::int32_t> ComposeColour(std::int16_t red, std::int16_t green, std::int16_t blue);

// The colour number of components that are already 0..255 (a colour read back from the
// screen).
constexpr std::int32_t ColourNumber(int red, int green, int blue) {
  return red + 256 * green + 65536 * blue;
}

// Steps 1 to 3 of the tester's change handler: read the red, green and blue texts, round
// each, compose. Empty when the handler must stop quietly and change nothing.
std::optional<std::int32_t> ColourOfTexts(std::string_view red, std::string_view green,
                                          std::string_view blue);

}  // namespace cue
