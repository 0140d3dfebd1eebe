#include "platform/audio/pulse_output.h"

#include <pthread.h>
#include <pulse/pulseaudio.h>
#include <sched.h>

#include <algorithm>

namespace cue::audio {
namespace {

constexpr std::size_t kFrameBytes = 2 * sizeof(float);

// The calling thread to round-robin real-time scheduling at the priority PulseAudio's own
// server asks for (5), so that a busy machine cannot starve the stream. Needs the right to
// (root, or an rtprio limit as the "audio" group often has); false without it.
bool RaiseToRealTime() {
  sched_param param{};
  param.sched_priority = 5;
  return pthread_setschedparam(pthread_self(), SCHED_RR, &param) == 0;
}

}  // namespace

PulseOutput::PulseOutput(const PulseOptions& options)
    : connection_(options.server, options.name, options.connectTimeoutMs) {
  if (!connection_.Connected()) {
    Fail(connection_.Error());
    return;
  }
  if (OpenStream(options)) available_.store(true, std::memory_order_release);
}

// Callbacks that the teardown itself causes find the output unavailable and the stream
// without its callbacks: none may reach the context once it is being freed.
PulseOutput::~PulseOutput() {
  available_.store(false, std::memory_order_release);
  if (stream_ != nullptr) {
    {
      PulseConnection::Lock lock(connection_);
      source_ = nullptr;
      pa_stream_set_state_callback(stream_, nullptr, nullptr);
      pa_stream_set_write_callback(stream_, nullptr, nullptr);
      pa_stream_disconnect(stream_);
    }
    connection_.Stop();
    pa_stream_unref(stream_);
  }
}

// Float stereo at the sink's own rate (FIX_RATE), so the server does not resample, unless a
// rate is asked for (a reconnection keeps the rate the sounds were decoded at). The
// whole latency (ADJUST_LATENCY) is bufferMicros. prebuf 0 keeps the stream running through
// an underrun, so the frame numbers and the stream's time never part.
bool PulseOutput::OpenStream(const PulseOptions& options) {
  PulseConnection::Lock lock(connection_);
  const pa_sample_spec spec{
      PA_SAMPLE_FLOAT32NE, options.rate != 0 ? options.rate : static_cast<std::uint32_t>(rate_), 2};
  pa_channel_map map;
  pa_channel_map_init_stereo(&map);
  stream_ = pa_stream_new(connection_.Context(), options.name.c_str(), &spec, &map);
  if (stream_ == nullptr) {
    Fail("cannot create a playback stream: " + connection_.LastError());
    return false;
  }
  pa_stream_set_state_callback(
      stream_, [](pa_stream*, void* self) { static_cast<PulseOutput*>(self)->OnStateChange(); },
      this);
  pa_stream_set_write_callback(
      stream_,
      [](pa_stream*, std::size_t bytes, void* self) {
        static_cast<PulseOutput*>(self)->Write(bytes);
      },
      this);
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(options.bufferMicros, &spec));
  attr.prebuf = 0;
  attr.minreq = options.minRequestMicros == 0
                    ? static_cast<std::uint32_t>(-1)
                    : static_cast<std::uint32_t>(pa_usec_to_bytes(options.minRequestMicros, &spec));
  attr.fragsize = static_cast<std::uint32_t>(-1);
  const auto flags = static_cast<pa_stream_flags_t>(
      PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY |
      (options.rate == 0 ? PA_STREAM_FIX_RATE : 0));
  const bool ready =
      pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) == 0 &&
      connection_.WaitUntil([this] {
        const pa_stream_state_t state = pa_stream_get_state(stream_);
        return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
      }) &&
      pa_stream_get_state(stream_) == PA_STREAM_READY && WaitForTiming();
  if (!ready) {
    Fail(connection_.TimedOut() ? "the sound server did not open a playback stream within " +
                                      std::to_string(options.connectTimeoutMs) + " ms"
                                : "cannot open a playback stream: " + connection_.LastError());
    return false;
  }
  rate_ = static_cast<int>(pa_stream_get_sample_spec(stream_)->rate);
  shortBytes_ = attr.tlength;
  longBytes_ = options.idleBufferMicros == 0
                   ? attr.tlength
                   : static_cast<std::uint32_t>(pa_usec_to_bytes(options.idleBufferMicros, &spec));
  if (options.timingRefreshMs > 0) connection_.RefreshTiming(stream_, options.timingRefreshMs);
  return true;
}

// The first timing report, so that plays requested right after construction already have a
// timeline to be placed on.
bool PulseOutput::WaitForTiming() {
  bool known = false;
  pa_operation* op = pa_stream_update_timing_info(
      stream_,
      [](pa_stream*, int, void* self) {
        auto* output = static_cast<PulseOutput*>(self);
        output->timingKnown_ = true;
        output->connection_.Signal();
      },
      this);
  if (op != nullptr) {
    known = connection_.WaitUntil([this] {
      return timingKnown_ || pa_stream_get_state(stream_) != PA_STREAM_READY;
    }) && timingKnown_;
    pa_operation_unref(op);
  }
  return known;
}

void PulseOutput::OnStateChange() {
  if (Available() && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) {
    Fail("the sound output stopped: " + connection_.LastError());
  }
  connection_.Signal();
}

void PulseOutput::Attach(FrameSource* source) {
  if (stream_ == nullptr) return;
  PulseConnection::Lock lock(connection_);
  source_ = source;
}

void PulseOutput::Stop() {
  available_.store(false, std::memory_order_release);
  connection_.Stop();
}

std::string PulseOutput::Error() const {
  std::lock_guard<std::mutex> lock(errorMutex_);
  return error_;
}

void PulseOutput::Fail(const std::string& reason) {
  available_.store(false, std::memory_order_release);
  std::lock_guard<std::mutex> lock(errorMutex_);
  if (error_.empty()) error_ = reason;
}

// Renders into a buffer of our own and lets libpulse copy it: the copy of a few hundred
// frames costs less than a second libpulse call per request (each call asks the kernel for
// the process id, libpulse's guard against use after fork), and keeps the callback at two
// calls into libpulse.
void PulseOutput::Write(std::size_t bytes) {
  const std::uint64_t request = requests_.fetch_add(1, std::memory_order_relaxed);
  if (request == 0) realTime_.store(RaiseToRealTime(), std::memory_order_relaxed);
  const std::uint64_t now = clock_.Micros();
  if (request > 0) {
    const bool inStep = now <= lastWriteMicros_ + kOverdueMicros;
    if (!inStep && Running() && source_ != nullptr) source_->DropOverdue();
    running_.store(inStep, std::memory_order_release);
  }
  lastWriteMicros_ = now;
  ApplyLatency();
  const std::optional<StreamTimeline> timeline = Timeline();
  for (std::size_t frames = bytes / kFrameBytes; frames > 0;) {
    const std::size_t now = std::min(frames, block_.size() / 2);
    if (source_ != nullptr) {
      source_->Render(block_.data(), written_, now, timeline);
    } else {
      std::fill_n(block_.begin(), 2 * now, 0.0F);
    }
    if (pa_stream_write(stream_, block_.data(), now * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE) <
        0) {
      return;
    }
    written_ += static_cast<std::int64_t>(now);
    frames -= now;
  }
  if (timeline && lowLatencyApplied_) NoteAhead(*timeline);
}

// On the output thread, with the connection's lock held: the change of buffer is one
// asynchronous request to the server, answered by the write requests that follow. The long
// buffer waits until the source has nothing left to play: lengthening the sink's latency
// under a sound that is due moves it (measured: cues 10 to 20 ms late, one lost).
void PulseOutput::ApplyLatency() {
  const bool wanted = lowLatency_.load(std::memory_order_acquire);
  if (wanted == lowLatencyApplied_ || shortBytes_ == longBytes_) return;
  if (!wanted && source_ != nullptr && !source_->Idle()) return;
  lowLatencyApplied_ = wanted;
  pa_buffer_attr attr = *pa_stream_get_buffer_attr(stream_);
  attr.tlength = wanted ? shortBytes_ : longBytes_;
  attr.minreq = static_cast<std::uint32_t>(-1);
  attr.prebuf = 0;
  if (pa_operation* op = pa_stream_set_buffer_attr(stream_, &attr, nullptr, nullptr)) {
    pa_operation_unref(op);
  }
}

std::optional<StreamTimeline> PulseOutput::Timeline() const {
  pa_usec_t streamNow = 0;
  if (pa_stream_get_time(stream_, &streamNow) < 0) return std::nullopt;
  const auto now = static_cast<std::int64_t>(clock_.Micros());
  return StreamTimeline{now - static_cast<std::int64_t>(streamNow), now, rate_};
}

void PulseOutput::NoteAhead(const StreamTimeline& timeline) {
  const std::int64_t ahead = timeline.MicrosOf(written_) - timeline.nowMicros;
  if (ahead > 0 && static_cast<std::uint64_t>(ahead) > maxAhead_.load(std::memory_order_relaxed)) {
    maxAhead_.store(static_cast<std::uint64_t>(ahead), std::memory_order_relaxed);
  }
}

}  // namespace cue::audio
