#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QFontInfo>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "check/qt/probes.h"
#include "labfolder/layout.h"
#include "platform/audio/pulse_sound_player.h"
#include "platform/audio/wav_decoder.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/qt/fonts.h"

namespace cue::check {

namespace {

std::string Env(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

// Writes a line the size of a results row into a new file in folder, syncs it and removes
// it; returns why that failed (empty when it worked) and the time of the write and sync.
std::string WriteAndSync(const std::string& folder, double* ms) {
  const std::string path = JoinPath(folder, ".cuesearch-check-" + std::to_string(getpid()));
  const auto began = std::chrono::steady_clock::now();
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return std::strerror(errno);
  const std::string row(120, 'x');
  const bool ok =
      write(fd, row.data(), row.size()) == static_cast<ssize_t>(row.size()) && fsync(fd) == 0;
  const int error = errno;
  close(fd);
  if (ms)
    *ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - began).count();
  unlink(path.c_str());
  return ok ? "" : std::strerror(error);
}

}  // namespace

DiskFacts ProbeDisk(const std::string& lab, const std::string& journal) {
  DiskFacts f;
  f.lab = lab;
  f.journal = journal;
  f.labError = WriteAndSync(lab, &f.writeSyncMs);
  struct statvfs fs {};
  if (statvfs(lab.c_str(), &fs) == 0)
    f.freeBytes = static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
  std::error_code made;
  std::filesystem::create_directories(journal, made);
  f.journalError = made ? made.message() : WriteAndSync(journal, nullptr);
  return f;
}

SoundFacts ProbeSound(const std::string& lab) {
  SoundFacts f;
  f.server = Env("PULSE_SERVER", "default");
  f.sink = Env("PULSE_SINK", "default");
  f.waveFolder = JoinPath(lab, kSoundFolder);
  f.waveFolderFound = std::filesystem::is_directory(f.waveFolder);
  std::vector<std::string> names;
  for (int digit = 1; digit <= 9; ++digit) names.push_back(CueSoundName(digit));
  names.insert(names.end(), {kCorrectSound, kErrorSound});
  std::string playable;
  if (f.waveFolderFound) {
    for (const std::string& name : names) {
      WaveFacts w{name, "", 0};
      const auto decoded = audio::DecodeSoundFile(JoinPath(f.waveFolder, name), 48000);
      if (const auto* error = std::get_if<SoundError>(&decoded)) {
        w.error = error->reason;
      } else {
        const auto& samples = std::get<audio::StereoSamples>(decoded);
        w.seconds = static_cast<double>(samples.Frames()) / samples.rate;
        if (playable.empty() && samples.Frames() > 0) playable = JoinPath(f.waveFolder, name);
      }
      f.waves.push_back(w);
    }
  }
  PulseSoundPlayer player;
  if (!player.OutputAvailable()) {
    f.outputError = player.OutputError();
    return f;
  }
  f.sink += " (" + std::to_string(player.Output().Rate()) + " Hz)";
  const audio::PulseOptions options;
  f.latencyMs = static_cast<double>(options.Lead()) / 1000.0;
  if (playable.empty()) return f;
  // In a session the stream runs long before the first cue; its first moments are not timed.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  SteadyClock clock;
  const auto id = player.Open(playable);
  if (!std::holds_alternative<SoundPlayer::SoundId>(id)) return f;
  const std::uint64_t due = clock.Micros() + 1'000'000;
  const SoundPlayer::PlayId play = player.PlayAt(std::get<SoundPlayer::SoundId>(id), due);
  // The onset is known once the output has placed the sound, shortly after it is due.
  while (play != 0 && clock.Micros() < due + 1'500'000) {
    if (const auto onset = player.OnsetMicros(play); onset && clock.Micros() > due) {
      f.cueErrorMicros = static_cast<double>(*onset) - static_cast<double>(due);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return f;
}

FontFacts ProbeFonts() {
  FontFacts f;
  f.fonts.push_back({"MS Sans Serif", QFontInfo(MsSansSerif(18, true)).family().toStdString()});
  return f;
}

}  // namespace cue::check
