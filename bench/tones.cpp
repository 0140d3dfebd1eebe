#include "bench/tones.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace cue::bench {

double ToneHz(int sound) {
  if (sound == kCorrect) return 4000;
  if (sound == kError) return 5500;
  return 200 + 300.0 * sound;
}

std::optional<int> SoundOfHz(double hz) {
  for (int sound = 1; sound <= kError; ++sound) {
    if (std::abs(hz - ToneHz(sound)) <= 0.08 * ToneHz(sound)) return sound;
  }
  return std::nullopt;
}

std::string ToneFileName(int sound) {
  if (sound == kCorrect) return "Utopia Default.wav";
  if (sound == kError) return "Utopia Error.wav";
  return std::to_string(sound) + ".wav";
}

std::vector<std::int16_t> ToneSamples(int sound) {
  const auto frames = static_cast<int>(kToneSeconds * kToneRate);
  const int fade = kToneRate / 333;  // 3 ms down at the end, against a click
  std::vector<std::int16_t> samples(static_cast<std::size_t>(frames));
  for (int f = 0; f < frames; ++f) {
    const double gain = f >= frames - fade ? static_cast<double>(frames - f) / fade : 1.0;
    const double value =
        kToneAmplitude * gain * std::cos(2 * std::numbers::pi * ToneHz(sound) * f / kToneRate);
    samples[static_cast<std::size_t>(f)] = static_cast<std::int16_t>(std::lround(value * 32767));
  }
  return samples;
}

namespace {

void Put32(std::FILE* file, std::uint32_t v) {
  const unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                              static_cast<unsigned char>(v >> 16),
                              static_cast<unsigned char>(v >> 24)};
  std::fwrite(b, 1, 4, file);
}

void Put16(std::FILE* file, std::uint16_t v) {
  const unsigned char b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
  std::fwrite(b, 1, 2, file);
}

// A canonical 44-byte-header RIFF WAVE file of 16-bit PCM mono.
bool WriteWav(const std::string& path, const std::vector<std::int16_t>& samples) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const auto data = static_cast<std::uint32_t>(samples.size() * 2);
  std::fwrite("RIFF", 1, 4, file);
  Put32(file, 36 + data);
  std::fwrite("WAVEfmt ", 1, 8, file);
  Put32(file, 16);
  Put16(file, 1);  // PCM
  Put16(file, 1);  // mono
  Put32(file, kToneRate);
  Put32(file, kToneRate * 2);
  Put16(file, 2);
  Put16(file, 16);
  std::fwrite("data", 1, 4, file);
  Put32(file, data);
  for (const std::int16_t s : samples) Put16(file, static_cast<std::uint16_t>(s));
  return std::fclose(file) == 0;
}

}  // namespace

bool WriteToneFiles(const std::string& folder, std::string& error) {
  for (int sound = 1; sound <= kError; ++sound) {
    const std::string path = folder + "/" + ToneFileName(sound);
    if (!WriteWav(path, ToneSamples(sound))) {
      error = "cannot write " + path;
      return false;
    }
  }
  return true;
}

double ZeroCrossingHz(const std::vector<float>& samples, int rate) {
  std::vector<double> crossings;
  for (std::size_t i = 1; i < samples.size(); ++i) {
    const float a = samples[i - 1], b = samples[i];
    if (a < 0 && b >= 0) crossings.push_back(static_cast<double>(i - 1) + a / (a - b));
  }
  if (crossings.size() < 2) return 0;
  std::vector<double> periods;
  for (std::size_t i = 1; i < crossings.size(); ++i)
    periods.push_back(crossings[i] - crossings[i - 1]);
  std::nth_element(periods.begin(), periods.begin() + periods.size() / 2, periods.end());
  return rate / periods[periods.size() / 2];
}

void OnsetDetector::Feed(const float* samples, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i, ++frame_) {
    const float x = samples[i];
    const float magnitude = std::abs(x);
    if (collecting_) {
      window_.push_back(x);
      if (static_cast<int>(window_.size()) >= options_.burstFrames) Finish();
    } else if (magnitude >= options_.threshold && quiet_ >= options_.minSilenceFrames) {
      collecting_ = true;
      windowStart_ = frame_;
      window_.assign(1, x);
    }
    quiet_ = magnitude < options_.silence ? quiet_ + 1 : 0;
  }
}

void OnsetDetector::Finish() {
  ToneOnset onset;
  onset.frame = windowStart_;
  const auto analysed = std::min(window_.size(), static_cast<std::size_t>(options_.analysisFrames));
  const std::vector<float> start(window_.begin(),
                                 window_.begin() + static_cast<std::ptrdiff_t>(analysed));
  onset.hz = ZeroCrossingHz(start, options_.rate);
  for (const float x : start) onset.peak = std::max(onset.peak, std::abs(x));
  int quiet = 0;
  for (const float x : window_) {
    quiet = std::abs(x) < options_.silence ? quiet + 1 : 0;
    if (quiet == options_.dropoutFrames) ++onset.dropouts;
  }
  onsets_.push_back(onset);
  collecting_ = false;
  window_.clear();
}

}  // namespace cue::bench
