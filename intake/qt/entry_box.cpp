#include "intake/qt/entry_box.h"

#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QValidator>

namespace cue {

namespace {

// Accepts a text only when the box's filter would let each of its characters through.
class FilterValidator final : public QValidator {
 public:
  FilterValidator(Box box, QObject* parent) : QValidator(parent), box_(box) {}

  State validate(QString& input, int& pos) const override {
    (void)pos;
    for (const QChar c : input) {
      if (c.unicode() == 8 || !Allowed(box_, c.unicode())) return Invalid;
    }
    return Acceptable;
  }

 private:
  Box box_;
};

}  // namespace

EntryBox::EntryBox(Box box, const char* name, QWidget* parent) : QLineEdit(parent) {
  setObjectName(QString::fromLatin1(name));
  setMaxLength(MaxLength(box));
  setValidator(new FilterValidator(box, this));
  setContextMenuPolicy(Qt::NoContextMenu);
  setAcceptDrops(false);
  setAttribute(Qt::WA_InputMethodEnabled, false);
}

void EntryBox::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Paste)) {
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void EntryBox::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::MiddleButton) {
    event->accept();
    return;
  }
  QLineEdit::mouseReleaseEvent(event);
}

void EntryBox::dragEnterEvent(QDragEnterEvent* event) { event->ignore(); }
void EntryBox::dragMoveEvent(QDragMoveEvent* event) { event->ignore(); }
void EntryBox::dropEvent(QDropEvent* event) { event->ignore(); }

void EntryBox::inputMethodEvent(QInputMethodEvent* event) { event->ignore(); }

}  // namespace cue
