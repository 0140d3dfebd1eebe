#pragma once

#include <sndfile.h>

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/scratch_dir.h"

namespace cue::testing {

// Writes interleaved samples as a WAV file: 32-bit float by default (values kept exactly),
// or any libsndfile subtype such as SF_FORMAT_PCM_16.
inline void WriteWav(const std::string& path, int rate, int channels,
                     const std::vector<float>& samples, int subtype = SF_FORMAT_FLOAT) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | subtype;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr)
    throw std::runtime_error("cannot write " + path + ": " + sf_strerror(nullptr));
  sf_writef_float(file, samples.data(), static_cast<sf_count_t>(samples.size()) / channels);
  sf_close(file);
}

// A sine of hz at amplitude, the same on every channel, interleaved.
inline std::vector<float> Tone(int rate, int channels, double seconds, double hz, float amplitude) {
  const auto frames = static_cast<std::size_t>(seconds * rate);
  std::vector<float> samples;
  samples.reserve(frames * static_cast<std::size_t>(channels));
  for (std::size_t f = 0; f < frames; ++f) {
    const auto value = static_cast<float>(
        amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(f) / rate));
    for (int c = 0; c < channels; ++c) samples.push_back(value);
  }
  return samples;
}

}  // namespace cue::testing
