#include "tools/debug_window.h"

namespace cue {

WindowPlace DebugFormResize(FormSize form, Control& ole1, ScaleMemory& memory,
                            float screenWidthTwips) {
  Control* controls[] = {&ole1};
  ScaleControls(form, controls, ole1, memory);
  return WindowPlace{0, 0, screenWidthTwips, form.height};
}

}  // namespace cue
