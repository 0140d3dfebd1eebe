#pragma once

#include "platform/dialogs.h"

namespace cue {

// Message boxes as QMessageBox, application-modal, over the active window.
class QtDialogs final : public Dialogs {
 public:
  Answer Show(const Message& message) override;
};

}  // namespace cue
