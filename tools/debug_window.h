#pragma once

#include "screens/layout.h"

namespace cue {

// The debug window (myDebug), "My Debug Window": a sizable window for the experimenter that
// floats above the experiment screens, docks itself to the top of the screen at full width
// and is shown and hidden with the grave accent. Its one control, OLE1, shows a file.
//
// This header holds what the window computes; tools/qt/debug_window.h draws it.

inline constexpr const char* kDebugCaption = "My Debug Window";
// The typed character that shows or hides the window, wherever the keyboard focus is.
inline constexpr int kDebugToggleKey = 96;  // grave accent

// Design client area and OLE1's design place, in twips.
inline constexpr FormSize kDebugDesignClient{8445, 1590};
inline Control DebugDesignOle1() { return Control{"OLE1", 0, 0, 8415, 1575}; }

// Shows the debug window if it is hidden and hides it if it is shown, creating and loading it
// the first time. The screens' key handlers call this for the grave accent.
class DebugToggle {
 public:
  virtual ~DebugToggle() = default;
  virtual void Toggle() = 0;
};

// Where a window is to be, outer edges, in twips.
struct WindowPlace {
  float left = 0;
  float top = 0;
  float width = 0;
  float height = 0;
};

// Form_Resize of the debug window. form: the window's outer size now. Scales ole1 with
// ScaleControls against the process-wide memory (so ole1 follows the window's height, and its
// width follows every width change including the docking one) and returns where the window
// belongs: the top-left corner of the screen, as wide as the screen, as high as it is.
// The caller moves and sizes the window there; a changed width raises the resize handler
// once more, which then finds the window in place.
WindowPlace DebugFormResize(FormSize form, Control& ole1, ScaleMemory& memory,
                            float screenWidthTwips);

}  // namespace cue
