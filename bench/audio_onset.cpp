// audio_onset: how late, and how steadily, a sound starts after Play(); how well the player's
// own onset report (OnsetMicros) agrees with what reaches the sink; what Play() costs the
// calling thread; and what the idle player costs the machine. Run it under scripts/test-env
// (a PulseAudio null sink); bench/audio_onset.md explains the method and its error.
//
//   audio_onset [--plays N] [--buffer-us B] [--lead-us L] [--minreq-us M] [--refresh-ms R]
//               [--idle-s S] [--source NAME]
//
// Prints figures and asserts nothing.
#include <sndfile.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/monitor_capture.h"
#include "platform/audio/pulse_sound_player.h"
#include "platform/clock.h"

namespace {

using cue::audio::MonitorCapture;
using Recording = MonitorCapture::Recording;
using namespace std::chrono_literals;

struct Settings {
  int plays = 50;
  double idleSeconds = 5;
  cue::audio::PulseOptions player;
  MonitorCapture::Options capture;
};

Settings Parse(int argc, char** argv) {
  Settings s;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i];
    const char* value = argv[i + 1];
    const auto number = static_cast<std::uint32_t>(std::atoi(value));
    if (key == "--plays") s.plays = std::atoi(value);
    if (key == "--buffer-us") s.player.bufferMicros = number;
    if (key == "--lead-us") s.player.leadMicros = number;
    if (key == "--minreq-us") s.player.minRequestMicros = number;
    if (key == "--refresh-ms") s.player.timingRefreshMs = number;
    if (key == "--idle-s") s.idleSeconds = std::atof(value);
    if (key == "--source") s.capture.source = value;
  }
  return s;
}

// A 5 ms burst of a 2 kHz square wave at full swing from its first frame on, so that its
// onset in the capture is the first frame over the threshold.
std::string WriteClick(const std::filesystem::path& dir, int rate) {
  const std::string path = (dir / "click.wav").string();
  std::vector<float> samples(static_cast<std::size_t>(rate / 200));
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = (i * 4000 / static_cast<std::size_t>(rate)) % 2 == 0 ? 0.9F : -0.9F;
  }
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  sf_writef_float(file, samples.data(), static_cast<sf_count_t>(samples.size()));
  sf_close(file);
  return path;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Idle {
  double cpuPercent = 0;
  double requestsPerSecond = 0;
};

// The whole process while only the player runs (the calling thread sleeps).
Idle MeasureIdle(const cue::PulseSoundPlayer& player, double seconds) {
  const double cpu = CpuSeconds();
  const std::uint64_t requests = player.Output().WriteRequests();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  return {(CpuSeconds() - cpu) / seconds * 100,
          static_cast<double>(player.Output().WriteRequests() - requests) / seconds};
}

struct Play {
  std::uint64_t id = 0;
  std::int64_t requestMicros = 0;  // read just before Play(); Play() stamps within µs of it
  double costMicros = 0;
};

// Plays the click at irregular intervals (150 to 450 ms), so that requests fall at every
// phase of the output's write cycle.
std::vector<Play> PlayClicks(cue::PulseSoundPlayer& player, int sound, int count) {
  std::mt19937 random(20240601);
  std::uniform_int_distribution<int> gapMs(150, 450);
  const cue::SteadyClock clock;
  std::vector<Play> plays;
  for (int i = 0; i < count; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(gapMs(random)));
    Play play;
    play.requestMicros = static_cast<std::int64_t>(clock.Micros());
    const auto before = std::chrono::steady_clock::now();
    play.id = player.Play(sound);
    play.costMicros =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - before)
            .count();
    plays.push_back(play);
  }
  std::this_thread::sleep_for(300ms);
  return plays;
}

// First frames over the threshold after at least 50 ms below it.
std::vector<std::int64_t> FindOnsets(const Recording& recording) {
  std::vector<std::int64_t> onsets;
  const std::int64_t quiet = recording.rate / 20;
  std::int64_t lastLoud = -quiet;
  for (std::int64_t f = 0; f < recording.Frames(); ++f) {
    if (std::fabs(recording.samples[static_cast<std::size_t>(2 * f)]) < 0.3F) continue;
    if (f - lastLoud >= quiet) onsets.push_back(f);
    lastLoud = f;
  }
  return onsets;
}

// The stamp of the block that holds frame, or nullptr before the first stamp.
const MonitorCapture::Stamp* StampOf(const Recording& r, std::int64_t frame) {
  const auto after =
      std::upper_bound(r.stamps.begin(), r.stamps.end(), frame,
                       [](std::int64_t f, const MonitorCapture::Stamp& s) { return f < s.frame; });
  return after == r.stamps.begin() ? nullptr : &*(after - 1);
}

// When frame was at the sink, by the stamp of its own block.
double PlayedMicros(const Recording& r, const MonitorCapture::Stamp& stamp, std::int64_t frame) {
  return static_cast<double>(stamp.playedMicros) +
         static_cast<double>(frame - stamp.frame) * 1e6 / r.rate;
}

// How far the stamps from `fromMicros` on stray from their least-squares line (ms), and the
// line's µs per frame: the capture timeline's own noise and the sink's true rate.
std::vector<double> StampScatter(const Recording& r, std::int64_t fromMicros, double* slope) {
  std::vector<std::pair<double, double>> points;
  for (const auto& s : r.stamps) {
    if (s.arrivedMicros < fromMicros) continue;
    points.emplace_back(static_cast<double>(s.frame - r.stamps.front().frame),
                        static_cast<double>(s.playedMicros - r.stamps.front().playedMicros));
  }
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (const auto& [x, y] : points) sx += x, sy += y, sxx += x * x, sxy += x * y;
  const auto n = static_cast<double>(points.size());
  *slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
  const double intercept = (sy - *slope * sx) / n;
  std::vector<double> scatter;
  for (const auto& [x, y] : points) scatter.push_back((y - intercept - *slope * x) / 1000);
  return scatter;
}

struct Figures {
  std::vector<double> lag, reportedLag, reportError, arrival, cost;  // ms, ms, ms, ms, µs
  int unmatched = 0, unknown = 0;
};

// Pairs each play with the onset in the capture nearest to where it should be (its reported
// onset, or request + lead when it has none), within 100 ms.
Figures Compare(const std::vector<Play>& plays, const cue::PulseSoundPlayer& player,
                const Recording& recording) {
  const std::vector<std::int64_t> onsets = FindOnsets(recording);
  Figures out;
  for (const Play& play : plays) {
    out.cost.push_back(play.costMicros);
    const auto reported = player.OnsetMicros(play.id);
    if (!reported) ++out.unknown;
    const double expected = static_cast<double>(
        reported ? static_cast<std::int64_t>(*reported)
                 : play.requestMicros + static_cast<std::int64_t>(player.Mixer().LeadMicros()));
    std::optional<double> best;
    const MonitorCapture::Stamp* bestStamp = nullptr;
    for (const std::int64_t frame : onsets) {
      const auto* stamp = StampOf(recording, frame);
      if (stamp == nullptr) continue;
      const double t = PlayedMicros(recording, *stamp, frame);
      if (std::fabs(t - expected) < 100'000 &&
          (!best || std::fabs(t - expected) < std::fabs(*best - expected))) {
        best = t;
        bestStamp = stamp;
      }
    }
    if (!best) {
      ++out.unmatched;
      continue;
    }
    const auto request = static_cast<double>(play.requestMicros);
    out.lag.push_back((*best - request) / 1000);
    out.arrival.push_back((static_cast<double>(bestStamp->arrivedMicros) - request) / 1000);
    if (reported) {
      out.reportedLag.push_back((static_cast<double>(*reported) - request) / 1000);
      out.reportError.push_back((*best - static_cast<double>(*reported)) / 1000);
    }
  }
  return out;
}

void PrintRow(const char* name, std::vector<double> v, const char* unit) {
  if (v.empty()) {
    std::printf("%-32s  (none)\n", name);
    return;
  }
  std::sort(v.begin(), v.end());
  const auto at = [&](double q) { return v[static_cast<std::size_t>(q * (v.size() - 1) + 0.5)]; };
  double sum = 0, square = 0;
  for (double x : v) sum += x;
  const double mean = sum / static_cast<double>(v.size());
  for (double x : v) square += (x - mean) * (x - mean);
  std::printf("%-32s %8.3f %8.3f %8.3f %8.3f %8.3f  %s\n", name, at(0.5), at(0.95), v.back(),
              v.front(), std::sqrt(square / static_cast<double>(v.size())), unit);
}

}  // namespace

int main(int argc, char** argv) {
  const Settings settings = Parse(argc, argv);
  cue::PulseSoundPlayer player(settings.player);
  if (!player.OutputAvailable()) {
    std::fprintf(stderr, "audio_onset: %s\n", player.OutputError().c_str());
    return 1;
  }
  const auto dir =
      std::filesystem::temp_directory_path() / ("audio_onset." + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const auto click =
      std::get<cue::SoundPlayer::SoundId>(player.Open(WriteClick(dir, player.Mixer().Rate())));
  std::filesystem::remove_all(dir);

  // A null sink that had no client runs in 2 s blocks; the player's stream takes over only
  // when the current block ends. The idle measurement starts after that.
  std::this_thread::sleep_for(2500ms);
  const Idle idle = MeasureIdle(player, settings.idleSeconds);

  MonitorCapture capture(settings.capture);
  if (!capture.Ready()) {
    std::fprintf(stderr, "audio_onset: %s\n", capture.Error().c_str());
    return 1;
  }
  while (capture.Frames() < player.Mixer().Rate()) std::this_thread::sleep_for(10ms);
  const auto start = static_cast<std::int64_t>(cue::SteadyClock().Micros());
  const std::vector<Play> plays = PlayClicks(player, click, settings.plays);
  const Recording recording = capture.Take();
  const Figures figures = Compare(plays, player, recording);
  double slope = 0;
  const std::vector<double> scatter = StampScatter(recording, start, &slope);

  std::printf("stream %d Hz, buffer %u µs, lead %llu µs, timing refresh %u ms, minreq %u µs\n",
              player.Mixer().Rate(), settings.player.bufferMicros,
              static_cast<unsigned long long>(player.Mixer().LeadMicros()),
              settings.player.timingRefreshMs, settings.player.minRequestMicros);
  std::printf("most written ahead %llu µs; sink rate by the capture %.1f ppm off nominal\n",
              static_cast<unsigned long long>(player.Output().MaxAheadMicros()),
              (slope * recording.rate / 1e6 - 1) * 1e6);
  std::printf("output thread %s\n", player.Output().RealTime() ? "real-time" : "time-shared");
  std::printf("plays %d, unmatched %d, onset unknown %d, late %llu\n", settings.plays,
              figures.unmatched, figures.unknown,
              static_cast<unsigned long long>(player.Mixer().LatePlays()));
  std::printf("idle: %.2f %% of one core, %.0f write requests/s (%.0f s)\n\n", idle.cpuPercent,
              idle.requestsPerSecond, settings.idleSeconds);
  std::printf("%-32s %8s %8s %8s %8s %8s\n", "", "median", "p95", "max", "min", "SD");
  PrintRow("true onset - request", figures.lag, "ms");
  PrintRow("reported onset - request", figures.reportedLag, "ms");
  PrintRow("true onset - reported onset", figures.reportError, "ms");
  PrintRow("capture arrival - request", figures.arrival, "ms");
  PrintRow("capture stamps off their line", scatter, "ms");
  PrintRow("Play() on the calling thread", figures.cost, "µs");
  return 0;
}
