#pragma once

#include <QObject>
#include <functional>
#include <vector>

class QWidget;

namespace cue {

// A box's validation that runs when the focus is about to leave the box for another control
// of the window, and that can keep the focus in the box.
//
// Qt has no such event: a focus-out event comes after the move. So the guard acts on the
// causes of a move, before Qt carries them out:
//   - Tab and Backtab: the window's focusNextPrevChild() asks MayLeave() first and does
//     nothing when it answers false;
//   - a mouse press on another control of the guard: the controls take the focus by Tab only
//     (Qt::TabFocus), so Qt never moves it on a press by itself. The guard moves it once the
//     validation has passed, or swallows the press: a button then never goes down and never
//     clicks.
// A move that no user action between controls causes (the window becoming active, focus set
// by code, a message box opening) validates nothing.
class ValidationGuard final : public QObject {
 public:
  // Runs a box's validation; false keeps the focus in the box.
  using Validate = std::function<bool()>;

  // Guards the controls of window, which it sets to take no focus itself (a press on a control
  // that takes no click focus would otherwise give the focus to the window). The controls must
  // be direct children of window.
  explicit ValidationGuard(QWidget* window);

  // A box whose validation runs when the focus is about to leave it.
  void AddBox(QWidget* box, Validate validate);
  // A control that a click moves the focus to, with no validation of its own.
  void AddControl(QWidget* control);

  // Whether the focus may move to `to` (nullptr: to wherever Tab leads). Runs the validation
  // of the box that has the focus, unless the focus would stay in it.
  bool MayLeave(const QWidget* to);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Guard(QWidget* control);

  QWidget* window_;
  std::vector<std::pair<const QWidget*, Validate>> boxes_;
};

}  // namespace cue
