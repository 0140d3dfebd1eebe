#pragma once

#include <QString>
#include <string>

#include "platform/dialogs.h"

namespace cue {

// A message's text as shown: UTF-8, the system's encoding of file and folder names, with its
// CR line breaks as Qt's LF.
QString MessageText(const std::string& text);

// Message boxes as QMessageBox, application-modal, over the active window.
class QtDialogs final : public Dialogs {
 public:
  Answer Show(const Message& message) override;
};

}  // namespace cue
