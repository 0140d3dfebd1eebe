#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/audio/frame_source.h"
#include "platform/audio/pulse_connection.h"
#include "platform/audio/stream_timeline.h"
#include "platform/clock.h"

struct pa_stream;

namespace cue::audio {

// How the output stream is set up. The buffer sets both the lag of every play and what the
// running stream costs: PulseAudio runs the sink at about a quarter of the buffer and asks for
// data as often, and each request costs this process some 20 to 40 µs of CPU. A 20 ms buffer
// means about 200 requests a second, under 1 % of a core on a quiet machine, for a constant
// lag of 21 ms; the default 3 ms buffer with a 4.5 ms lead keeps the lag under 5 ms for five
// to ten times that cost (measured with bench/audio_onset on a shared 2-core machine:
// 4.6 ms median, 4.95 ms p95, 0.23 ms SD; about 1000 requests and 6-7 % of a core a second).
// Between the server's timing reports libpulse extrapolates the stream's clock; on its own it
// asks for a report only every 1.5 s or so, and asking every 250 ms halves the spread of the
// onsets.
//
// The stream therefore runs with two buffers: the short one while low latency is on (a trial
// is under way, a sound may be asked for at any moment), the long one while the experiment
// waits (blank screen, fixation cross, rest), when a request every millisecond would cost
// more than the whole program otherwise does. The long one (150 ms: about 15 requests and
// 0.2 % of a core a second) must drain before the short lead holds again, which it does long
// before a trial's first sound can be asked for.
struct PulseOptions {
  std::string server;                       // empty: the default (PULSE_SERVER, else the session's)
  std::uint32_t bufferMicros = 3000;        // the output latency target while low latency is on
  std::uint32_t idleBufferMicros = 150000;  // the same while it is off; 0: always bufferMicros
  std::uint32_t leadMicros = 0;             // request to onset; 0: bufferMicros + kLeadMarginMicros
  std::uint32_t minRequestMicros = 0;       // least the server asks for at once; 0: its choice
  std::uint32_t timingRefreshMs = 250;      // how often to ask for fresh timing; 0: libpulse's
  std::uint32_t connectTimeoutMs = 2000;
  std::uint32_t rate = 0;  // frames per second; 0: the sink's own (no resampling by the server)
  std::string name = "cuesearch";

  // The stream runs up to some hundreds of µs ahead of its buffer target (the most written
  // ahead, measured), more on a busy machine; a play due earlier than that would start late.
  static constexpr std::uint32_t kLeadMarginMicros = 1500;
  std::uint64_t Lead() const { return leadMicros ? leadMicros : bufferMicros + kLeadMarginMicros; }
};

// One PulseAudio playback stream (float32 stereo at the sink's rate, or at PulseOptions::rate
// resampled by the server), open and running from
// construction to Stop(), writing silence while no source is attached. Frames are numbered
// from the first frame written.
//
// Timeline: at every write request the output asks libpulse where the stream stands
// (pa_stream_get_time: the stream time now at the sink, interpolated with the monotonic
// clock from the server's latest timing report) and reads SteadyClock at once; frame f is
// then at the output at (clock now - stream time now + f / rate). Its error is that of the
// server's report (for a sound card, how well the driver knows its own delay) plus the drift
// of the interpolation since the last report, which libpulse refreshes by itself.
// bench/audio_onset measures it against a capture of the null sink's monitor.
class PulseOutput {
 public:
  // Connects and opens the stream, waiting at most options.connectTimeoutMs in all; never
  // starts a sound server. On failure Available() is false and Error() says why.
  explicit PulseOutput(const PulseOptions& options);
  ~PulseOutput();
  PulseOutput(const PulseOutput&) = delete;
  PulseOutput& operator=(const PulseOutput&) = delete;

  // From now on the stream plays what source renders. REQUIRES: source outlives Stop().
  void Attach(FrameSource* source);
  // Any thread; returns at once. The output thread switches the stream's buffer at its next
  // write request: the short one (on), or the long one (off) once the source is idle. Frames
  // already written stay, so after switching on the short lead holds once the long buffer
  // has drained.
  // Release: a sound asked for before the switch is seen by the output thread's idle check.
  void SetLowLatency(bool on) { lowLatency_.store(on, std::memory_order_release); }
  // Stops the output thread; no Render() runs after it returns. Idempotent.
  void Stop();

  // Any thread. False when no stream could be opened, after a failure and after Stop().
  bool Available() const { return available_.load(std::memory_order_acquire); }
  std::string Error() const;
  // Frames per second of the stream (the sink's rate); 44100 when no stream could be opened.
  int Rate() const { return rate_; }
  // Any thread. The most the stream was seen written ahead of the output, in µs: what a
  // play's lead must exceed for the play to start on time.
  std::uint64_t MaxAheadMicros() const { return maxAhead_.load(std::memory_order_relaxed); }
  // Any thread. Write requests served so far: how often the output thread wakes.
  std::uint64_t WriteRequests() const { return requests_.load(std::memory_order_relaxed); }
  // Any thread. Whether the server's write requests came in step, the last one within
  // kOverdueMicros of the one before. Not yet after the first fill: the server may take a
  // couple of seconds to ask again (a sink idle until then wakes slowly). A gap of more than
  // kOverdueMicros in a running stream is a stall: the source then drops overdue plays.
  bool Running() const { return running_.load(std::memory_order_acquire); }
  // Any thread. Whether the output thread got real-time scheduling (tried at its first
  // request; without it a busy machine can delay the stream and make plays late).
  bool RealTime() const { return realTime_.load(std::memory_order_relaxed); }

 private:
  bool OpenStream(const PulseOptions& options);
  bool WaitForTiming();
  void OnStateChange();
  void Write(std::size_t bytes);
  void ApplyLatency();
  std::optional<StreamTimeline> Timeline() const;
  void NoteAhead(const StreamTimeline& timeline);
  void Fail(const std::string& reason);

  SteadyClock clock_;
  PulseConnection connection_;
  pa_stream* stream_ = nullptr;
  FrameSource* source_ = nullptr;                            // under the connection's lock
  bool timingKnown_ = false;                                 // under the connection's lock
  int rate_ = 44100;                                         // fixed once the stream is ready
  std::int64_t written_ = 0;                                 // frames written; output thread
  std::vector<float> block_ = std::vector<float>(2 * 4096);  // output thread
  std::atomic<bool> available_{false};
  std::atomic<std::uint64_t> maxAhead_{0};
  std::atomic<std::uint64_t> requests_{0};
  std::atomic<bool> realTime_{false};
  std::atomic<bool> lowLatency_{true};
  std::atomic<bool> running_{false};
  bool lowLatencyApplied_ = true;      // output thread
  std::uint64_t lastWriteMicros_ = 0;  // output thread: the previous write request
  std::uint32_t shortBytes_ = 0;       // tlength of each buffer; fixed once open
  std::uint32_t longBytes_ = 0;
  mutable std::mutex errorMutex_;
  std::string error_;
};

}  // namespace cue::audio
