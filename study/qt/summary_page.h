#pragma once

#include <QImage>
#include <QString>
#include <optional>
#include <string>

#include "platform/files.h"
#include "study/summary.h"

namespace cue {

// The summary as one A4-shaped page: title, a table of accuracy and median RT, RT over the
// trials with the blocks marked and named, and the timing health. Drawn on an image, so it
// needs no display (a QGuiApplication must exist for the fonts).
QImage SummaryPage(const Summary& summary);

// Draws the page and writes it as PNG at path through files (whole, and on disk with its
// folder, as FileSystem::Replace writes); the error when it cannot be written.
std::optional<FileError> WriteSummaryPng(FileSystem& files, const Summary& summary,
                                         const std::string& path);

}  // namespace cue
