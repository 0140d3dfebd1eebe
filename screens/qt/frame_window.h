#pragma once

#include <QWidget>
#include <memory>
#include <vector>

#include "platform/qt/x11_key_arrivals.h"
#include "platform/qt/x11_presenter.h"
#include "screens/qt/experiment_screen.h"
#include "screens/qt/frame_canvas.h"

namespace cue {

// The one full-screen experiment window when frames go through the X Present extension. The
// blank, experiment and rest screens become its pages: it is mapped at the first showing and
// stays mapped to the end, and a change of screen (or of what a screen shows) is a frame,
// drawn into the presenter's canvas and sent for a refresh, never a map, unmap or expose.
//
// One frame per refresh: changes are gathered and sent together, when a step says it is done
// (the presenter's SendFrame()) or, failing that, when the event loop next turns. So a field
// and its first flicker swap, or an answer's blank screen and a swap it overtakes, reach the
// screen as one frame.
//
// Pages keep the stacking of the windows they stand for: showing one puts it on top, hiding
// one takes it out, and the page on top is what the subject sees and what gets the keys (its
// FormKeyPress; closing the window is Esc on that page). While a key is handled, its arrival
// stamp is current in the key arrivals. Qt never paints the window itself: an expose (a
// message box closing over it) sends the whole top page again.
class FrameWindow final : public ExperimentScreen {
 public:
  FrameWindow(X11Presenter& presenter, X11KeyArrivals& keys);

  // Puts page on top; maps the window the first time.
  void Raise(ExperimentScreen* page);
  // Takes page out; the page below it is shown.
  void Remove(ExperimentScreen* page);
  // The page's content changed; shown if it is on top.
  void Changed(ExperimentScreen* page);
  bool Contains(const ExperimentScreen* page) const;

  QPaintEngine* paintEngine() const override { return nullptr; }

 protected:
  int FormKeyPress(int keyAscii) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // A frame is due: sent when the step says so, or at the next turn of the event loop.
  void Due();
  // Draws and sends the gathered changes; returns when they left (µs), 0 if nothing did.
  std::uint64_t Send();

  X11Presenter& presenter_;
  X11KeyArrivals& keys_;
  std::unique_ptr<FrameCanvas> canvas_;   // from the first expose on
  std::vector<ExperimentScreen*> stack_;  // bottom first
  bool exposed_ = false;                  // the window has been mapped and exposed
  bool wholeNext_ = false;                // the next frame is drawn whole (after an expose)
  bool due_ = false;                      // changes wait to be sent
  bool posted_ = false;                   // a send at the next turn of the event loop is on its way
};

}  // namespace cue
