#pragma once

#include <QWidget>

#include "platform/twips.h"
#include "screens/layout.h"

class QLabel;
class QLineEdit;

namespace cue {

// The TestColor form, a stand-alone colour tester: red, green and blue typed into Text1..3
// colour the swatch Label1, and Label5 shows the swatch's colour number. Label6 is a red
// reference swatch. The arithmetic lives in tools/test_color.h.
class TestColorForm final : public QWidget {
 public:
  explicit TestColorForm(QWidget* parent = nullptr);

  QLineEdit* Text1() const { return text1_; }
  QLineEdit* Text2() const { return text2_; }
  QLineEdit* Text3() const { return text3_; }
  QLabel* Label1() const { return label1_; }
  QLabel* Label5() const { return label5_; }
  QLabel* Label6() const { return label6_; }

 private:
  void Form_Load();
  void Text1_Change();
  void Text2_Change();
  void Text3_Change();
  // What each of the three change handlers does: read, round and compose the three texts,
  // colour the swatch and show the colour read back from it. A text that gives no colour
  // (a value outside -32768..32767, a negative component) changes nothing.
  void ShowTypedColour();

  QLabel* AddLabel(const char* caption, const Control& place);
  QLineEdit* AddText(const Control& place);
  void Place(QWidget* widget, const Control& place) const;

  const Twips twips_;
  QLineEdit* text1_;
  QLineEdit* text2_;
  QLineEdit* text3_;
  QLabel* label1_;
  QLabel* label5_;
  QLabel* label6_;
};

}  // namespace cue
