#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cue::bench {

// The benchmark's own sound materials: a short tone burst per sound, each at its own
// frequency, starting at full amplitude on its first sample (a cosine), so that the first
// non-silent sample recorded from the sink is the onset and the frequency tells which sound
// it was. Cues are digits 1..9; the feedback sounds are kCorrect and kError.
inline constexpr int kToneRate = 44100;
inline constexpr double kToneSeconds = 0.06;
inline constexpr double kToneAmplitude = 0.5;
inline constexpr int kCorrect = 10;
inline constexpr int kError = 11;

// The tone of a sound: digit d (1..9) at 200 + 300 d Hz, kCorrect at 4000 Hz, kError at 5500.
double ToneHz(int sound);
// The sound whose tone lies within 8 % of hz, if any.
std::optional<int> SoundOfHz(double hz);
// The lab's file name of a sound: "d.wav", "Utopia Default.wav", "Utopia Error.wav".
std::string ToneFileName(int sound);
// 16-bit PCM mono samples of the sound's burst at kToneRate.
std::vector<std::int16_t> ToneSamples(int sound);
// Writes the eleven files into folder (which must exist); false with a reason on failure.
bool WriteToneFiles(const std::string& folder, std::string& error);

// One sound found in a recording.
struct ToneOnset {
  std::int64_t frame = 0;  // the first sample at or above the threshold
  double hz = 0;           // estimated from the zero crossings of the first analysis window
  float peak = 0;          // largest magnitude in that window
  int dropouts = 0;        // silent stretches inside the burst: the output ran dry
};

// Finds tone bursts in a mono stream fed block by block: a burst starts at the first sample
// of magnitude >= threshold after at least minSilenceFrames below silence. Within the burst
// (up to its last 4 ms, where it fades out) a run of dropoutFrames samples below silence
// cannot be part of the tone and counts as a dropout. Thread: one.
class OnsetDetector {
 public:
  struct Options {
    int rate = kToneRate;
    float threshold = 0.05F;
    float silence = 0.002F;
    int minSilenceFrames = kToneRate / 50;  // 20 ms
    int analysisFrames = kToneRate / 50;    // 20 ms
    int burstFrames = static_cast<int>(kToneSeconds * kToneRate) - kToneRate / 250;
    int dropoutFrames = 4;
  };
  explicit OnsetDetector(const Options& options) : options_(options) {}

  // Feeds the next samples (frames continue from the previous call).
  void Feed(const float* samples, std::size_t count);
  const std::vector<ToneOnset>& Onsets() const { return onsets_; }
  std::int64_t FramesSeen() const { return frame_; }

 private:
  void Finish();

  Options options_;
  std::int64_t frame_ = 0;
  std::int64_t quiet_ = 0;  // frames below silence so far, up to the current one
  bool collecting_ = false;
  std::vector<float> window_;
  std::int64_t windowStart_ = 0;
  std::vector<ToneOnset> onsets_;
};

// Frequency of a tone from the median spacing of the upward zero crossings of samples
// (interpolated between samples), so a gap in the tone does not bend it; 0 when fewer than
// two crossings.
double ZeroCrossingHz(const std::vector<float>& samples, int rate);

}  // namespace cue::bench
