#pragma once

#include <QFont>
#include <QRect>
#include <QRegion>
#include <QString>
#include <QWidget>
#include <vector>

#include "platform/presenter.h"
#include "platform/twips.h"
#include "screens/form.h"
#include "screens/layout.h"

namespace cue {

class FrameWindow;

// The common frame of the four experiment screens (start-up, trials, blank, rest): no border
// or title bar, covering the whole screen, the toolkit's default window colour, and key
// preview: FormKeyPress() sees every typed character before the focused control does.
//
// Positions and sizes of controls are kept in twips (Control) and the widgets are placed from
// them, so layout arithmetic never loses precision to whole pixels.
class ExperimentScreen : public QWidget, public Form {
 public:
  explicit ExperimentScreen(const char* caption, QWidget* parent = nullptr);

  // Form. Load() runs OnLoad() once; Show() brings the form to the front, full screen, and
  // gives it the keyboard.
  void Load() final;
  void Show() override;
  void SetVisible(bool visible) override;
  bool Visible() const override;
  bool Loaded() const { return loaded_; }

  // From now on the form is a page of the experiment window and never a window of its own.
  void UseFrames(FrameWindow* window) { frames_ = window; }
  bool Framed() const { return frames_ != nullptr; }
  // What the page shows besides its background, in pixels: a change of page draws this of
  // the page going and of the page coming, and nothing else.
  virtual QRegion ContentRegion() const { return rect(); }
  // Draws what the page shows within region onto painter (the experiment window's pixels),
  // where the background is already filled.
  virtual void PaintContent(QPainter& painter, const QRegion& region);
  // Where the page changed since it was last drawn (and forgets it): Redraw()'s rectangles by
  // default.
  virtual QRegion TakeChanges();
  // One of the page's frames reached the screen at this refresh.
  virtual void FrameShown(Refresh at) { (void)at; }
  // A typed character for the page (key preview included), from the experiment window;
  // returns what FormKeyPress left of it.
  int KeyPress(int keyAscii) { return FormKeyPress(keyAscii); }

  // The form's outer size in twips.
  FormSize SizeTwips() const;

  // A text the form shows: the control's place on the form (pixels), the font and alignment.
  struct Caption {
    QString text;
    QFont font;
    Qt::Alignment alignment;
    QRect box;
  };
  // Every text the form shows now: by default its visible labels and buttons with a text.
  virtual std::vector<Caption> Captions() const;
  const Twips& twips() const { return twips_; }

 protected:
  // The load handler, run by the first Load().
  virtual void OnLoad() {}
  // Form_KeyPress with key preview. keyAscii is the typed character's code (8 backspace,
  // 9 tab, 13 enter, 27 escape, ...); returns the code left for the focused control, 0 to
  // keep the key from it.
  virtual int FormKeyPress(int keyAscii) { return keyAscii; }
  // A control's own key handler, after FormKeyPress left the key alone; returns 0 to keep
  // the key from the control.
  virtual int ControlKeyPress(QWidget* control, int keyAscii) {
    (void)control;
    return keyAscii;
  }
  // Form_Resize: the form's size in twips has changed (also on its first showing).
  virtual void OnResize() {}

  // Grows a control, where its text in the font would not fit, to hold it (FitText); the
  // alignment tells which sides stay.
  void FitCaption(Control& control, const QFont& font, const QString& text,
                  Qt::Alignment alignment) const;
  // Places a child widget at a control's twip geometry (rounded to whole pixels).
  void Place(QWidget* widget, const Control& control) const;
  // What the form shows changed within rect (all of it when empty): repainted, or presented
  // anew as a frame.
  void Redraw(const QRect& rect = {});
  // Covers the whole screen with the window (window managers, and bare X servers that ignore
  // the full-screen request alike).
  void CoverScreen();

  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void childEvent(QChildEvent* event) override;

 private:
  Twips twips_;
  bool loaded_ = false;
  FrameWindow* frames_ = nullptr;
  QRegion changes_;  // Redraw()'s rectangles since the page was last drawn
};

}  // namespace cue
