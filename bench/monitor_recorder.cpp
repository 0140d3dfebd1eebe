#include "bench/monitor_recorder.h"

#include <pulse/pulseaudio.h>
#include <time.h>

#include <algorithm>

#include "bench/mono_time.h"

namespace cue::bench {

namespace {

constexpr pa_usec_t kTimingEveryMicros = 50'000;
constexpr std::uint32_t kFragmentMicros = 10'000;

std::int64_t RealMicros() {
  timespec t{};
  clock_gettime(CLOCK_REALTIME, &t);
  return static_cast<std::int64_t>(t.tv_sec) * 1'000'000 + t.tv_nsec / 1000;
}

}  // namespace

MonitorRecorder::MonitorRecorder(const std::string& source) {
  loop_ = pa_threaded_mainloop_new();
  context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "cuebench");
  pa_context_set_state_callback(context_, &MonitorRecorder::OnContext, this);
  pa_threaded_mainloop_lock(loop_);
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
      pa_threaded_mainloop_start(loop_) < 0) {
    error_ =
        std::string("cannot reach the sound server: ") + pa_strerror(pa_context_errno(context_));
    pa_threaded_mainloop_unlock(loop_);
    return;
  }
  while (pa_context_get_state(context_) != PA_CONTEXT_READY) {
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context_))) {
      error_ =
          std::string("cannot reach the sound server: ") + pa_strerror(pa_context_errno(context_));
      pa_threaded_mainloop_unlock(loop_);
      return;
    }
    pa_threaded_mainloop_wait(loop_);
  }
  const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, kToneRate, 1};
  stream_ = pa_stream_new(context_, "cuebench monitor", &format, nullptr);
  pa_stream_set_state_callback(stream_, &MonitorRecorder::OnStream, this);
  pa_stream_set_read_callback(stream_, &MonitorRecorder::OnRead, this);
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(kFragmentMicros, &format));
  const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_FIX_RATE);
  if (pa_stream_connect_record(stream_, source.c_str(), &attr, flags) < 0 || !WaitReady()) {
    error_ = "cannot record from " + source + ": " + pa_strerror(pa_context_errno(context_));
    pa_threaded_mainloop_unlock(loop_);
    return;
  }
  rate_ = static_cast<int>(pa_stream_get_sample_spec(stream_)->rate);
  OnsetDetector::Options options;
  options.rate = rate_;
  options.minSilenceFrames = options.analysisFrames = rate_ / 50;
  detector_ = OnsetDetector(options);
  timer_ = pa_context_rttime_new(context_, pa_rtclock_now() + kTimingEveryMicros,
                                 &MonitorRecorder::OnTimer, this);
  pa_threaded_mainloop_unlock(loop_);
}

bool MonitorRecorder::WaitReady() {
  for (;;) {
    const pa_stream_state_t state = pa_stream_get_state(stream_);
    if (state == PA_STREAM_READY) return true;
    if (!PA_STREAM_IS_GOOD(state)) return false;
    pa_threaded_mainloop_wait(loop_);
  }
}

MonitorRecorder::~MonitorRecorder() {
  Stop();
  if (loop_ != nullptr) {
    pa_threaded_mainloop_stop(loop_);
    if (stream_ != nullptr) pa_stream_unref(stream_);
    pa_context_unref(context_);
    pa_threaded_mainloop_free(loop_);
  }
}

void MonitorRecorder::Stop() {
  if (loop_ == nullptr) return;
  pa_threaded_mainloop_lock(loop_);
  if (!stopped_) {
    stopped_ = true;
    if (timer_ != nullptr) pa_threaded_mainloop_get_api(loop_)->time_free(timer_);
    timer_ = nullptr;
    if (stream_ != nullptr && pa_stream_get_state(stream_) == PA_STREAM_READY) {
      pa_stream_disconnect(stream_);
    }
    pa_context_disconnect(context_);
  }
  pa_threaded_mainloop_unlock(loop_);
}

void MonitorRecorder::OnContext(pa_context*, void* self) {
  pa_threaded_mainloop_signal(static_cast<MonitorRecorder*>(self)->loop_, 0);
}

void MonitorRecorder::OnStream(pa_stream*, void* self) {
  pa_threaded_mainloop_signal(static_cast<MonitorRecorder*>(self)->loop_, 0);
}

// A hole (data lost by the server) is fed as silence, so frame numbers stay the stream's.
void MonitorRecorder::OnRead(pa_stream* stream, std::size_t, void* self) {
  auto* me = static_cast<MonitorRecorder*>(self);
  const void* data = nullptr;
  std::size_t bytes = 0;
  while (pa_stream_peek(stream, &data, &bytes) == 0 && bytes > 0) {
    const std::size_t count = bytes / sizeof(float);
    if (data != nullptr) {
      me->detector_.Feed(static_cast<const float*>(data), count);
    } else {
      me->block_.assign(count, 0.0F);
      me->lost_ += static_cast<std::int64_t>(count);
      me->detector_.Feed(me->block_.data(), count);
    }
    pa_stream_drop(stream);
  }
}

void MonitorRecorder::OnTimer(pa_mainloop_api*, pa_time_event* event, const timeval*, void* self) {
  auto* me = static_cast<MonitorRecorder*>(self);
  if (me->stopped_) return;
  pa_operation* op = pa_stream_update_timing_info(me->stream_, &MonitorRecorder::OnTiming, me);
  if (op != nullptr) pa_operation_unref(op);
  pa_context_rttime_restart(me->context_, event, pa_rtclock_now() + kTimingEveryMicros);
}

void MonitorRecorder::OnTiming(pa_stream* stream, int success, void* self) {
  auto* me = static_cast<MonitorRecorder*>(self);
  const pa_timing_info* info = success != 0 ? pa_stream_get_timing_info(stream) : nullptr;
  if (info == nullptr || info->write_index_corrupt) return;
  const std::int64_t realToMono = RealMicros() - NowMicros();
  const std::int64_t stamp =
      static_cast<std::int64_t>(info->timestamp.tv_sec) * 1'000'000 + info->timestamp.tv_usec;
  const pa_sample_spec* format = pa_stream_get_sample_spec(stream);
  const double written = static_cast<double>(info->write_index) /
                         static_cast<double>(pa_frame_size(format)) * 1e6 / format->rate;
  const double streamMicros =
      written + static_cast<double>(info->source_usec) - static_cast<double>(info->sink_usec);
  CaptureAnchor anchor;
  anchor.at = stamp - realToMono;
  anchor.streamMicros = streamMicros;
  anchor.sinkMicros = static_cast<std::int64_t>(info->sink_usec);
  me->anchors_.push_back(anchor);
}

std::vector<ToneOnset> MonitorRecorder::Onsets() const {
  if (loop_ == nullptr) return {};
  pa_threaded_mainloop_lock(loop_);
  auto onsets = detector_.Onsets();
  pa_threaded_mainloop_unlock(loop_);
  return onsets;
}

std::vector<CaptureAnchor> MonitorRecorder::Anchors() const {
  if (loop_ == nullptr) return {};
  pa_threaded_mainloop_lock(loop_);
  auto anchors = anchors_;
  pa_threaded_mainloop_unlock(loop_);
  return anchors;
}

std::int64_t MonitorRecorder::Frames() const {
  if (loop_ == nullptr) return 0;
  pa_threaded_mainloop_lock(loop_);
  const std::int64_t frames = detector_.FramesSeen();
  pa_threaded_mainloop_unlock(loop_);
  return frames;
}

std::int64_t MonitorRecorder::LostFrames() const {
  if (loop_ == nullptr) return 0;
  pa_threaded_mainloop_lock(loop_);
  const std::int64_t lost = lost_;
  pa_threaded_mainloop_unlock(loop_);
  return lost;
}

}  // namespace cue::bench
