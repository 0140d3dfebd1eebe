// cuesearch-export: one tidy CSV of a whole study, and its check.
//
//   cuesearch-export [-o FILE] [--pilot] [--summary FILE.png] LAB_FOLDER...
//
// Reads every lab folder (one per machine), writes one row per answered trial to standard
// output or FILE, the check to standard error, and with --summary the study's summary page.
// Exit status: 0 when nothing needs a person's attention, 1 when something does, 2 when the
// command itself cannot do its work.
#include <QGuiApplication>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "study/qt/summary_page.h"
#include "study/study.h"
#include "study/summary.h"

namespace {

// Qt's note that it has no runtime folder is no concern of the check on standard error.
void QuietFilter(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (!message.startsWith(QLatin1String("QStandardPaths:"))) qt_message_output(type, context, message);
}

int Usage() {
  std::cerr << "usage: cuesearch-export [-o FILE] [--pilot] [--summary FILE.png] LAB_FOLDER...\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string output, summaryPath;
  bool pilot = false;
  std::vector<std::string> labs;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "-o" || arg == "--summary") && i + 1 < argc) {
      (arg == "-o" ? output : summaryPath) = argv[++i];
    } else if (arg == "--pilot") {
      pilot = true;
    } else if (arg.starts_with("-")) {
      return Usage();
    } else {
      labs.push_back(arg);
    }
  }
  if (labs.empty()) return Usage();

  cue::Study study;
  for (const auto& folder : labs) {
    cue::AddLab(study, cue::ReadLabFolder(folder, false));
    if (pilot && std::filesystem::is_directory(std::filesystem::path(folder) / "pilot")) {
      cue::AddLab(study, cue::ReadLabFolder(folder, true));
    }
  }
  cue::CheckAcrossLabs(study);

  const std::string csv = cue::StudyCsv(study);
  if (output.empty()) {
    std::cout << csv << std::flush;
  } else {
    std::ofstream out(output, std::ios::binary);
    out << csv;
    if (!out.flush()) {
      std::cerr << output << ": cannot be written: " << std::strerror(errno) << "\n";
      return 2;
    }
  }
  std::cerr << cue::CheckText(study);

  if (!summaryPath.empty()) {
    // The page is drawn on an image: no display is needed.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(QuietFilter);
    QGuiApplication application(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    std::vector<const cue::Session*> sessions;
    for (const auto& s : study.sessions) sessions.push_back(&s);
    cue::Summary summary = cue::Summarise(sessions, "Study summary");
    summary.about.push_back(std::to_string(sessions.size()) + " sessions from " + std::to_string(labs.size()) +
                            " lab folders" + (pilot ? ", pilot runs included" : ""));
    if (!cue::WriteSummaryPng(summary, QString::fromStdString(summaryPath))) {
      std::cerr << summaryPath << ": cannot be written\n";
      return 2;
    }
  }
  return study.NeedsAttention() ? 1 : 0;
}
