#include "intake/greet_layout.h"

namespace cue {

void LayOutGreet(GreetLayout& layout, FormSize form) {
  const Shift shift = CenterControl(layout.label1, form);
  for (Control* c : {&layout.label2, &layout.label3, &layout.label4, &layout.label5, &layout.text1,
                     &layout.text2, &layout.text3, &layout.command1}) {
    c->Move(c->left + shift.dx, c->top + shift.dy);
  }
}

}  // namespace cue
