#pragma once

#include "screens/layout.h"

namespace cue {

// The controls of the start-up screen with their design placement in twips. Label1 is an
// empty marker: the layout centres it on the form and moves the rest with it.
struct GreetLayout {
  Control label1{"Label1", 6600, 5280, 495, 495};
  Control label2{"Label2", 1200, 2880, 10215, 735};
  Control label3{"Label3", 5160, 4440, 2055, 495};
  Control text1{"Text1", 7440, 4320, 1215, 615};
  Control label4{"Label4", 4440, 5280, 2775, 495};
  Control text2{"Text2", 7440, 5160, 1215, 615};
  Control label5{"Label5", 3480, 6120, 3735, 495};
  Control text3{"Text3", 7440, 6120, 1215, 555};
  Control command1{"Command1", 6360, 7560, 1215, 495};
};

// Form_Resize's arithmetic: CenterControl puts Label1 in the middle of the form's outer size,
// then Label2, Label3, Label4, Label5, Text1, Text2, Text3 and Command1, in this order, move by
// the marker's shift. The shift is measured from the marker's current place, so a second
// layout at the same size moves nothing.
void LayOutGreet(GreetLayout& layout, FormSize form);

}  // namespace cue
