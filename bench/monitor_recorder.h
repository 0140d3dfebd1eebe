#pragma once

#include <sys/time.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench/records.h"
#include "bench/tones.h"

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;
struct pa_time_event;
struct pa_mainloop_api;

namespace cue::bench {

// Records the null sink's monitor (float mono at the sink's own rate, so nothing is
// resampled) and finds the tone bursts in it as they arrive. Every 50 ms it asks the server
// for the stream's timing and turns the answer into a CaptureAnchor:
//   stream time = write index (frames the server has put into the record stream)
//                 + source latency - sink latency
// is the position of the recording that the sink plays at the report's timestamp (the
// monitor carries each frame when the sink renders it, a sink latency ahead of its playing;
// this is libpulse's own formula for a monitor's record stream, without its smoothing).
// The timestamp is the server's wall clock; it is turned into CLOCK_MONOTONIC with the
// offset between the two clocks read at the moment of the answer.
class MonitorRecorder {
 public:
  explicit MonitorRecorder(const std::string& source = "null.monitor");
  ~MonitorRecorder();
  MonitorRecorder(const MonitorRecorder&) = delete;
  MonitorRecorder& operator=(const MonitorRecorder&) = delete;

  bool Ready() const { return error_.empty(); }
  const std::string& Error() const { return error_; }
  int Rate() const { return rate_; }

  // Stops recording; the results below are then final.
  void Stop();
  std::vector<ToneOnset> Onsets() const;
  std::vector<CaptureAnchor> Anchors() const;
  // Frames recorded so far, and those of them that the server lost (holes, fed as silence).
  std::int64_t Frames() const;
  std::int64_t LostFrames() const;

 private:
  static void OnContext(pa_context* context, void* self);
  static void OnStream(pa_stream* stream, void* self);
  static void OnRead(pa_stream* stream, std::size_t bytes, void* self);
  static void OnTimer(pa_mainloop_api* api, pa_time_event* event, const timeval* tv, void* self);
  static void OnTiming(pa_stream* stream, int success, void* self);
  bool WaitReady();

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  pa_time_event* timer_ = nullptr;
  std::string error_;
  int rate_ = 0;
  bool stopped_ = false;
  // Under the main loop's lock:
  OnsetDetector detector_{OnsetDetector::Options{}};
  std::vector<CaptureAnchor> anchors_;
  std::vector<float> block_;  // silence in place of a hole
  std::int64_t lost_ = 0;
};

}  // namespace cue::bench
