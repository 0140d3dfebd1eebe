#pragma once

#include <QFont>
#include <QRect>

#include "screens/blanke.h"
#include "screens/layout.h"
#include "screens/qt/experiment_screen.h"

namespace cue {

// The blank screen: an empty full screen with the fixation cross "+" (Label1, drawn by the
// form) in its centre while the core shows it. Esc asks the quit question; so does an
// attempt to close the window.
class BlankeForm final : public ExperimentScreen, public BlankeView {
 public:
  explicit BlankeForm(Blanke& core);

  void ShowBlankeForm() override { Show(); }
  void SetCrossVisible(bool visible) override;
  std::vector<Caption> Captions() const override;
  QRegion ContentRegion() const override;
  void PaintContent(QPainter& painter, const QRegion& region) override;

 protected:
  void OnLoad() override;
  void OnResize() override;
  int FormKeyPress(int keyAscii) override;
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  // Label1's place on the form, in pixels.
  QRect CrossRect() const;

  Blanke& core_;
  Control label1_{"Label1", 0, 0, 1215, 495, false};  // the fixation cross "+"
  QFont crossFont_;
};

}  // namespace cue
