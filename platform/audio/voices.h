#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace cue::audio {

struct StereoSamples;

// The sounds currently playing, placed on the stream's frame axis and summed sample-exactly.
// Frame numbers count from the first frame ever written to the stream. Audio thread only.
class Voices {
 public:
  static constexpr std::size_t kCapacity = 32;

  // Plays sound from stream frame start on. A voice of the same sound that would still sound
  // at start stops there, so a sound restarts from its beginning instead of doubling; other
  // sounds go on. With all voices busy, the one that would end first gives way.
  // REQUIRES: sound outlives the voice.
  void Start(const StereoSamples* sound, std::int64_t start);

  // Writes frames [first, first + frames) of the mix into out (interleaved stereo), each
  // sample saturated to [-1, 1], and forgets voices that end within them.
  void Render(float* out, std::int64_t first, std::size_t frames);

  std::size_t Count() const { return count_; }

 private:
  struct Voice {
    const StereoSamples* sound = nullptr;
    std::int64_t start = 0;  // first frame
    std::int64_t end = 0;    // one past the last frame
  };
  void Add(const Voice& voice);
  void RemoveAt(std::size_t index);
  void RemoveEndedBy(std::int64_t frame);

  std::array<Voice, kCapacity> voices_{};
  std::size_t count_ = 0;
};

}  // namespace cue::audio
