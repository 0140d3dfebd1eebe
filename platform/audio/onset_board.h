#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace cue::audio {

// Onset times of recent plays, written by the audio thread and read by any thread without
// locks. Play p lives in slot p % Capacity until play p + Capacity replaces it, so the onsets
// of the last Capacity plays can be looked up.
//
// Each slot is a small sequence lock whose sequence is the play id itself: the writer clears
// the id, writes the time, then publishes the id; a reader accepts the time only if it saw
// the same id before and after reading it. Play ids only grow, so a slot never shows an id
// twice.
template <std::size_t Capacity>
class OnsetBoard {
 public:
  // Audio thread only (a single writer). REQUIRES: play > 0.
  void Publish(std::uint64_t play, std::uint64_t onsetMicros) {
    Slot& slot = slots_[play % Capacity];
    slot.play.store(0, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    slot.onset.store(onsetMicros, std::memory_order_relaxed);
    slot.play.store(play, std::memory_order_release);
  }

  // Any thread. The onset of play, or nullopt if it is not published (yet, or any more).
  std::optional<std::uint64_t> Find(std::uint64_t play) const {
    if (play == 0) return std::nullopt;
    const Slot& slot = slots_[play % Capacity];
    if (slot.play.load(std::memory_order_acquire) != play) return std::nullopt;
    const std::uint64_t onset = slot.onset.load(std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_acquire);
    if (slot.play.load(std::memory_order_relaxed) != play) return std::nullopt;
    return onset;
  }

 private:
  struct Slot {
    std::atomic<std::uint64_t> play{0};
    std::atomic<std::uint64_t> onset{0};
  };
  std::array<Slot, Capacity> slots_{};
};

}  // namespace cue::audio
