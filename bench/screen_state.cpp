#include "bench/screen_state.h"

#include <algorithm>
#include <cstdlib>

namespace cue::bench {

namespace {

// The fixation cross is a 24 pt "+": far smaller than this, and centred.
constexpr int kCrossMaxSize = 80;
constexpr int kCrossMaxOffCentre = 40;
// The rest screen's text is one line of 18 pt: low and wide.
constexpr int kRestMaxHeight = 60;
constexpr int kRestMinWidth = 120;

}  // namespace

const char* Name(Screen screen) {
  switch (screen) {
    case Screen::kBlank:
      return "blank";
    case Screen::kCross:
      return "cross";
    case Screen::kRest:
      return "rest";
    case Screen::kField:
      return "field";
    case Screen::kOther:
      return "other";
  }
  return "?";
}

void Box::Add(int x, int y) {
  if (Empty()) {
    left = right = x;
    top = bottom = y;
    return;
  }
  left = std::min(left, x);
  right = std::max(right, x);
  top = std::min(top, y);
  bottom = std::max(bottom, y);
}

bool ScreenState::SameAs(const ScreenState& other) const {
  if (screen != other.screen) return false;
  if (screen != Screen::kField) return true;
  return redField == other.redField && oddBox == other.oddBox;
}

std::string ScreenState::Describe() const {
  std::string text = Name(screen);
  if (screen == Screen::kField) {
    text += redField ? " red" : " green";
    if (!oddBox.Empty()) {
      text += " odd@" + std::to_string(oddBox.left) + "," + std::to_string(oddBox.top);
    }
  }
  return text;
}

ScreenState Classify(const std::uint32_t* pixels, int width, int height, int stride) {
  ScreenState s;
  s.background = pixels[0] & 0xFFFFFF;
  Box redBox, greenBox;
  for (int y = 0; y < height; ++y) {
    const std::uint32_t* row = pixels + static_cast<std::ptrdiff_t>(y) * stride;
    const int end = y >= height - kPointerCorner ? width - kPointerCorner : width;
    for (int x = 0; x < end; ++x) {
      const std::uint32_t c = row[x] & 0xFFFFFF;
      if (c == s.background) continue;
      if (c == kRed) {
        ++s.red;
        redBox.Add(x, y);
      } else if (c == kGreen) {
        ++s.green;
        greenBox.Add(x, y);
      } else {
        ++s.ink;
        s.inkBox.Add(x, y);
      }
    }
  }
  if (s.red + s.green >= kMinFieldPixels) {
    s.screen = Screen::kField;
    s.redField = s.red >= s.green;
    s.oddBox = s.redField ? greenBox : redBox;
  } else if (s.ink == 0 && s.red + s.green == 0) {
    s.screen = Screen::kBlank;
  } else if (s.inkBox.Width() <= kCrossMaxSize && s.inkBox.Height() <= kCrossMaxSize &&
             std::abs((s.inkBox.left + s.inkBox.right) / 2 - width / 2) <= kCrossMaxOffCentre &&
             std::abs((s.inkBox.top + s.inkBox.bottom) / 2 - height / 2) <= kCrossMaxOffCentre) {
    s.screen = Screen::kCross;
  } else if (s.inkBox.Height() <= kRestMaxHeight && s.inkBox.Width() >= kRestMinWidth) {
    s.screen = Screen::kRest;
  }
  return s;
}

}  // namespace cue::bench
