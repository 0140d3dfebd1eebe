#pragma once

#include <QImage>
#include <QString>

#include "study/summary.h"

namespace cue {

// The summary as one A4-shaped page: title, a table of accuracy and median RT, RT over the
// trials with the blocks marked and named, and the timing health. Drawn on an image, so it
// needs no display (a QGuiApplication must exist for the fonts).
QImage SummaryPage(const Summary& summary);

// Draws the page and saves it as PNG; false when it cannot be written.
bool WriteSummaryPng(const Summary& summary, const QString& path);

}  // namespace cue
