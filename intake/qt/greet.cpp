#include "intake/qt/greet.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>

#include "intake/qt/entry_box.h"
#include "intake/qt/validation_guard.h"
#include "platform/qt/fonts.h"

namespace cue {

namespace {

QLabel* MakeLabel(const char* name, const char* text, Qt::Alignment alignment, QWidget* parent) {
  auto* label = new QLabel(QString::fromLatin1(text), parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setAlignment(alignment);
  return label;
}

std::string Text(const QLineEdit* box) { return box->text().toLatin1().toStdString(); }

}  // namespace

Answer Greet::BoxCounter::Show(const Message& message) {
  ++returnsPending;
  return inner.Show(message);
}

GreetContext Greet::Counted(GreetContext context, BoxCounter& boxes) {
  context.screens.unloadBlanke = [&boxes, unload = std::move(context.screens.unloadBlanke)] {
    ++boxes.returnsPending;  // the quit question
    unload();
  };
  return GreetContext{context.state,     boxes,
                      context.files,     context.windows,
                      context.lifecycle, std::move(context.screens)};
}

Greet::Greet(GreetContext context)
    : ExperimentScreen("Greet"),
      boxes_(context.dialogs),
      logic_(Counted(std::move(context), boxes_)),
      label1_(MakeLabel("Label1", "", Qt::AlignLeft | Qt::AlignTop, this)),
      label2_(MakeLabel("Label2", "Welcome  please enter subject information:",
                        Qt::AlignHCenter | Qt::AlignTop, this)),
      label3_(MakeLabel("Label3", "Subject ID", Qt::AlignRight | Qt::AlignTop, this)),
      label4_(MakeLabel("Label4", "Subject Initials", Qt::AlignRight | Qt::AlignTop, this)),
      label5_(MakeLabel("Label5", "Order Condition 1-3", Qt::AlignRight | Qt::AlignTop, this)),
      text1_(new EntryBox(Box::kSubjectId, "Text1", this)),
      text2_(new EntryBox(Box::kInitials, "Text2", this)),
      text3_(new EntryBox(Box::kOrderCondition, "Text3", this)),
      command1_(new QPushButton(QStringLiteral("Start"), this)),
      guard_(new ValidationGuard(this)) {
  // The window's font serves every control without one of its own (Label3 to Label5, Text3).
  setFont(MsSansSerif(18, true));
  label2_->setFont(MsSansSerif(24, false));
  text1_->setFont(MsSansSerif(18, false));
  text2_->setFont(MsSansSerif(18, false));
  command1_->setFont(MsSansSerif(8.25, false));
  command1_->setObjectName(QStringLiteral("Command1"));
  for (auto [control, label] :
       {std::pair{&layout_.label2, label2_}, std::pair{&layout_.label3, label3_},
        std::pair{&layout_.label4, label4_}, std::pair{&layout_.label5, label5_}}) {
    FitCaption(*control, label->font(), label->text(), label->alignment());
  }
  FitCaption(layout_.command1, command1_->font(), command1_->text(), Qt::AlignCenter);
  // Never the window's default or cancel button: Enter and Esc in a box are refused
  // characters. Enter on the focused button presses it, as Space does.
  command1_->setDefault(false);
  command1_->setAutoDefault(true);

  guard_->AddBox(text1_, [this] { return Text1_Validate(); });
  guard_->AddBox(text2_, [this] { return Text2_Validate(); });
  guard_->AddBox(text3_, [this] { return Text3_Validate(); });
  guard_->AddControl(command1_);
  connect(command1_, &QPushButton::clicked, this, [this] { Command1_Click(); });
}

void Greet::Form_Load() {
  setTabOrder(text1_, text2_);
  setTabOrder(text2_, text3_);
  setTabOrder(text3_, command1_);
  logic_.Form_Load();
  Form* const self[] = {this};
  ShowForms(self);
}

void Greet::Form_Activate() { text1_->setFocus(Qt::ActiveWindowFocusReason); }

void Greet::Form_Resize() {
  LayOutGreet(layout_, SizeTwips());
  Place(label1_, layout_.label1);
  Place(label2_, layout_.label2);
  Place(label3_, layout_.label3);
  Place(label4_, layout_.label4);
  Place(label5_, layout_.label5);
  Place(text1_, layout_.text1);
  Place(text2_, layout_.text2);
  Place(text3_, layout_.text3);
  Place(command1_, layout_.command1);
}

int Greet::ControlKeyPress(QWidget* control, int keyAscii) {
  if (control == text1_) Text1_KeyPress(keyAscii);
  if (control == text2_) Text2_KeyPress(keyAscii);
  if (control == text3_) Text3_KeyPress(keyAscii);
  return keyAscii;
}

bool Greet::focusNextPrevChild(bool next) {
  if (!guard_->MayLeave(nullptr)) return true;
  return ExperimentScreen::focusNextPrevChild(next);
}

bool Greet::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) {
    if (boxes_.returnsPending > 0) {
      --boxes_.returnsPending;
    } else {
      Form_Activate();
    }
  }
  return ExperimentScreen::event(event);
}

bool Greet::Text1_Validate() {
  bool cancel = false;
  logic_.Text1_Validate(Text(text1_), cancel);
  return !cancel;
}

bool Greet::Text2_Validate() {
  bool cancel = false;
  logic_.Text2_Validate(Text(text2_), cancel);
  return !cancel;
}

bool Greet::Text3_Validate() {
  bool cancel = false;
  logic_.Text3_Validate(Text(text3_), cancel);
  return !cancel;
}

void Greet::Command1_Click() { logic_.Command1_Click(Text(text2_), Text(text3_)); }

}  // namespace cue
