#pragma once

#include <QImage>
#include <QRegion>

namespace cue {

class ExperimentScreen;

// The experiment window's pixels, drawn incrementally: a change of page draws what the page
// going showed and what the page coming shows, a change within a page only where the page
// says it changed (a flicker swap: one label). The result equals a whole repaint of the page
// on top; drawing never reads the canvas back.
class FrameCanvas {
 public:
  // Draws onto image, which must outlive this (the presenter's shared canvas).
  explicit FrameCanvas(QImage* image) : image_(image) {}

  // Brings the canvas to what page shows now and returns where it changed. whole: every
  // pixel is drawn anew (the window was covered).
  QRegion Draw(ExperimentScreen& page, bool whole);
  // The page the canvas shows (null before the first Draw).
  const ExperimentScreen* Drawn() const { return drawn_; }

 private:
  QImage* image_;
  const ExperimentScreen* drawn_ = nullptr;
  QRegion drawnContent_;  // the content of the page drawn, as drawn
};

}  // namespace cue
