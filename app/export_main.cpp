// cuesearch-export: a whole study as one tidy table (CSV and/or a BIDS dataset), its check,
// and its summary page.
//
//   cuesearch-export [-o FILE.csv] [--bids DIR] [--summary FILE.png] [--pilot]
//                    [--with-initials] [--with-host] LAB_FOLDER...
//   cuesearch-export --dictionary
//
// Reads every lab folder (one per machine) and writes one row per answered trial to FILE.csv
// (standard output when neither -o nor --bids is given), the check to standard error, and
// with --summary the study's summary page. Exit status: 0 when written and nothing needs a
// person's attention, 1 when written but the check found something that does, 2 when the
// command was wrong (an unknown option, a folder that is no lab folder) or an output could
// not be written; then a message says what to type.
#include <QGuiApplication>
#include <clocale>
#include <filesystem>
#include <iostream>

#include "cue_version.h"
#include "labfolder/layout.h"
#include "study/export.h"
#include "study/qt/summary_page.h"
#include "study/study.h"
#include "study/summary.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage =
    "usage: cuesearch-export [-o FILE.csv] [--bids DIR] [--summary FILE.png] [--pilot]\n"
    "                        [--with-initials] [--with-host] LAB_FOLDER...\n"
    "  LAB_FOLDER  a folder the program ran in (it holds CurrentSubjects.txt and Res_Data), one "
    "per machine\n"
    "  -o FILE.csv      the tidy table, one row per answered trial (else on standard output)\n"
    "  --bids DIR       a BIDS dataset in the new or empty folder DIR\n"
    "  --summary FILE.png  the study's summary page\n"
    "  --pilot          the pilot runs too\n"
    "  --with-initials, --with-host  personal data, left out unless asked for\n"
    "  --dictionary     prints the data dictionary (every column) and ends\n"
    "example: cuesearch-export -o study.csv --summary study.png /data/pc1/lab /data/pc2/lab\n";

// Qt's note that it has no runtime folder is no concern of the check on standard error.
void QuietFilter(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (!message.startsWith(QLatin1String("QStandardPaths:")))
    qt_message_output(type, context, message);
}

int Usage(const std::string& why) {
  std::cerr << "cuesearch-export: " << why << "\n" << kUsage;
  return 2;
}

// The lab folder to read for what was typed: the folder itself, or the lab folder above a
// results folder typed in its place; the error, saying what was typed, when it is neither.
cue::Result<std::string> LabFolder(const cue::FileSystem& files, std::string typed) {
  while (typed.size() > 1 && typed.back() == '/') typed.pop_back();
  const auto refused = [&typed](cue::FileFailure cause, const std::string& why) {
    return cue::FileError{cause, 0, typed, typed + ": " + why};
  };
  if (!files.IsDirectory(typed)) {
    return files.Exists(typed) ? refused(cue::FileFailure::kRefused, "not a folder")
                               : refused(cue::FileFailure::kNotFound, "no such folder");
  }
  if (files.Exists(cue::JoinPath(typed, cue::kRegistryFile)) ||
      files.IsDirectory(cue::JoinPath(typed, cue::kResultsFolder))) {
    return typed;
  }
  const fs::path path(typed);
  if (path.filename() == cue::kResultsFolder) {
    const std::string lab = path.has_parent_path() ? path.parent_path().string() : std::string(".");
    std::cerr << "note  " << typed << ": a results folder; reading its lab folder " << lab << "\n";
    return lab;
  }
  return refused(cue::FileFailure::kMalformed,
                 "not a lab folder (it holds neither " + std::string(cue::kRegistryFile) + " nor " +
                     cue::kResultsFolder + "); give the folder the program ran in");
}

// Writes every file of the dataset under dir, each whole and on disk with its folder; the first
// failure, or none.
std::optional<cue::FileError> WriteDataset(cue::FileSystem& files, const std::string& dir,
                                           const std::map<std::string, std::string>& dataset) {
  for (const auto& [name, text] : dataset) {
    const fs::path path = fs::path(dir) / name;
    if (auto error = cue::MakeFolders(files, path.parent_path().string())) return error;
    if (auto error = files.Replace(path.string(), text)) return error;
  }
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  cue::DiskFileSystem disk;
  std::string output, summaryPath, bids;
  bool pilot = false;
  cue::ExportOptions options;
  std::vector<std::string> labs;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-o" || arg == "--summary" || arg == "--bids") {
      if (i + 1 >= argc) return Usage(arg + " needs a file or folder after it");
      (arg == "-o" ? output : arg == "--bids" ? bids : summaryPath) = argv[++i];
    } else if (arg == "--pilot") {
      pilot = true;
    } else if (arg == "--with-initials") {
      options.withInitials = true;
    } else if (arg == "--with-host") {
      options.withHost = true;
    } else if (arg == "--dictionary") {
      std::cout << cue::DictionaryMarkdown();
      return 0;
    } else if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
      return 0;
    } else if (arg.starts_with("-")) {
      return Usage("unknown option " + arg);
    } else {
      const auto lab = LabFolder(disk, arg);
      if (const auto* error = std::get_if<cue::FileError>(&lab)) return Usage(error->description);
      labs.push_back(std::get<std::string>(lab));
    }
  }
  if (labs.empty()) return Usage("no lab folder given");
  if (!bids.empty()) {
    std::error_code e;
    if (fs::exists(bids, e) && !(fs::is_directory(bids, e) && fs::is_empty(bids, e))) {
      return Usage(bids + ": exists and is not an empty folder; give --bids a new folder");
    }
  }

  cue::Study study;
  for (const auto& folder : labs) {
    cue::AddLab(study, cue::ReadLabFolder(disk, folder, false));
    if (pilot && disk.IsDirectory(cue::JoinPath(folder, cue::kPilotFolder))) {
      cue::AddLab(study, cue::ReadLabFolder(disk, folder, true));
    }
  }
  cue::CheckAcrossLabs(study);

  if (!output.empty()) {
    // A FIFO, a device or a link named as the output is refused, never replaced.
    if (const auto error = disk.Replace(output, cue::StudyCsv(study, options))) {
      std::cerr << "cuesearch-export: " << output << ": cannot be written: " << error->description
                << "\n";
      return 2;
    }
  } else if (bids.empty()) {
    std::cout << cue::StudyCsv(study, options) << std::flush;
  }
  if (!bids.empty()) {
    if (const auto error =
            WriteDataset(disk, bids, cue::BidsDataset(study, options, CUE_VERSION))) {
      std::cerr << "cuesearch-export: " << error->path
                << ": cannot be written: " << error->description << "\n";
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
    summary.about.push_back(std::to_string(sessions.size()) + " sessions from " +
                            std::to_string(labs.size()) + " lab folders" +
                            (pilot ? ", pilot runs included" : ""));
    if (cue::WriteSummaryPng(disk, summary, summaryPath)) {
      std::cerr << "cuesearch-export: " << summaryPath << ": cannot be written\n";
      return 2;
    }
  }
  return study.NeedsAttention() ? 1 : 0;
}
