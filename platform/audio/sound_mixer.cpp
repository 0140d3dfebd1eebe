#include "platform/audio/sound_mixer.h"

#include <algorithm>

namespace cue::audio {

SoundMixer::SoundMixer(const Clock& clock, int rate, std::uint64_t leadMicros)
    : clock_(clock), rate_(rate), lead_(leadMicros) {}

std::variant<SoundMixer::SoundId, SoundError> SoundMixer::Open(const std::string& path) {
  if (const auto known = idsByPath_.find(path); known != idsByPath_.end()) return known->second;
  if (const auto failed = failed_.find(path); failed != failed_.end()) return failed->second;
  std::variant<StereoSamples, SoundError> decoded;
  if (auto started = decoding_.find(path); started != decoding_.end()) {
    decoded = started->second.get();
    decoding_.erase(started);
  } else {
    decoded = DecodeSoundFile(path, rate_);
  }
  if (auto* error = std::get_if<SoundError>(&decoded)) {
    failed_.emplace(path, *error);
    return std::move(*error);
  }
  sounds_.push_back(std::make_unique<const StereoSamples>(std::get<StereoSamples>(decoded)));
  const auto id = static_cast<SoundId>(sounds_.size() - 1);
  idsByPath_.emplace(path, id);
  return id;
}

void SoundMixer::Preload(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    if (idsByPath_.contains(path) || failed_.contains(path) || decoding_.contains(path)) continue;
    decoding_.emplace(path, std::async(std::launch::async, DecodeSoundFile, path, rate_));
  }
}

SoundMixer::PlayId SoundMixer::Play(SoundId id) { return PlayAt(id, clock_.Micros() + lead_); }

SoundMixer::PlayId SoundMixer::PlayAt(SoundId id, std::uint64_t atMicros) {
  if (id < 0 || static_cast<std::size_t>(id) >= sounds_.size()) return 0;
  const Request request{sounds_[static_cast<std::size_t>(id)].get(), atMicros, clock_.Micros(),
                        lastPlay_ + 1};
  if (!requests_.Push(request)) return 0;
  return ++lastPlay_;
}

void SoundMixer::Render(float* out, std::int64_t first, std::size_t frames,
                        const std::optional<StreamTimeline>& timeline) {
  Request request;
  const bool dropOverdue = dropOverdue_.exchange(false, std::memory_order_acq_rel);
  while (requests_.Pop(request)) {
    taken_.store(request.play, std::memory_order_release);
    if (dropOverdue &&
        clock_.Micros() > std::max(request.dueMicros, request.askedMicros) + kOverdueMicros)
      continue;
    const std::int64_t start = Place(request, first, timeline);
    if (timeline)
      onsets_.Publish(request.play, static_cast<std::uint64_t>(timeline->MicrosOf(start)));
    voices_.Start(request.sound, start);
  }
  voices_.Render(out, first, frames);
}

// The frame due at the requested time; never one already written (before first), and never
// one that has already passed the output (after an underrun), so the onset is never before
// the request.
std::int64_t SoundMixer::Place(const Request& request, std::int64_t first,
                               const std::optional<StreamTimeline>& timeline) {
  if (!timeline) return first;
  const auto due = static_cast<std::int64_t>(request.dueMicros);
  const std::int64_t target = timeline->FirstFrameAt(due);
  const std::int64_t earliest = std::max(first, timeline->FrameNow());
  if (target >= earliest) return target;
  late_.fetch_add(1, std::memory_order_relaxed);
  return earliest;
}

}  // namespace cue::audio
