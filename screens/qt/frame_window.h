#pragma once

#include <QImage>
#include <QWidget>
#include <map>
#include <vector>

#include "platform/qt/x11_key_arrivals.h"
#include "platform/qt/x11_presenter.h"
#include "screens/qt/experiment_screen.h"

namespace cue {

// The one full-screen experiment window when frames go through the X Present extension. The
// blank, experiment and rest screens become its pages: it is mapped at the first showing and
// stays mapped to the end, and a change of screen (or of what a screen shows) is one whole
// frame, rendered off screen and queued for a refresh, never a map, unmap or expose.
//
// Pages keep the stacking of the windows they stand for: showing one puts it on top, hiding
// one takes it out, and the page on top is what the subject sees and what gets the keys (its
// FormKeyPress; closing the window is Esc on that page). While a key is handled, its arrival
// stamp is current in the key arrivals. Qt never paints the window itself:
// an expose (a message box closing over it) re-presents the top page at the next refresh.
class FrameWindow final : public ExperimentScreen {
 public:
  FrameWindow(X11Presenter& presenter, X11KeyArrivals& keys);

  // Puts page on top and presents it; maps the window the first time.
  void Raise(ExperimentScreen* page);
  // Takes page out; the page below it is presented.
  void Remove(ExperimentScreen* page);
  // Presents page again if it is on top (its content changed).
  void Changed(ExperimentScreen* page);
  bool Contains(const ExperimentScreen* page) const;

  QPaintEngine* paintEngine() const override { return nullptr; }

 protected:
  void FormKeyPress(int& keyAscii) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  struct Frame {
    std::uint64_t key = 0;  // the page's FrameKey() when it was drawn
    X11Presenter::FrameId id = 0;
    QImage image;
  };
  void PresentTop();
  // The page's frame, drawn and sent if not kept; changed: where it differs from the last one.
  const Frame& FrameOf(ExperimentScreen* page, QRect& changed);

  // Each page keeps its last FRAMES_KEPT frames on the server: the blank screen's two (with
  // and without the cross) are drawn once, a flicker's swap back costs nothing.
  static constexpr std::size_t FRAMES_KEPT = 2;
  X11Presenter& presenter_;
  X11KeyArrivals& keys_;
  std::vector<ExperimentScreen*> stack_;  // bottom first
  std::map<const ExperimentScreen*, std::vector<Frame>> frames_;  // oldest first
  bool exposed_ = false;  // the window has been mapped and exposed
  bool wholeNext_ = false;  // the next frame is copied whole (after an expose)
  Frame last_;  // the frame queued last: the base of the next one, never released
};

}  // namespace cue
