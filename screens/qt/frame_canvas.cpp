#include "screens/qt/frame_canvas.h"

#include <QPainter>

#include "screens/qt/experiment_screen.h"

namespace cue {

QRegion FrameCanvas::Draw(ExperimentScreen& page, bool whole) {
  QRegion region;
  if (whole || drawn_ == nullptr) {
    page.TakeChanges();
    region = image_->rect();
  } else if (drawn_ != &page) {
    page.TakeChanges();
    region = drawnContent_ | page.ContentRegion();
  } else {
    region = page.TakeChanges();
  }
  drawn_ = &page;
  drawnContent_ = page.ContentRegion();
  region &= image_->rect();
  if (region.isEmpty()) return region;
  QPainter painter(image_);
  painter.setClipRegion(region);
  const QColor background = page.palette().color(QPalette::Window);
  for (const QRect& rect : region) painter.fillRect(rect, background);
  page.PaintContent(painter, region);
  return region;
}

}  // namespace cue
