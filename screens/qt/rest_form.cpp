#include "screens/qt/rest_form.h"

#include <QCloseEvent>

#include "platform/qt/fonts.h"

namespace cue {

RestForm::RestForm(Rest& core)
    : ExperimentScreen("Rest"),
      core_(core),
      text_(new QLabel(QString::fromLatin1(kRestText), this)) {
  text_->setObjectName(QStringLiteral("Label1"));
  text_->setFont(MsSansSerif(18, false));
  text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  FitCaption(label1_, text_->font(), text_->text(), text_->alignment());
  Place(text_, label1_);
}

void RestForm::OnResize() {
  Control* const controls[] = {&label1_};
  CenterControlGroup(SizeTwips(), controls);
  Place(text_, label1_);
}

int RestForm::FormKeyPress(int keyAscii) {
  core_.Form_KeyPress(keyAscii);
  return keyAscii;
}

void RestForm::closeEvent(QCloseEvent* event) {
  event->ignore();
  core_.Form_KeyPress(27);
}

}  // namespace cue
