#include "platform/audio/pulse_connection.h"

#include <pulse/pulseaudio.h>

namespace cue::audio {

PulseConnection::PulseConnection(const std::string& server, const std::string& name,
                                 std::uint32_t timeoutMs) {
  loop_ = pa_threaded_mainloop_new();
  if (loop_ != nullptr)
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), name.c_str());
  if (context_ == nullptr) {
    error_ = "cannot start the sound thread";
    return;
  }
  connected_ = Connect(server, timeoutMs);
}

PulseConnection::~PulseConnection() {
  if (running_) {
    Lock lock(*this);
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
    if (deadline_ != nullptr) api->time_free(deadline_);
    if (refresh_ != nullptr) api->time_free(refresh_);
    pa_context_disconnect(context_);
  }
  Stop();
  if (context_ != nullptr) pa_context_unref(context_);
  if (loop_ != nullptr) pa_threaded_mainloop_free(loop_);
}

bool PulseConnection::Connect(const std::string& server, std::uint32_t timeoutMs) {
  pa_context_set_state_callback(
      context_, [](pa_context*, void* self) { static_cast<PulseConnection*>(self)->Signal(); },
      this);
  const char* address = server.empty() ? nullptr : server.c_str();
  if (pa_context_connect(context_, address, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
      pa_threaded_mainloop_start(loop_) < 0) {
    error_ = "cannot reach the sound server (PulseAudio or PipeWire): " + LastError();
    return false;
  }
  running_ = true;
  Lock lock(*this);
  deadline_ = pa_context_rttime_new(
      context_, pa_rtclock_now() + timeoutMs * PA_USEC_PER_MSEC,
      [](pa_mainloop_api*, pa_time_event*, const timeval*, void* self) {
        auto* connection = static_cast<PulseConnection*>(self);
        connection->timedOut_ = true;
        connection->Signal();
      },
      this);
  const bool ready = WaitUntil([this] {
    const pa_context_state_t state = pa_context_get_state(context_);
    return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
  });
  if (ready && pa_context_get_state(context_) == PA_CONTEXT_READY) return true;
  error_ = timedOut_ ? "the sound server did not answer within " + std::to_string(timeoutMs) + " ms"
                     : "cannot reach the sound server (PulseAudio or PipeWire): " + LastError();
  return false;
}

bool PulseConnection::WaitUntil(const std::function<bool()>& done) {
  while (!done()) {
    if (timedOut_) return false;
    pa_threaded_mainloop_wait(loop_);
  }
  return true;
}

void PulseConnection::RefreshTiming(pa_stream* stream, std::uint32_t periodMs) {
  refreshed_ = stream;
  refreshPeriodMicros_ = periodMs * PA_USEC_PER_MSEC;
  refresh_ = pa_context_rttime_new(
      context_, pa_rtclock_now() + refreshPeriodMicros_,
      [](pa_mainloop_api*, pa_time_event* event, const timeval*, void* self) {
        auto* connection = static_cast<PulseConnection*>(self);
        if (pa_stream_get_state(connection->refreshed_) == PA_STREAM_READY) {
          pa_operation* op = pa_stream_update_timing_info(connection->refreshed_, nullptr, nullptr);
          if (op != nullptr) pa_operation_unref(op);
        }
        pa_context_rttime_restart(connection->context_, event,
                                  pa_rtclock_now() + connection->refreshPeriodMicros_);
      },
      this);
}

void PulseConnection::Signal() { pa_threaded_mainloop_signal(loop_, 0); }

std::string PulseConnection::LastError() const { return pa_strerror(pa_context_errno(context_)); }

void PulseConnection::Stop() {
  if (!running_) return;
  pa_threaded_mainloop_stop(loop_);
  running_ = false;
}

PulseConnection::Lock::Lock(const PulseConnection& connection) : loop_(connection.loop_) {
  pa_threaded_mainloop_lock(loop_);
}

PulseConnection::Lock::~Lock() { pa_threaded_mainloop_unlock(loop_); }

}  // namespace cue::audio
