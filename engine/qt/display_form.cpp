#include "engine/qt/display_form.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
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

std::pair<float, float> QtLabelMetrics::SizeOf(const std::string& caption) const {
  const QFontMetrics fm(font_);
  return {twips_.FromPixels(fm.horizontalAdvance(QString::fromStdString(caption))),
          twips_.FromPixels(fm.height())};
}

DisplayForm::DisplayForm(TrialCycle& core, const QtLabelMetrics& metrics)
    : ExperimentScreen("Display"), core_(core), metrics_(metrics) {
  core_.SetView(this);
}

void DisplayForm::OnLoad() {
  const FormSize size = SizeTwips();
  core_.Form_Resize(size.width, size.height);
  core_.Form_Load();
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

void DisplayForm::FormKeyPress(int& keyAscii) { core_.Form_KeyPress(keyAscii); }

void DisplayForm::closeEvent(QCloseEvent* event) {
  event->ignore();
  core_.Form_KeyPress(27);
}

// The label sized to its caption takes the caption's advance; a digit's glyph may overhang
// that by a pixel, so it is drawn in the label's box grown about its centre to hold it.
QRect DisplayForm::Box(const NumberLabel& label) const {
  Control box{"", label.left, label.top, label.width, label.height};
  FitCaption(box, metrics_.font(), QString::fromStdString(label.caption), Qt::AlignCenter);
  const auto px = [this](float t) { return static_cast<int>(std::lround(twips().ToPixels(t))); };
  return QRect(px(box.left), px(box.top), px(box.width), px(box.height));
}

std::vector<ExperimentScreen::Caption> DisplayForm::Captions() const {
  std::vector<Caption> captions;
  for (int i = 1; i <= LABEL_COUNT; ++i) {
    const NumberLabel& label = core_.field().Label1(i);
    if (label.visible) captions.push_back({QString::fromStdString(label.caption), metrics_.font(), Qt::AlignCenter, Box(label)});
  }
  return captions;
}

void DisplayForm::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintField(painter);
}

QImage DisplayForm::RenderFrame() {
  QImage image(size(), QImage::Format_RGB32);
  image.fill(palette().color(QPalette::Window));
  QPainter painter(&image);
  PaintField(painter);
  return image;
}

void DisplayForm::PaintField(QPainter& painter) const {
  const auto px = [this](float t) { return twips().ToPixels(t); };
  const StimulusField& field = core_.field();
  for (int j = 1; j <= LINE_COUNT; ++j) {
    const GridLine& line = field.Line1(j);
    if (!line.visible) continue;
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawLine(QPointF(px(line.x1), px(line.y1)), QPointF(px(line.x2), px(line.y2)));
  }
  painter.setFont(metrics_.font());
  for (int i = 1; i <= LABEL_COUNT; ++i) {
    const NumberLabel& label = field.Label1(i);
    if (!label.visible) continue;
    painter.setPen(ToQColor(label.foreColor));
    painter.drawText(Box(label), Qt::AlignCenter, QString::fromStdString(label.caption));
  }
}

}  // namespace cue
