#include "screens/qt/blanke_form.h"

#include <QCloseEvent>

#include "platform/qt/fonts.h"

namespace cue {

BlankeForm::BlankeForm(Blanke& core)
    : ExperimentScreen("Blanke"), core_(core), cross_(new QLabel(QStringLiteral("+"), this)) {
  cross_->setObjectName(QStringLiteral("Label1"));
  cross_->setFont(MsSansSerif(24, true));
  cross_->setAlignment(Qt::AlignCenter);
  Place(cross_, label1_);
}

void BlankeForm::OnLoad() {
  label1_.visible = false;
  Place(cross_, label1_);
}

void BlankeForm::SetCrossVisible(bool visible) {
  label1_.visible = visible;
  cross_->setVisible(visible);
}

void BlankeForm::OnResize() {
  float dx = 0, dy = 0;
  CenterControl(label1_, SizeTwips(), dx, dy);
  Place(cross_, label1_);
}

void BlankeForm::FormKeyPress(int& keyAscii) { core_.Form_KeyPress(keyAscii); }

// The window is never closed: its unload query either ends the program or cancels.
void BlankeForm::closeEvent(QCloseEvent* event) {
  event->ignore();
  core_.RequestUnload();
}

}  // namespace cue
