#pragma once

namespace cue {

// The screen and the mouse pointer, as the layout procedures need them.
class WindowSystem {
 public:
  virtual ~WindowSystem() = default;
  // The screen's size in twips (1/1440 inch), from its real dots per inch.
  virtual float ScreenWidthTwips() const = 0;
  virtual float ScreenHeightTwips() const = 0;
  // Moves the mouse pointer to the pixel (x, y); the system keeps it on the screen, so a
  // point beyond the bottom-right corner leaves it in that corner.
  virtual void SetCursorPos(int x, int y) = 0;
};

}  // namespace cue
