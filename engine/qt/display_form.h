#pragma once

#include <QFont>
#include <QPainter>

#include "engine/trial_cycle.h"
#include "platform/twips.h"
#include "screens/qt/experiment_screen.h"
#include "stimulus/field.h"

namespace cue {

// Sizes of number labels sized to their captions: the text's advance width and the font's
// height, in twips, in the labels' font (MS Sans Serif 18 pt bold, as mapped).
class QtLabelMetrics final : public LabelMetrics {
 public:
  QtLabelMetrics();
  std::pair<float, float> SizeOf(const std::string& caption) const override;
  const QFont& font() const { return font_; }

 private:
  QFont font_;
  Twips twips_;
};

// The experiment screen. It draws the 30 number labels and the (hidden) grid lines from the
// core's field in one paint, so a change of field or colour reaches the screen whole in the
// next frame, and it turns loads, resizes and keys into the trial cycle's handlers.
class DisplayForm final : public ExperimentScreen, public DisplayView {
 public:
  DisplayForm(TrialCycle& core, const QtLabelMetrics& metrics);

  void ShowDisplay() override;
  void HideDisplay() override;
  void FieldChanged() override;
  std::vector<Caption> Captions() const override;
  void FrameShown(Refresh at) override;
  // Only the background and the field, without the widget machinery: it runs between the
  // clock's start and the field's refresh.
  QImage RenderFrame() override;

 protected:
  void OnLoad() override;
  void OnResize() override;
  void FormKeyPress(int& keyAscii) override;
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // A number label's place on the form, in pixels.
  QRect Box(const NumberLabel& label) const;
  void PaintField(QPainter& painter) const;

  TrialCycle& core_;
  const QtLabelMetrics& metrics_;
};

}  // namespace cue
