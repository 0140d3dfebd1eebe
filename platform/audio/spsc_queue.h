#pragma once

#include <array>
#include <atomic>
#include <cstddef>

namespace cue::audio {

// A fixed-size queue between exactly one producer thread and one consumer thread, without
// locks and without allocation after construction. Push() belongs to the producer, Pop() to
// the consumer; each may run at any time relative to the other. An item pushed is visible to
// the consumer together with everything the producer wrote before pushing it.
// REQUIRES: Capacity is a power of two; T is trivially copyable in practice (copied by value).
template <typename T, std::size_t Capacity>
class SpscQueue {
  static_assert(Capacity > 0 && (Capacity & (Capacity - 1)) == 0, "capacity: a power of two");

 public:
  // Producer only. False when the queue is full; the item is then not queued.
  bool Push(const T& item) {
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    if (tail - head_.load(std::memory_order_acquire) == Capacity) return false;
    items_[tail & (Capacity - 1)] = item;
    tail_.store(tail + 1, std::memory_order_release);
    return true;
  }

  // Consumer only. Whether nothing is queued (nothing pushed since the last Pop emptied it).
  bool Empty() const {
    return head_.load(std::memory_order_relaxed) == tail_.load(std::memory_order_acquire);
  }

  // Consumer only. False when the queue is empty.
  bool Pop(T& item) {
    const std::size_t head = head_.load(std::memory_order_relaxed);
    if (head == tail_.load(std::memory_order_acquire)) return false;
    item = items_[head & (Capacity - 1)];
    head_.store(head + 1, std::memory_order_release);
    return true;
  }

 private:
  // The counters only grow; their difference is the fill. Separate cache lines keep the two
  // threads from invalidating each other's line on every operation.
  alignas(64) std::atomic<std::size_t> head_{0};  // next item to pop
  alignas(64) std::atomic<std::size_t> tail_{0};  // next free slot
  std::array<T, Capacity> items_{};
};

}  // namespace cue::audio
