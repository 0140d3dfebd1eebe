#include "screens/form.h"

namespace cue {

void LoadAndShowForms(std::span<Form* const> forms) {
  for (Form* form : forms) {
    form->Load();
    form->SetVisible(true);
  }
}

void ShowForms(std::span<Form* const> forms) {
  for (Form* form : forms) form->Show();
}

}  // namespace cue
