#include "platform/audio/wav_decoder.h"

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

namespace cue::audio {
namespace {

struct SndfileCloser {
  void operator()(SNDFILE* file) const { sf_close(file); }
};
using Sndfile = std::unique_ptr<SNDFILE, SndfileCloser>;

// libsndfile reports a file it cannot open as "System error : ..."; asking the system first
// gives the plain reason ("No such file or directory", "Permission denied").
std::string SystemReasonIfUnreadable(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::strerror(errno);
  const int c = std::fgetc(file);
  const int error = std::ferror(file) ? errno : 0;
  std::fclose(file);
  if (c == EOF && error != 0) return std::strerror(error);
  return {};
}

}  // namespace

std::variant<StereoSamples, SoundError> DecodeSoundFile(const std::string& path, int rate) {
  if (std::string reason = SystemReasonIfUnreadable(path); !reason.empty()) {
    return SoundError{path, reason};
  }
  SF_INFO info{};
  Sndfile file(sf_open(path.c_str(), SFM_READ, &info));
  if (!file) return SoundError{path, sf_strerror(nullptr)};
  if (info.channels <= 0 || info.samplerate <= 0) {
    return SoundError{path, "the file declares no channels or no sample rate"};
  }
  std::vector<float> raw(static_cast<std::size_t>(info.frames) *
                         static_cast<std::size_t>(info.channels));
  const sf_count_t read = sf_readf_float(file.get(), raw.data(), info.frames);
  if (read < 0 || sf_error(file.get()) != SF_ERR_NO_ERROR) {
    return SoundError{path, sf_strerror(file.get())};
  }
  raw.resize(static_cast<std::size_t>(read) * static_cast<std::size_t>(info.channels));
  StereoSamples samples{rate, ToStereo(raw, info.channels)};
  if (info.samplerate != rate) samples.data = ResampleStereo(samples.data, info.samplerate, rate);
  return samples;
}

std::vector<float> ToStereo(const std::vector<float>& interleaved, int channels) {
  const auto n = static_cast<std::size_t>(channels);
  const std::size_t frames = interleaved.size() / n;
  std::vector<float> stereo(2 * frames);
  for (std::size_t f = 0; f < frames; ++f) {
    stereo[2 * f] = interleaved[f * n];
    stereo[2 * f + 1] = interleaved[f * n + (n > 1 ? 1 : 0)];
  }
  return stereo;
}

std::vector<float> ResampleStereo(const std::vector<float>& stereo, int from, int to) {
  const auto in_frames = static_cast<std::int64_t>(stereo.size() / 2);
  if (in_frames == 0 || from == to) return stereo;
  // Input position of output frame j is j * from / to = whole + part / to, kept exact in
  // integers so that long sounds do not drift.
  const std::int64_t out_frames = (in_frames - 1) * to / from + 1;
  std::vector<float> out(static_cast<std::size_t>(2 * out_frames));
  for (std::int64_t j = 0; j < out_frames; ++j) {
    const std::int64_t whole = j * from / to;
    const float t = static_cast<float>(j * from % to) / static_cast<float>(to);
    const std::int64_t next = std::min(whole + 1, in_frames - 1);
    for (int c = 0; c < 2; ++c) {
      const float a = stereo[static_cast<std::size_t>(2 * whole + c)];
      const float b = stereo[static_cast<std::size_t>(2 * next + c)];
      out[static_cast<std::size_t>(2 * j + c)] = a + (b - a) * t;
    }
  }
  return out;
}

}  // namespace cue::audio
