#include "screens/rest.h"

namespace cue {

void Rest::Start() {
  resting_ = true;
  if (form_ == nullptr) return;
  Form* const self[] = {form_};
  ShowForms(self);
}

void Rest::Form_KeyPress(int keyAscii) {
  if (keyAscii == 27) {
    blanke_.RequestUnload();
  } else if (keyAscii == 32 && resting_) {
    resting_ = false;
    beginBlock_();
    blanke_.ShowBlanke(kRestBlank, display_);
  }
}

}  // namespace cue
