#pragma once

#include <span>
#include <string>

#include "platform/window_system.h"

namespace cue {

// A control as the layout procedures see it. Positions and sizes are twips, in single
// precision, as the forms keep them; the Qt forms draw their widgets from these values, so
// a layout run twice at one size moves nothing.
struct Control {
  std::string name;
  float left = 0;
  float top = 0;
  float width = 0;
  float height = 0;
  bool visible = true;

  void Move(float newLeft, float newTop) {
    left = newLeft;
    top = newTop;
  }
};

// A form's outer size in twips (for the borderless full-screen forms, the screen's size).
struct FormSize {
  float width = 0;
  float height = 0;
};

// The side of a control that its text keeps to, across or down.
enum class Anchor { kStart, kCenter, kEnd };

// Grows ctl, where a text of textWidth x textHeight twips would not fit in it, to hold that
// text, as a control sizing itself to its caption would; a control whose text fits keeps its
// size and place. Across and down, the side the text keeps to stays where it is, and a
// centred text grows its control by the same amount on both sides.
void FitText(Control& ctl, float textWidth, float textHeight, Anchor across, Anchor down);

// How far a control moved, in twips.
struct Shift {
  float dx = 0;
  float dy = 0;
};
// Puts ctl in the middle of the form; returns how far it moved.
Shift CenterControl(Control& ctl, FormSize form);

// Moves every control of a form, visible or not, by one offset that centres the bounding
// box of the visible ones. With no visible control the offset is 0.
void CenterControlGroup(FormSize form, std::span<Control* const> controls);

// The one size remembered by ScaleControls, for the whole process; 0 until its first call.
struct ScaleMemory {
  float lastFormWidth = 0;
  float lastFormHeight = 0;
};

// Resizes ctl, and moves every other control (every control whose name differs from ctl's),
// in the ratio of the form's size to the size seen at the last call.
void ScaleControls(FormSize form, std::span<Control* const> controls, Control& ctl,
                   ScaleMemory& memory);

// Moves the mouse pointer to the screen's bottom-right corner. The screen's size in twips,
// rounded half to even, is used as a pixel position that lies at or beyond the corner; the
// system keeps the pointer on the screen.
void ParkCursor(WindowSystem& windows);

}  // namespace cue
