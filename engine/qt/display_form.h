#pragma once

#include <QFont>
#include <QPainter>
#include <QRegion>
#include <array>
#include <map>
#include <string>
#include <tuple>

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
  mutable std::map<std::string, std::pair<float, float>> sizes_;
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
  // As a page of the experiment window the field is drawn label by label, each from a small
  // image of its caption in its colour made once: a trial's field costs 30 copies, a flicker
  // swap one. The toolkit's own painting (paintEvent) draws the same pixels with text calls.
  QRegion ContentRegion() const override;
  void PaintContent(QPainter& painter, const QRegion& region) override;
  // The boxes of the labels (old and new place) whose caption, colour, place or visibility
  // changed since the last call; the whole page when a grid line changed.
  QRegion TakeChanges() override;

 protected:
  void OnLoad() override;
  void OnResize() override;
  int FormKeyPress(int keyAscii) override;
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // A number label's place on the form, in pixels.
  QRect Box(const NumberLabel& label) const;
  void PaintField(QPainter& painter) const;
  const QImage& Glyph(const std::string& caption, std::int32_t colour, QSize size);

  struct DrawnLabel {
    bool visible = false;
    std::string caption;
    std::int32_t colour = 0;
    QRect box;
    bool operator==(const DrawnLabel&) const = default;
  };
  struct DrawnLine {
    bool visible = false;
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    bool operator==(const DrawnLine&) const = default;
  };

  TrialCycle& core_;
  const QtLabelMetrics& metrics_;
  std::array<DrawnLabel, kLabelCount> drawn_{};  // as the page was last drawn
  std::array<DrawnLine, kLineCount> drawnLines_{};
  std::map<std::tuple<std::string, std::int32_t, int, int>, QImage> glyphs_;
  mutable std::map<std::string, QSize> textSizes_;
};

}  // namespace cue
