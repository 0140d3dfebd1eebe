#include "labfolder/layout.h"

#include <charconv>

namespace cue {

namespace {

std::optional<std::int16_t> IdOf(const std::string& name, const std::string& prefix,
                                 const std::string& suffix) {
  if (name.size() <= prefix.size() + suffix.size() || !name.starts_with(prefix) ||
      !name.ends_with(suffix)) {
    return std::nullopt;
  }
  const std::string digits =
      name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  std::int16_t id = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
  if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return id;
}

}  // namespace

std::string CueSoundName(int digit) { return std::to_string(digit) + ".wav"; }

std::vector<std::string> SoundPaths(const std::string& lab) {
  const std::string wave = JoinPath(lab, kSoundFolder);
  std::vector<std::string> paths = {JoinPath(wave, kCorrectSound), JoinPath(wave, kErrorSound)};
  for (int digit = 1; digit <= 9; ++digit) paths.push_back(JoinPath(wave, CueSoundName(digit)));
  return paths;
}

std::string RegistryPath(const FileSystem& files) {
  return JoinPath(files.CurrentDirectory(), kRegistryFile);
}

std::string RegistryLockPath(const FileSystem& files) { return RegistryPath(files) + ".lock"; }

std::string ResultsFolderPath(const FileSystem& files) {
  return JoinPath(files.CurrentDirectory(), kResultsFolder);
}

std::string SoundFolderPath(const FileSystem& files) {
  return JoinPath(files.CurrentDirectory(), kSoundFolder);
}

std::string ResultsBaseName(std::int16_t subjectId) {
  return "R-" + std::to_string(subjectId) + ".txt";
}
std::string TimingBaseName(std::int16_t subjectId) {
  return "timing-" + std::to_string(subjectId) + ".tsv";
}
std::string SessionBaseName(std::int16_t subjectId) {
  return "session-" + std::to_string(subjectId) + ".json";
}

std::string ResultsFileName(const FileSystem& files, std::int16_t subjectId) {
  return JoinPath(ResultsFolderPath(files), ResultsBaseName(subjectId));
}

std::string TimingFileName(const FileSystem& files, std::int16_t subjectId) {
  return JoinPath(ResultsFolderPath(files), TimingBaseName(subjectId));
}

std::string SessionFileName(const std::string& folder, std::int16_t subjectId) {
  return JoinPath(folder, SessionBaseName(subjectId));
}

std::string SummaryFileName(const std::string& folder, std::int16_t subjectId) {
  return JoinPath(folder, "summary-" + std::to_string(subjectId) + ".png");
}

std::string RunLockPath(const std::string& resultsFile) { return resultsFile + ".lock"; }

std::optional<std::int16_t> ResultsFileId(const std::string& baseName) {
  return IdOf(baseName, "R-", ".txt");
}

LabFileKind KindOf(const std::string& base) {
  if (IdOf(base, "R-", ".txt")) return LabFileKind::kResults;
  if (IdOf(base, "timing-", ".tsv")) return LabFileKind::kTiming;
  if (IdOf(base, "session-", ".json")) return LabFileKind::kSession;
  for (const std::string suffix : {".lock", ".new"}) {
    if (base.ends_with(suffix) &&
        KindOf(base.substr(0, base.size() - suffix.size())) != LabFileKind::kForeign) {
      return LabFileKind::kByProduct;
    }
  }
  return IdOf(base, "summary-", ".png") ? LabFileKind::kByProduct : LabFileKind::kForeign;
}

}  // namespace cue
