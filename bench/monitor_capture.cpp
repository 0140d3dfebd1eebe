#include "bench/monitor_capture.h"

#include <pulse/pulseaudio.h>

#include <cstring>

namespace cue::audio {

MonitorCapture::MonitorCapture(const Options& options)
    : connection_(options.server, "cuesearch capture", options.connectTimeoutMs) {
  if (!connection_.Connected()) {
    error_ = connection_.Error();
    return;
  }
  ready_ = Open(options);
}

MonitorCapture::~MonitorCapture() {
  if (stream_ == nullptr) return;
  {
    PulseConnection::Lock lock(connection_);
    pa_stream_disconnect(stream_);
  }
  connection_.Stop();
  pa_stream_unref(stream_);
}

bool MonitorCapture::Open(const Options& options) {
  PulseConnection::Lock lock(connection_);
  const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, 44100, 2};
  stream_ = pa_stream_new(connection_.Context(), "monitor capture", &spec, nullptr);
  if (stream_ == nullptr) {
    error_ = "cannot create a record stream: " + connection_.LastError();
    return false;
  }
  pa_stream_set_state_callback(
      stream_,
      [](pa_stream*, void* self) { static_cast<MonitorCapture*>(self)->connection_.Signal(); },
      this);
  pa_stream_set_read_callback(
      stream_,
      [](pa_stream*, std::size_t, void* self) { static_cast<MonitorCapture*>(self)->Read(); },
      this);
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(options.fragmentMicros, &spec));
  const auto flags =
      static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE |
                                     PA_STREAM_ADJUST_LATENCY | PA_STREAM_FIX_RATE);
  const bool ready = pa_stream_connect_record(stream_, options.source.c_str(), &attr, flags) == 0 &&
                     connection_.WaitUntil([this] {
                       const pa_stream_state_t state = pa_stream_get_state(stream_);
                       return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
                     }) &&
                     pa_stream_get_state(stream_) == PA_STREAM_READY;
  if (!ready) {
    error_ = "cannot record from " + options.source + ": " + connection_.LastError();
    return false;
  }
  recording_.rate = static_cast<int>(pa_stream_get_sample_spec(stream_)->rate);
  if (options.timingRefreshMs > 0) connection_.RefreshTiming(stream_, options.timingRefreshMs);
  return true;
}

// Keeps every block; a hole in the stream (data lost by the server) is kept as silence so
// that frame numbers stay those of the stream.
void MonitorCapture::Read() {
  const void* data = nullptr;
  std::size_t bytes = 0;
  while (pa_stream_peek(stream_, &data, &bytes) == 0 && bytes > 0) {
    Stamp stamp;
    stamp.arrivedMicros = static_cast<std::int64_t>(clock_.Micros());
    stamp.frame = recording_.Frames();
    pa_usec_t streamNow = 0;
    if (pa_stream_get_time(stream_, &streamNow) == 0) {
      // streamNow: the stream position being played at the sink right now, as a time.
      stamp.playedMicros = stamp.arrivedMicros - static_cast<std::int64_t>(streamNow) +
                           stamp.frame * 1'000'000 / recording_.rate;
      recording_.stamps.push_back(stamp);
    }
    const std::size_t old = recording_.samples.size();
    recording_.samples.resize(old + bytes / sizeof(float));
    if (data != nullptr) {
      std::memcpy(recording_.samples.data() + old, data, bytes - bytes % sizeof(float));
    }
    pa_stream_drop(stream_);
  }
}

std::int64_t MonitorCapture::Frames() const {
  PulseConnection::Lock lock(connection_);
  return recording_.Frames();
}

MonitorCapture::Recording MonitorCapture::Take() const {
  PulseConnection::Lock lock(connection_);
  return recording_;
}

}  // namespace cue::audio
