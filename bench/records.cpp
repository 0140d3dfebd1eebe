#include "bench/records.h"

#include <algorithm>

namespace cue::bench {

std::vector<CaptureAnchor> UsableAnchors(const std::vector<CaptureAnchor>& anchors) {
  std::vector<CaptureAnchor> usable;
  for (const auto& a : anchors) {
    if (a.streamMicros > 0 && a.sinkMicros < 100'000) usable.push_back(a);
  }
  std::sort(usable.begin(), usable.end(), [](const CaptureAnchor& a, const CaptureAnchor& b) {
    return a.streamMicros < b.streamMicros;
  });
  return usable;
}

double FrameMicros(std::int64_t frame, int rate, const std::vector<CaptureAnchor>& anchors) {
  const double position = static_cast<double>(frame) * 1e6 / rate;
  const auto after =
      std::lower_bound(anchors.begin(), anchors.end(), position,
                       [](const CaptureAnchor& a, double p) { return a.streamMicros < p; });
  if (after == anchors.begin()) return position + after->Offset();
  if (after == anchors.end()) return position + anchors.back().Offset();
  const CaptureAnchor& a = *(after - 1);
  const CaptureAnchor& b = *after;
  const double f = (position - a.streamMicros) / (b.streamMicros - a.streamMicros);
  return position + a.Offset() + f * (b.Offset() - a.Offset());
}

}  // namespace cue::bench
