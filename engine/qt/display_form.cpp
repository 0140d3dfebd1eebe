#include "engine/qt/display_form.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "platform/qt/fonts.h"
#include "platform/qt/qt_window_system.h"

namespace cue {

namespace {
QColor ToQColor(std::int32_t colour) {
  return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}
}  // namespace

QtLabelMetrics::QtLabelMetrics() : font_(MsSansSerif(18, true)), twips_(ScreenTwips()) {}

// Measured once per caption: a trial's steps size thirty labels.
std::pair<float, float> QtLabelMetrics::SizeOf(const std::string& caption) const {
  auto& size = sizes_[caption];
  if (size.first == 0) {
    const QFontMetrics fm(font_);
    size = {twips_.FromPixels(fm.horizontalAdvance(QString::fromStdString(caption))),
            twips_.FromPixels(fm.height())};
  }
  return size;
}

DisplayForm::DisplayForm(TrialCycle& core, const QtLabelMetrics& metrics)
    : ExperimentScreen("Display"), core_(core), metrics_(metrics) {
  core_.SetView(this);
}

void DisplayForm::OnLoad() {
  const FormSize size = SizeTwips();
  core_.Form_Resize(size.width, size.height);
  core_.Form_Load();
  // Every caption's image in both colours before the first trial.
  for (char digit = '0'; digit <= '9'; ++digit) {
    NumberLabel label;
    label.caption = std::string(1, digit);
    std::tie(label.width, label.height) = metrics_.SizeOf(label.caption);
    for (const LabelColour colour : {LabelColour::kRed, LabelColour::kGreen}) {
      Glyph(label.caption, ColourValue(colour), Box(label).size());
    }
  }
}

void DisplayForm::OnResize() {
  const FormSize size = SizeTwips();
  core_.Form_Resize(size.width, size.height);
}

void DisplayForm::ShowDisplay() {
  Form* const self[] = {this};
  ShowForms(self);
}

void DisplayForm::HideDisplay() { SetVisible(false); }

void DisplayForm::FieldChanged() { Redraw(); }

void DisplayForm::FrameShown(Refresh at) { core_.FieldShown(at); }

int DisplayForm::FormKeyPress(int keyAscii) {
  core_.Form_KeyPress(keyAscii);
  return keyAscii;
}

void DisplayForm::closeEvent(QCloseEvent* event) {
  event->ignore();
  core_.Form_KeyPress(27);
}

// The label sized to its caption takes the caption's advance; a digit's glyph may overhang
// that by a pixel, so it is drawn in the label's box grown about its centre to hold it.
QRect DisplayForm::Box(const NumberLabel& label) const {
  Control box{"", label.left, label.top, label.width, label.height};
  // The caption's drawn size, measured once per caption: a frame asks for 30 boxes.
  auto& size = textSizes_[label.caption];
  if (size.isEmpty()) {
    size = QFontMetrics(metrics_.font())
               .boundingRect(QRect(), Qt::AlignCenter, QString::fromStdString(label.caption))
               .size();
  }
  FitText(box, twips().FromPixels(size.width()), twips().FromPixels(size.height()), Anchor::kCenter,
          Anchor::kCenter);
  const auto px = [this](float t) { return static_cast<int>(std::lround(twips().ToPixels(t))); };
  return QRect(px(box.left), px(box.top), px(box.width), px(box.height));
}

std::vector<ExperimentScreen::Caption> DisplayForm::Captions() const {
  std::vector<Caption> captions;
  for (const NumberLabel& label : core_.field().labels()) {
    if (label.visible)
      captions.push_back(
          {QString::fromStdString(label.caption), metrics_.font(), Qt::AlignCenter, Box(label)});
  }
  return captions;
}

void DisplayForm::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintField(painter);
}

QRegion DisplayForm::TakeChanges() {
  QRegion changed;
  const StimulusField& field = core_.field();
  for (std::size_t j = 0; j < field.lines().size(); ++j) {
    const GridLine& line = field.lines()[j];
    const DrawnLine now{line.visible, line.x1, line.y1, line.x2, line.y2};
    if (now != drawnLines_[j]) changed = rect();
    drawnLines_[j] = now;
  }
  for (std::size_t i = 0; i < field.labels().size(); ++i) {
    const NumberLabel& label = field.labels()[i];
    DrawnLabel& drawn = drawn_[i];
    const DrawnLabel now{label.visible, label.caption, label.foreColor, Box(label)};
    if (now == drawn) continue;
    if (drawn.visible) changed += drawn.box;
    if (now.visible) changed += now.box;
    drawn = now;
  }
  return changed;
}

QRegion DisplayForm::ContentRegion() const {
  QRegion content;
  for (const DrawnLabel& label : drawn_) {
    if (label.visible) content += label.box;
  }
  for (const DrawnLine& line : drawnLines_) {
    if (!line.visible) continue;
    const auto px = [this](float t) { return static_cast<int>(std::lround(twips().ToPixels(t))); };
    content += QRect(QPoint(px(std::min(line.x1, line.x2)), px(std::min(line.y1, line.y2))),
                     QPoint(px(std::max(line.x1, line.x2)), px(std::max(line.y1, line.y2))))
                   .adjusted(-1, -1, 1, 1);
  }
  return content;
}

// Each label as last taken by TakeChanges(); the lines with the pen, as paintEvent draws them.
void DisplayForm::PaintContent(QPainter& painter, const QRegion& region) {
  for (const DrawnLine& line : drawnLines_) {
    if (!line.visible) continue;
    const auto px = [this](float t) { return twips().ToPixels(t); };
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawLine(QPointF(px(line.x1), px(line.y1)), QPointF(px(line.x2), px(line.y2)));
  }
  for (const DrawnLabel& label : drawn_) {
    if (label.visible && region.intersects(label.box)) {
      painter.drawImage(label.box.topLeft(), Glyph(label.caption, label.colour, label.box.size()));
    }
  }
}

// A caption in a colour on the background, the size of its box: drawn once, copied ever after.
const QImage& DisplayForm::Glyph(const std::string& caption, std::int32_t colour, QSize size) {
  auto& glyph = glyphs_[{caption, colour, size.width(), size.height()}];
  if (glyph.isNull()) {
    glyph = QImage(size, QImage::Format_RGB32);
    glyph.fill(palette().color(QPalette::Window));
    QPainter painter(&glyph);
    painter.setFont(metrics_.font());
    painter.setPen(ToQColor(colour));
    painter.drawText(QRect(QPoint(0, 0), size), Qt::AlignCenter, QString::fromStdString(caption));
  }
  return glyph;
}

void DisplayForm::PaintField(QPainter& painter) const {
  const auto px = [this](float t) { return twips().ToPixels(t); };
  const StimulusField& field = core_.field();
  for (const GridLine& line : field.lines()) {
    if (!line.visible) continue;
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawLine(QPointF(px(line.x1), px(line.y1)), QPointF(px(line.x2), px(line.y2)));
  }
  painter.setFont(metrics_.font());
  for (const NumberLabel& label : field.labels()) {
    if (!label.visible) continue;
    painter.setPen(ToQColor(label.foreColor));
    painter.drawText(Box(label), Qt::AlignCenter, QString::fromStdString(label.caption));
  }
}

}  // namespace cue
