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

// The bounds of a sound file, checked against its header before anything is read.
inline constexpr int kMinSoundRate = 8000;  // frames per second
inline constexpr int kMaxSoundRate = 192000;
inline constexpr int kMaxSoundChannels = 8;
inline constexpr std::size_t kMaxDecodedBytes = std::size_t{64} << 20;  // as read, and as played

// Reads a sound file (WAV, or any format libsndfile reads) whole and converts it to stereo at
// rate frames per second (see ToStereo and ResampleStereo). Refused, with the reason: what is
// no regular file (a FIFO, a device), a header outside the bounds above, a file without a
// single sample, and a file that cannot be read (the system's or libsndfile's own text).
// REQUIRES: rate > 0.
std::variant<StereoSamples, SoundError> DecodeSoundFile(const std::string& path, int rate);

// Interleaved samples of `channels` channels to interleaved stereo: mono goes to both sides,
// stereo stays; with more channels, the first two keep their sides and every other channel
// (centre, surround, ...) is heard on both, each side the mean of its channels.
// REQUIRES: channels > 0.
std::vector<float> ToStereo(const std::vector<float>& interleaved, int channels);

// Interleaved stereo at `from` frames per second to `to` frames per second, band-limited by
// libsoxr's high-quality filter (no aliasing when a 96 kHz file goes to 44.1 kHz); the output
// lasts as long as the input.
// REQUIRES: from > 0, to > 0.
std::vector<float> ResampleStereo(const std::vector<float>& stereo, int from, int to);

}  // namespace cue::audio
