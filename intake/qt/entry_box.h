#pragma once

#include <QLineEdit>

#include "intake/entry_rules.h"

namespace cue {

// A text box of the start-up screen that takes text by typing only, so that every character
// reaches it through the box's key filter (the form's key preview). A line edit has other
// ways in, and each is closed here:
//   - paste keys that type no character (Shift+Insert, the Paste key) do nothing; Ctrl+V
//     types code 22, which the filter refuses with its message before the box sees it;
//   - the context menu (Paste, Insert Unicode control character) is off;
//   - the middle button does not paste the X11 selection;
//   - drops are refused;
//   - input-method text is not taken.
// Behind these, a validator refuses any inserted text with a character the filter would
// refuse, for a way in that the toolkit may add later; it never fires for typed text.
class EntryBox final : public QLineEdit {
 public:
  EntryBox(Box box, const char* name, QWidget* parent);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
};

}  // namespace cue
