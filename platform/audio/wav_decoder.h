#pragma once

#include <cstddef>
#include <string>
#include <variant>
#include <vector>

#include "platform/sound.h"

namespace cue::audio {

// A decoded sound in the output's own format, ready to be mixed without conversion.
struct StereoSamples {
  int rate = 0;             // frames per second
  std::vector<float> data;  // interleaved left, right; full scale is [-1, 1]
  std::size_t Frames() const { return data.size() / 2; }
};

// Reads a sound file (WAV, or any format libsndfile reads) whole and converts it to stereo at
// rate frames per second: mono goes to both channels, files with more channels keep their
// first two, and another sample rate is resampled by linear interpolation. A file that cannot
// be read gives a SoundError whose reason is the system's or libsndfile's own text.
// REQUIRES: rate > 0.
std::variant<StereoSamples, SoundError> DecodeSoundFile(const std::string& path, int rate);

// Interleaved samples of `channels` channels to interleaved stereo (see DecodeSoundFile).
// REQUIRES: channels > 0.
std::vector<float> ToStereo(const std::vector<float>& interleaved, int channels);

// Interleaved stereo at `from` frames per second to `to` frames per second. Output frame j
// takes the value at input position j * from / to, interpolated linearly between the two
// neighbouring input frames; the output ends at the input's last frame.
// REQUIRES: from > 0, to > 0.
std::vector<float> ResampleStereo(const std::vector<float>& stereo, int from, int to);

}  // namespace cue::audio
