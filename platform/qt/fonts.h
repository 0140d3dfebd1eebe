#pragma once

#include <QFont>

namespace cue {

// The screens are designed in "MS Sans Serif". Where that family is missing (on Linux, always)
// it is replaced, in this one place, by the nearest sans family on the machine at the same
// point size and weight: Liberation Sans (metric-compatible with Arial), else DejaVu Sans,
// else the toolkit's general font.
QFont MappedFont(const char* family, double pointSize, bool bold);

// The screens' font of the given size and weight.
inline QFont MsSansSerif(double pointSize, bool bold) {
  return MappedFont("MS Sans Serif", pointSize, bold);
}

}  // namespace cue
