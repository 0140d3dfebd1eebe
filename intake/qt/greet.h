#pragma once

#include <string>

#include "intake/greet_layout.h"
#include "intake/greet_logic.h"
#include "screens/qt/experiment_screen.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace cue {

class EntryBox;
class ValidationGuard;

// The start-up screen: the subject's ID, initials and order condition, and the Start button.
// It turns Qt's events into the handlers of GreetLogic, which decides, and draws the controls
// at the twip placements of GreetLayout. The controls are found by their names ("Label1" to
// "Label5", "Text1" to "Text3", "Command1").
//
// Load() runs Form_Load, which loads Blanke (hidden) and then shows this window. The window
// stays loaded under the experiment screens until the program ends.
class Greet final : public ExperimentScreen {
 public:
  explicit Greet(GreetContext context);

  // The controls' current placement in twips.
  const GreetLayout& layout() const { return layout_; }

 protected:
  void OnLoad() override { Form_Load(); }
  void OnResize() override { Form_Resize(); }
  int FormKeyPress(int keyAscii) override {
    Form_KeyPress(keyAscii);
    return keyAscii;
  }
  int ControlKeyPress(QWidget* control, int keyAscii) override;
  bool focusNextPrevChild(bool next) override;
  bool event(QEvent* event) override;

 private:
  void Form_Load();
  void Form_Activate();
  void Form_Resize();
  void Form_KeyPress(int& keyAscii) { logic_.Form_KeyPress(keyAscii); }
  void Text1_KeyPress(int& keyAscii) { keyAscii = logic_.Text1_KeyPress(keyAscii); }
  void Text2_KeyPress(int& keyAscii) { keyAscii = logic_.Text2_KeyPress(keyAscii); }
  void Text3_KeyPress(int& keyAscii) { keyAscii = logic_.Text3_KeyPress(keyAscii); }
  // The validations in the guard's terms: true lets the focus leave the box.
  bool Text1_Validate();
  bool Text2_Validate();
  bool Text3_Validate();
  void Command1_Click();

  // Counts the message boxes that the window's handlers open, its own and the quit question
  // that Esc leads to. Closing one gives the activation back to the window, and that is no
  // activation of the window: a message box is not a form, and the focus must stay in the box
  // whose validation failed. Counting the boxes, rather than asking at activation time which
  // window was active before, holds however late the platform reports the changes.
  struct BoxCounter final : Dialogs {
    explicit BoxCounter(Dialogs& dialogs) : inner(dialogs) {}
    Answer Show(const Message& message) override;
    Dialogs& inner;
    int returnsPending = 0;
  };
  // The context with the message boxes and the quit question counted.
  static GreetContext Counted(GreetContext context, BoxCounter& boxes);

  BoxCounter boxes_;
  GreetLogic logic_;
  GreetLayout layout_;
  QLabel* label1_;
  QLabel* label2_;
  QLabel* label3_;
  QLabel* label4_;
  QLabel* label5_;
  EntryBox* text1_;
  EntryBox* text2_;
  EntryBox* text3_;
  QPushButton* command1_;
  ValidationGuard* guard_;
};

}  // namespace cue
