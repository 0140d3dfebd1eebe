#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "platform/key_arrivals.h"
#include "platform/unique_fd.h"

struct xcb_connection_t;

namespace cue {

// Key presses on one X window, stamped on a thread of their own. The thread has its own
// connection to the X server, on which it asks for the window's key presses too (any number
// of clients may), and sleeps in poll() on that connection alone; when an event arrives it
// reads the clock before anything else. The toolkit's own copy of the same event reaches the
// event loop later; the window's key handler finds the stamp by the event's server time and
// key code (Find) when the key's handler asks for it. On a busy machine the event loop can get
// there first; Find then waits for the thread, a few milliseconds at most.
//
// Without an X server nothing is stamped: CurrentKeyMicros() stays 0.
class X11KeyArrivals final : public KeyArrivals {
 public:
  explicit X11KeyArrivals(const std::string& displayName = {});
  ~X11KeyArrivals() override;
  X11KeyArrivals(const X11KeyArrivals&) = delete;
  X11KeyArrivals& operator=(const X11KeyArrivals&) = delete;

  // Stamps the key presses of this window from now on (once; later calls do nothing).
  void Watch(std::uint32_t window);
  // The stamp of the key press with this server time (ms) and key code, waiting up to
  // kMaxWaitMs for the thread to read it; 0 if none comes.
  std::uint64_t Find(std::uint32_t serverTime, std::uint32_t keycode) const;
  static constexpr int kMaxWaitMs = 3;
  // The key the window is handling now, by its server time and key code. Its stamp is looked
  // up only when asked for: an answer reads its clock first, and other keys never wait.
  void SetCurrent(std::uint32_t serverTime, std::uint32_t keycode) {
    current_ = {serverTime, keycode};
  }
  void ClearCurrent() { current_.reset(); }
  std::uint64_t CurrentKeyMicros() const override {
    return current_ ? Find(current_->first, current_->second) : 0;
  }

 private:
  struct Stamp {
    std::uint32_t serverTime = 0;
    std::uint32_t keycode = 0;
    std::uint64_t micros = 0;
  };
  void Run();

  struct Disconnect {
    void operator()(xcb_connection_t* connection) const;
  };
  // Declared before the thread: the thread is joined (in the destructor) before they close.
  std::unique_ptr<xcb_connection_t, Disconnect> connection_;
  UniqueFd wake_;  // eventfd that ends the thread
  std::thread thread_;
  std::atomic<bool> running_{false};
  mutable std::mutex mutex_;
  mutable std::condition_variable stamped_;
  // The latest presses; a key is handled long before kKept more have come.
  static constexpr std::size_t kKept = 32;
  std::array<Stamp, kKept> stamps_{};
  std::size_t next_ = 0;
  std::optional<std::pair<std::uint32_t, std::uint32_t>> current_;
};

}  // namespace cue
