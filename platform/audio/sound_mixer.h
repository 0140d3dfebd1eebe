#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/audio/frame_source.h"
#include "platform/audio/onset_board.h"
#include "platform/audio/spsc_queue.h"
#include "platform/audio/stream_timeline.h"
#include "platform/audio/voices.h"
#include "platform/audio/wav_decoder.h"
#include "platform/clock.h"
#include "platform/sound.h"

namespace cue::audio {

// Everything of the sound player except the device: the decoded sounds, the hand-over of play
// requests to the audio thread, the placement of each play on the stream, the mix and the
// onset of every play. An output (PulseOutput) calls Render() for each block of frames.
//
// Threads: Open() and Play() belong to one thread (the GUI thread); Render() to the output's
// thread; OnsetMicros() and LatePlays() may be called from any thread. Play() takes no lock
// and allocates nothing: it stamps the request with the clock and queues it.
//
// Placement: a play requested at time q starts at the frame that reaches the output at
// q + lead, so every sound lags its request by the same lead (to within one frame) whatever
// the moment of the request relative to the output's callbacks. The lead must exceed what
// the output keeps written ahead; if the frame for q + lead is already written, the play
// starts at the first unwritten frame instead, later than q + lead, and counts as late.
// The onset reported is the time at which the stream's timeline, as the output reports it
// when the play is placed, puts that frame at the output. Its error is the error of that
// timeline (see PulseOutput): against a capture of the null sink's monitor it was off by a
// steady 0.1 to 0.6 ms with a spread of 0.1 to 0.35 ms SD (bench/audio_onset.md).
class SoundMixer final : public FrameSource {
 public:
  using SoundId = SoundPlayer::SoundId;
  using PlayId = SoundPlayer::PlayId;
  static constexpr std::size_t kQueuedPlays = 256;  // plays not yet taken by Render()
  static constexpr std::size_t kOnsetsKept = 1024;  // plays whose onset can be looked up

  // REQUIRES: rate > 0; clock outlives the mixer.
  SoundMixer(const Clock& clock, int rate, std::uint64_t leadMicros);
  SoundMixer(const SoundMixer&) = delete;
  SoundMixer& operator=(const SoundMixer&) = delete;

  // As SoundPlayer::Open: decodes once per path, converting to the mixer's rate. A file that
  // failed is not read again: its error is kept and given at every later Open.
  std::variant<SoundId, SoundError> Open(const std::string& path);
  // Starts decoding these files on worker threads, so that the Open of each later finds it
  // decoded instead of reading and converting it on the caller's (the GUI) thread.
  void Preload(const std::vector<std::string>& paths);
  // Queues a play of the sound, due lead after now; 0 for an unknown id or a full queue.
  PlayId Play(SoundId id);
  // Queues a play due at atMicros (at the first frame that can still be written, if later).
  PlayId PlayAt(SoundId id, std::uint64_t atMicros);
  std::optional<std::uint64_t> OnsetMicros(PlayId play) const { return onsets_.Find(play); }

  // Output thread: places the plays queued so far and writes frames [first, first + frames)
  // of the mix into out (interleaved stereo). Without a timeline plays start at first and
  // their onset stays unknown.
  void Render(float* out, std::int64_t first, std::size_t frames,
              const std::optional<StreamTimeline>& timeline) override;

  // Output thread.
  bool Idle() const override { return requests_.Empty() && voices_.Count() == 0; }
  int Rate() const { return rate_; }
  std::uint64_t LeadMicros() const { return lead_; }
  // Plays that started later than request + lead because that frame was already written.
  std::uint64_t LatePlays() const { return late_.load(std::memory_order_relaxed); }
  // Any thread. The last play that Render() has taken from the queue (placed, or dropped as
  // overdue): a later one not taken long after it was due means the output has stalled.
  PlayId LastTaken() const { return taken_.load(std::memory_order_acquire); }
  void DropOverdue() override { dropOverdue_.store(true, std::memory_order_release); }

 private:
  struct Request {
    const StereoSamples* sound = nullptr;
    std::uint64_t dueMicros = 0;    // when the first sample should reach the output
    std::uint64_t askedMicros = 0;  // when it was asked for
    PlayId play = 0;
  };
  std::int64_t Place(const Request& request, std::int64_t first,
                     const std::optional<StreamTimeline>& timeline);

  const Clock& clock_;
  const int rate_;
  const std::uint64_t lead_;
  // GUI thread. Sounds are never freed before the mixer, so the audio thread may hold
  // pointers to them.
  std::vector<std::unique_ptr<const StereoSamples>> sounds_;
  std::map<std::string, SoundId> idsByPath_;
  std::map<std::string, SoundError> failed_;
  std::map<std::string, std::future<std::variant<StereoSamples, SoundError>>> decoding_;
  PlayId lastPlay_ = 0;
  // Shared.
  SpscQueue<Request, kQueuedPlays> requests_;
  OnsetBoard<kOnsetsKept> onsets_;
  std::atomic<std::uint64_t> late_{0};
  std::atomic<PlayId> taken_{0};
  std::atomic<bool> dropOverdue_{false};
  // Audio thread.
  Voices voices_;
};

}  // namespace cue::audio
