#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;
struct pa_time_event;

namespace cue::audio {

// A connection to the PulseAudio server (or PipeWire's PulseAudio service) on libpulse's
// threaded main loop, whose thread runs every stream callback. Setting up waits at most the
// timeout given at construction, in total: a timer on the loop ends every wait at that
// deadline, so a server that accepts the socket but never answers cannot hold the caller.
// A server is never started (no autospawn).
//
// Threads: the owner constructs, stops and destroys; callbacks run on the loop's thread with
// the loop's lock held; anyone else must hold a Lock while touching libpulse objects.
class PulseConnection {
 public:
  // server: empty for the default (PULSE_SERVER, else the session's server).
  PulseConnection(const std::string& server, const std::string& name, std::uint32_t timeoutMs);
  ~PulseConnection();
  PulseConnection(const PulseConnection&) = delete;
  PulseConnection& operator=(const PulseConnection&) = delete;

  class Lock {
   public:
    explicit Lock(const PulseConnection& connection);
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

   private:
    pa_threaded_mainloop* loop_;
  };

  // True when the connection is ready; otherwise Error() says why, for a lab technician.
  bool Connected() const { return connected_; }
  const std::string& Error() const { return error_; }
  pa_context* Context() const { return context_; }

  // With a Lock held: waits for loop events until done() holds (true) or the set-up deadline
  // passes (false). Callbacks that change what done() looks at must call Signal().
  bool WaitUntil(const std::function<bool()>& done);
  bool TimedOut() const { return timedOut_; }
  void Signal();
  // The server's reason for the last failed request.
  std::string LastError() const;

  // With a Lock held: asks the server for stream's timing every periodMs from now on, for as
  // long as the connection lives. REQUIRES: stream outlives the connection's thread.
  void RefreshTiming(pa_stream* stream, std::uint32_t periodMs);

  // Stops the loop's thread: no callback runs after it returns. Idempotent. REQUIRES: no Lock
  // held by the caller.
  void Stop();

 private:
  bool Connect(const std::string& server, std::uint32_t timeoutMs);

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_time_event* deadline_ = nullptr;
  pa_time_event* refresh_ = nullptr;
  pa_stream* refreshed_ = nullptr;
  std::uint64_t refreshPeriodMicros_ = 0;
  bool running_ = false;
  bool connected_ = false;
  bool timedOut_ = false;  // under the lock
  std::string error_;
};

}  // namespace cue::audio
