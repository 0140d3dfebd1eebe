#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/audio/pulse_connection.h"
#include "platform/clock.h"

struct pa_stream;

namespace cue::audio {

// Records a PulseAudio source, by default the monitor of the null sink that scripts/test-env
// starts, and stamps what it records with the monotonic clock. The measuring side of the
// sound tests and of bench/audio_onset; the experiment itself never records.
//
// Stamps: at each block received, the capture asks libpulse where the record stream stands
// (pa_stream_get_time). For a monitor source that time is the sink's: the monitor reports
// its latency as minus the sink's, so the time of a recorded frame is the time at which the
// sink plays it (for the null sink, the moment its clock consumes it). So frame g of the
// recording was at the sink's output at playedMicros + (g - frame) / rate of its block's
// stamp.
class MonitorCapture {
 public:
  struct Options {
    std::string server;                   // empty: the default server
    std::string source = "null.monitor";  // a source name
    std::uint32_t fragmentMicros = 2000;  // how often the server hands over what it recorded
    std::uint32_t timingRefreshMs = 20;   // how often to ask for fresh timing; 0: libpulse's
    std::uint32_t connectTimeoutMs = 2000;
  };

  struct Stamp {
    std::int64_t frame = 0;          // first frame of a block received
    std::int64_t playedMicros = 0;   // when that frame was at the sink's output (SteadyClock)
    std::int64_t arrivedMicros = 0;  // when the block reached us (SteadyClock)
  };

  struct Recording {
    int rate = 0;
    std::vector<float> samples;  // interleaved stereo
    std::vector<Stamp> stamps;   // one per block, in frame order
    std::int64_t Frames() const { return static_cast<std::int64_t>(samples.size() / 2); }
  };

  // Starts recording float stereo at the source's rate; Ready() tells whether it did.
  explicit MonitorCapture(const Options& options);
  ~MonitorCapture();
  MonitorCapture(const MonitorCapture&) = delete;
  MonitorCapture& operator=(const MonitorCapture&) = delete;

  bool Ready() const { return ready_; }
  const std::string& Error() const { return error_; }
  // Frames recorded so far.
  std::int64_t Frames() const;
  // A copy of everything recorded so far.
  Recording Take() const;

 private:
  bool Open(const Options& options);
  void Read();

  SteadyClock clock_;
  PulseConnection connection_;
  pa_stream* stream_ = nullptr;
  bool ready_ = false;
  std::string error_;
  Recording recording_;  // under the connection's lock
};

}  // namespace cue::audio
