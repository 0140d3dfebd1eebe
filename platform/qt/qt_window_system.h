#pragma once

#include "platform/twips.h"
#include "platform/window_system.h"

class QWidget;

namespace cue {

// Twips of the primary screen, from its logical dots per inch (96 on a standard screen,
// giving 15 twips per pixel).
Twips ScreenTwips();

// The screen and the pointer through Qt.
class QtWindowSystem final : public WindowSystem {
 public:
  float ScreenWidthTwips() const override;
  float ScreenHeightTwips() const override;
  void SetCursorPos(int x, int y) override;
};

}  // namespace cue
