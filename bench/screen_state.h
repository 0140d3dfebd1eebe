#pragma once

#include <cstdint>
#include <string>

namespace cue::bench {

// What the subject sees, told from one frame of the screen.
enum class Screen {
  kBlank,  // nothing but the background
  kCross,  // a small mark in the centre: the fixation cross
  kRest,   // one line of text: the rest screen
  kField,  // red and/or green digits: the stimulus field
  kOther,  // anything else (the start-up screen, a message box)
};
const char* Name(Screen screen);

// An inclusive pixel rectangle; empty when nothing was found.
struct Box {
  int left = 0;
  int top = 0;
  int right = -1;
  int bottom = -1;
  bool Empty() const { return right < left; }
  int Width() const { return Empty() ? 0 : right - left + 1; }
  int Height() const { return Empty() ? 0 : bottom - top + 1; }
  void Add(int x, int y);
  bool operator==(const Box&) const = default;
};

// The colours the experiment draws its digits in, as 0xRRGGBB.
inline constexpr std::uint32_t kRed = 0xFF0000;
inline constexpr std::uint32_t kGreen = 0x007D00;  // the colour value 32000: red 0, green 125

struct ScreenState {
  Screen screen = Screen::kOther;
  std::uint32_t background = 0;  // 0xRRGGBB of the top-left pixel
  int red = 0;                   // pixels of exactly kRed
  int green = 0;                 // pixels of exactly kGreen
  int ink = 0;                   // other pixels that differ from the background
  Box inkBox;
  bool redField = false;  // kField: the majority of the digits is red
  Box oddBox;             // kField: where the minority colour is (the flickering label)

  // Whether other shows the same thing: the same screen and, for the field, the same block
  // colour with the odd label in the same place. A flicker swap changes the odd box.
  bool SameAs(const ScreenState& other) const;
  std::string Describe() const;
};

// Fewest pixels of the digits' colours that make a field; anti-aliased edges are never
// counted, only the glyphs' solid insides (thousands for 30 digits at 18 pt).
inline constexpr int kMinFieldPixels = 100;
// The bottom-right corner, where the program parks the pointer, is not looked at: an X server
// without a hardware cursor may draw the pointer into the frame.
inline constexpr int kPointerCorner = 32;

// Classifies a frame of 32-bit pixels (0x..RRGGBB, the top byte ignored), stride in pixels.
// REQUIRES: width, height > 0; stride >= width.
ScreenState Classify(const std::uint32_t* pixels, int width, int height, int stride);

}  // namespace cue::bench
