#include "platform/audio/wav_decoder.h"

#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/files.h"

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

// What the header declares, checked before anything is allocated for it.
std::string CheckHeader(const SF_INFO& info, int rate) {
  if (info.samplerate < kMinSoundRate || info.samplerate > kMaxSoundRate) {
    return "its sample rate of " + std::to_string(info.samplerate) +
           " Hz is outside 8000 to 192000 Hz";
  }
  if (info.channels < 1 || info.channels > kMaxSoundChannels) {
    return "it declares " + std::to_string(info.channels) + " channels, not 1 to 8";
  }
  // Both the samples as read and the stereo samples at the output's rate must fit the bound.
  const double frames = static_cast<double>(info.frames);
  const double bytes =
      std::max(frames * info.channels, 2 * frames * rate / info.samplerate) * sizeof(float);
  if (info.frames < 0 || bytes > static_cast<double>(kMaxDecodedBytes)) {
    return "it declares " + std::to_string(info.frames) + " frames, more than 64 MB once decoded";
  }
  return {};
}

std::variant<StereoSamples, SoundError> DecodeSoundFile(const std::string& path, int rate) {
  // Only a regular file is opened: a FIFO or a device would block or never end.
  if (auto refused = CheckReadable(path, kMaxDecodedBytes))
    return SoundError{path, refused->description};
  if (std::string reason = SystemReasonIfUnreadable(path); !reason.empty()) {
    return SoundError{path, reason};
  }
  SF_INFO info{};
  Sndfile file(sf_open(path.c_str(), SFM_READ, &info));
  if (!file) return SoundError{path, sf_strerror(nullptr)};
  if (std::string wrong = CheckHeader(info, rate); !wrong.empty()) return SoundError{path, wrong};
  std::vector<float> raw(static_cast<std::size_t>(info.frames) *
                         static_cast<std::size_t>(info.channels));
  const sf_count_t read = sf_readf_float(file.get(), raw.data(), info.frames);
  if (read < 0 || sf_error(file.get()) != SF_ERR_NO_ERROR) {
    return SoundError{path, sf_strerror(file.get())};
  }
  if (read == 0) return SoundError{path, "it holds no samples"};
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
    const float* in = &interleaved[f * n];
    if (n <= 2) {
      stereo[2 * f] = in[0];
      stereo[2 * f + 1] = in[n - 1];
      continue;
    }
    float shared = 0;
    for (std::size_t c = 2; c < n; ++c) shared += in[c];
    const auto share = static_cast<float>(n - 1);
    stereo[2 * f] = (in[0] + shared) / share;
    stereo[2 * f + 1] = (in[1] + shared) / share;
  }
  return stereo;
}

std::vector<float> ResampleStereo(const std::vector<float>& stereo, int from, int to) {
  const std::size_t inFrames = stereo.size() / 2;
  if (inFrames == 0 || from == to) return stereo;
  const auto outFrames = static_cast<std::size_t>(
      (static_cast<std::uint64_t>(inFrames) * static_cast<std::uint64_t>(to) +
       static_cast<std::uint64_t>(from) - 1) /
      static_cast<std::uint64_t>(from));
  std::vector<float> out(2 * outFrames);
  std::size_t done = 0;
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
  if (soxr_oneshot(from, to, 2, stereo.data(), inFrames, nullptr, out.data(), outFrames, &done,
                   nullptr, &quality, nullptr) != nullptr) {
    return {};
  }
  out.resize(2 * done);
  return out;
}

}  // namespace cue::audio
