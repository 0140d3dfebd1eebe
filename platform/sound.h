#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace cue {

struct SoundError {
  std::string path;
  std::string reason;  // why the file cannot be played, for the experimenter
};

// Plays WAV files from memory through one output stream that stays open for the whole run.
// Open() decodes a file once; Play() places it into the running stream from its beginning and
// returns at once (never waiting for the output), restarting it if it is still playing. Other
// sounds go on: a cue and a feedback sound may overlap.
//
// Latency: a play starts a short, constant lead after its request while low latency is on.
// While it is off the output may keep a longer buffer, which spares the processor while the
// experiment waits, and a play may then start up to that buffer late. Switching it on takes
// effect within that buffer; the trial cycle switches it on at every trial start, long before
// any sound can be asked for, and off once the trial's sounds have been asked for.
//
// Threads: Open(), Play(), PlayAt(), PlayFile() and SetLowLatency() belong to one thread (the
// GUI thread); OnsetMicros(), OutputAvailable() and OutputError() may be called from any.
class SoundPlayer {
 public:
  using SoundId = int;           // >= 0
  using PlayId = std::uint64_t;  // > 0; 0 means "nothing was played"

  virtual ~SoundPlayer() = default;

  // Decodes the file at path into memory. Opening the same path again returns the same id
  // without reading the file again.
  virtual std::variant<SoundId, SoundError> Open(const std::string& path) = 0;
  // Starts the sound; returns the play's number (each play a larger one), or 0 when nothing
  // can be played: an id that Open() did not return, or no output.
  virtual PlayId Play(SoundId id) = 0;
  // As Play(), but the first sample is due at the output at atMicros (monotonic clock), or as
  // soon as the output allows when that is already too soon.
  virtual PlayId PlayAt(SoundId id, std::uint64_t atMicros) = 0;
  // See "Latency" above; returns at once. On by default.
  virtual void SetLowLatency(bool on) = 0;
  // When the play's first sample is due at the output, in microseconds of the monotonic
  // clock (Clock::Micros of SteadyClock); never before the Play() call. Known shortly after
  // Play() (once the output has placed it); nullopt before that, for a play that did not
  // happen, or when the output cannot tell.
  virtual std::optional<std::uint64_t> OnsetMicros(PlayId play) const = 0;
  // False when no output stream could be opened (no sound server, no device) or it has failed
  // since; plays are then silent and OutputError() says why (it is empty while the output
  // works).
  virtual bool OutputAvailable() const = 0;
  virtual std::string OutputError() const = 0;

  // Plays the file at path, opening it first if needed. A missing or unreadable file plays
  // nothing and returns 0.
  PlayId PlayFile(const std::string& path) {
    auto opened = Open(path);
    if (const auto* id = std::get_if<SoundId>(&opened)) return Play(*id);
    return 0;
  }
  PlayId PlayFileAt(const std::string& path, std::uint64_t atMicros) {
    auto opened = Open(path);
    if (const auto* id = std::get_if<SoundId>(&opened)) return PlayAt(*id, atMicros);
    return 0;
  }
};

}  // namespace cue
