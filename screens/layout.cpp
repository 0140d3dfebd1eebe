#include "screens/layout.h"

#include <cmath>

namespace cue {

void FitText(Control& ctl, float textWidth, float textHeight, Anchor across, Anchor down) {
  const auto grow = [](float& start, float& size, float needed, Anchor anchor) {
    if (needed <= size) return;
    if (anchor == Anchor::kCenter) start -= (needed - size) / 2;
    if (anchor == Anchor::kEnd) start -= needed - size;
    size = needed;
  };
  grow(ctl.left, ctl.width, textWidth, across);
  grow(ctl.top, ctl.height, textHeight, down);
}

Shift CenterControl(Control& ctl, FormSize form) {
  const float x = (form.width - ctl.width) / 2;
  const float y = (form.height - ctl.height) / 2;
  const Shift shift{x - ctl.left, y - ctl.top};
  ctl.Move(x, y);
  return shift;
}

void CenterControlGroup(FormSize form, std::span<Control* const> controls) {
  float minLeft = form.width;
  float minTop = form.height;
  float maxRight = 0;
  float maxBottom = 0;
  for (const Control* c : controls) {
    if (!c->visible) continue;
    if (c->left < minLeft) minLeft = c->left;
    if (c->left + c->width > maxRight) maxRight = c->left + c->width;
    if (c->top < minTop) minTop = c->top;
    if (c->top + c->height > maxBottom) maxBottom = c->top + c->height;
  }
  const float dx = form.width / 2 - ((maxRight - minLeft) / 2 + minLeft);
  const float dy = form.height / 2 - ((maxBottom - minTop) / 2 + minTop);
  for (Control* c : controls) c->Move(c->left + dx, c->top + dy);
}

void ScaleControls(FormSize form, std::span<Control* const> controls, Control& ctl,
                   ScaleMemory& memory) {
  if (memory.lastFormWidth == 0) {  // the first call only records the size
    memory.lastFormWidth = form.width;
    memory.lastFormHeight = form.height;
  }
  const float sx = form.width / memory.lastFormWidth;
  const float sy = form.height / memory.lastFormHeight;
  ctl.width = ctl.width * sx;
  ctl.height = ctl.height * sy;
  for (Control* c : controls) {
    if (c->name != ctl.name) c->Move(c->left * sx, c->top * sy);
  }
  memory.lastFormWidth = form.width;
  memory.lastFormHeight = form.height;
}

void ParkCursor(WindowSystem& windows) {
  // lrint rounds half to even in the default rounding mode.
  const auto x = static_cast<int>(std::lrint(windows.ScreenWidthTwips()));
  const auto y = static_cast<int>(std::lrint(windows.ScreenHeightTwips()));
  windows.SetCursorPos(x, y);
}

}  // namespace cue
