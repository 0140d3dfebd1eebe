#include <pwd.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QSettings>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "app/program.h"
#include "check/lab_choice.h"
#include "check/qt/probes.h"
#include "platform/files.h"

namespace {

// A pilot run keeps every file of its own in "pilot" beside Res_Data: its own registry and
// results folder, so trying the experiment burns no subject ID and leaves no results among
// the subjects'. The run takes its sounds from the lab's "wave" folder through a link.
// Nothing, or what kept the pilot folder from use. The folder and its link are made here,
// before the experiment's file system exists, as the process's current folder is chosen.
std::optional<cue::FileError> EnterPilotFolder() {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path pilot = fs::current_path(error) / "pilot";
  fs::create_directories(pilot, error);
  if (!error && !fs::exists(fs::symlink_status(pilot / "wave"))) {
    fs::create_directory_symlink("../wave", pilot / "wave", error);
  }
  if (!error) fs::current_path(pilot, error);
  if (!error) return std::nullopt;
  return cue::FileError{cue::FileFailure::kIo, error.value(), pilot.string(), error.message()};
}

// The path with each control character (a line break, a TAB, ...) shown as \xNN; empty when
// it has none. Every file of the program names its paths on one line.
std::string ControlCharacters(const std::string& path) {
  std::string shown;
  bool found = false;
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      shown += c;
      continue;
    }
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", byte);
    shown += hex;
    found = true;
  }
  return found ? shown : std::string();
}

std::string PasswdHome() {
  const passwd* entry = ::getpwuid(::getuid());
  return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
}

constexpr const char* kUsage =
    "usage: cuesearch [--lab DIR] [--pilot]\n"
    "       cuesearch --check [--json] [--lab DIR]\n";

struct Arguments {
  std::optional<std::string> lab;
  bool pilot = false, check = false, json = false;
};

std::optional<Arguments> Parse(int argc, char** argv) {
  Arguments a;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--pilot")
      a.pilot = true;
    else if (arg == "--check")
      a.check = true;
    else if (arg == "--json")
      a.json = true;
    else if (arg == "--lab" && i + 1 < argc)
      a.lab = argv[++i];
    else if (arg.starts_with("--lab="))
      a.lab = arg.substr(6);
    else
      return std::nullopt;
  }
  return a;
}

// The lab folder of this start (see cue::check::ChooseLab), made the current folder; every
// file of the run is found from there. Refused, with a message naming it, without "wave".
bool EnterLabFolder(const Arguments& args) {
  const bool check = args.check;
  namespace fs = std::filesystem;
  QSettings settings(QStringLiteral("cuesearch"),
                     QStringLiteral("cuesearch"));  // ~/.config/cuesearch/cuesearch.conf
  cue::check::LabCandidates candidates;
  candidates.argument = args.lab;
  if (const char* env = std::getenv("CUESEARCH_LAB"); env != nullptr && *env != '\0')
    candidates.environment = env;
  std::error_code error;
  candidates.current = fs::current_path(error).string();
  candidates.currentHasWave = fs::is_directory(fs::path(candidates.current) / "wave", error);
  if (const QString last = settings.value(QStringLiteral("lab")).toString(); !last.isEmpty())
    candidates.remembered = last.toStdString();
  cue::check::LabChoice choice = cue::check::ChooseLab(candidates);
  if (choice.folder.empty()) {
    if (check) return true;  // the check reports on the current folder
    const QString picked = QFileDialog::getExistingDirectory(
        nullptr, QStringLiteral("Choose the lab folder (the one holding wave)"), QDir::homePath());
    if (picked.isEmpty()) return false;
    choice = {picked.toStdString(), "chosen"};
  }
  const std::string folder = fs::absolute(choice.folder, error).lexically_normal().string();
  if (!check && !fs::is_directory(fs::path(folder) / "wave", error)) {
    QString text = QString::fromStdString(cue::check::NoWaveMessage(folder, choice.from));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    std::fprintf(stderr, "cuesearch: %s\n", qPrintable(text));
    QMessageBox::critical(nullptr, QStringLiteral("NO LAB FOLDER"), text);
    return false;
  }
  fs::current_path(folder, error);
  if (error) {
    std::fprintf(stderr, "cuesearch: the lab folder %s cannot be entered: %s\n", folder.c_str(),
                 error.message().c_str());
    return false;
  }
  if (!check) {
    // A path the start refuses (a control character in it) is not remembered: the next start
    // would pick it again.
    if (ControlCharacters(folder).empty())
      settings.setValue(QStringLiteral("lab"), QString::fromStdString(folder));
    std::fprintf(stderr, "cuesearch: lab folder %s (%s)\n", folder.c_str(), choice.from.c_str());
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // A change of what a screen shows is painted at the next turn of the event loop, not after
  // the toolkit's "update idle time" (up to 5 ms, to gather more events into one frame): the
  // benchmark saw it delay a repaint by 0.3 to 1.2 ms, varying, which lengthened or shortened
  // the cross, the blanks and every flicker swap. A lab may still set its own value.
  if (!qEnvironmentVariableIsSet("QT_QPA_UPDATE_IDLE_TIME"))
    qputenv("QT_QPA_UPDATE_IDLE_TIME", "0");
  // In a Wayland session the screens go through its X server (Xwayland), whose Present
  // extension reports the refresh each frame was shown at; Wayland surfaces would be painted
  // untimed. A lab may still choose the platform itself.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") &&
      qEnvironmentVariableIsSet("WAYLAND_DISPLAY") && qEnvironmentVariableIsSet("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "xcb");
  // The check also runs where there is no display at all, and says so in its display lines.
  const bool headless =
      !qEnvironmentVariableIsSet("DISPLAY") && !qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
  if (headless &&
      std::any_of(argv + 1, argv + argc, [](const char* a) { return std::string(a) == "--check"; }))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  // The toolkit takes the user's locale; every number the program writes is in the C locale's
  // form whatever the lab's language ("1000.000", never "1000,000").
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setApplicationName(QStringLiteral("cuesearch"));
  const auto args = Parse(argc, argv);
  if (!args) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  // Answers that cannot be written into the lab folder are journalled in the user's own data
  // folder (~/.local/share/cuesearch/journal), which survives a restart, unlike /tmp.
  const std::string journal = cue::JournalFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"),
                                                 PasswdHome(), ::getuid());
  if (!EnterLabFolder(*args)) return args->check ? 2 : 1;
  std::error_code error;
  for (const auto& [what, path] :
       {std::pair{"lab folder", std::filesystem::current_path(error).string()},
        std::pair{"journal folder", journal}}) {
    if (const std::string shown = ControlCharacters(path); !shown.empty()) {
      QMessageBox::critical(
          nullptr, QStringLiteral("FOLDER NAME"),
          QStringLiteral(
              "The path of the %1 holds a line break or another control character "
              "(shown as \\xNN):\n%2\nThe program's files name their folder on one "
              "line, so nothing is run or written here. Rename the folder and start again.")
              .arg(QString::fromLatin1(what), QString::fromStdString(shown)));
      return 1;
    }
  }
  if (args->check)
    return cue::check::RunCheck(std::filesystem::current_path().string(), journal, args->json);
  const bool pilot = args->pilot;
  if (const std::optional<cue::FileError> error = pilot ? EnterPilotFolder() : std::nullopt) {
    QMessageBox::critical(nullptr, QStringLiteral("PILOT RUN"),
                          QStringLiteral("The pilot folder cannot be used:\n") +
                              QString::fromStdString(error->path + ": " + error->description));
    return 1;
  }
  cue::Program program(journal, pilot);
  program.Start();
  return QApplication::exec();
}
