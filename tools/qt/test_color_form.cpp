#include "tools/qt/test_color_form.h"

#include <QColor>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <cmath>

#include "platform/qt/qt_window_system.h"
#include "tools/test_color.h"

namespace cue {
namespace {

// The form's client area at design, in twips.
constexpr FormSize kClient{5400, 2370};

void SetBackground(QLabel* label, std::int32_t colour) {
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window,
                   QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF));
  label->setPalette(palette);
  label->setAutoFillBackground(true);
}

}  // namespace

TestColorForm::TestColorForm(QWidget* parent) : QWidget(parent, Qt::Window), twips_(ScreenTwips()) {
  setWindowTitle(QStringLiteral("Form1"));
  setObjectName(QStringLiteral("TestColor"));
  resize(static_cast<int>(std::lround(twips_.ToPixels(kClient.width))),
         static_cast<int>(std::lround(twips_.ToPixels(kClient.height))));

  AddLabel("Red", Control{"Label2", 480, 600, 615, 255});
  AddLabel("Green", Control{"Label3", 480, 960, 615, 255});
  AddLabel("Blue", Control{"Label4", 480, 1320, 615, 255});
  text1_ = AddText(Control{"Text1", 1200, 600, 1215, 285});
  text2_ = AddText(Control{"Text2", 1200, 960, 1215, 285});
  text3_ = AddText(Control{"Text3", 1200, 1320, 1215, 285});
  label1_ = AddLabel("", Control{"Label1", 2760, 600, 1695, 495});
  label6_ = AddLabel("", Control{"Label6", 2760, 1080, 1695, 495});
  label5_ = AddLabel("", Control{"Label5", 480, 1800, 4095, 255});

  setTabOrder(text1_, text2_);
  setTabOrder(text2_, text3_);
  text1_->setFocus();
  connect(text1_, &QLineEdit::textChanged, this, &TestColorForm::Text1_Change);
  connect(text2_, &QLineEdit::textChanged, this, &TestColorForm::Text2_Change);
  connect(text3_, &QLineEdit::textChanged, this, &TestColorForm::Text3_Change);
  Form_Load();
}

void TestColorForm::Form_Load() { SetBackground(label6_, ColourNumber(255, 0, 0)); }

void TestColorForm::Text1_Change() { ShowTypedColour(); }
void TestColorForm::Text2_Change() { ShowTypedColour(); }
void TestColorForm::Text3_Change() { ShowTypedColour(); }

void TestColorForm::ShowTypedColour() {
  const std::optional<std::int32_t> colour = ColourOfTexts(
      text1_->text().toStdString(), text2_->text().toStdString(), text3_->text().toStdString());
  if (!colour) return;
  SetBackground(label1_, *colour);
  const QColor shown = label1_->palette().color(QPalette::Window);
  label5_->setText(QString::number(ColourNumber(shown.red(), shown.green(), shown.blue())));
}

QLabel* TestColorForm::AddLabel(const char* caption, const Control& place) {
  auto* label = new QLabel(QString::fromLatin1(caption), this);
  Place(label, place);
  return label;
}

QLineEdit* TestColorForm::AddText(const Control& place) {
  auto* text = new QLineEdit(this);
  Place(text, place);
  return text;
}

void TestColorForm::Place(QWidget* widget, const Control& place) const {
  const auto px = [this](float t) { return static_cast<int>(std::lround(twips_.ToPixels(t))); };
  widget->setObjectName(QString::fromStdString(place.name));
  widget->setGeometry(px(place.left), px(place.top), px(place.width), px(place.height));
}

}  // namespace cue
