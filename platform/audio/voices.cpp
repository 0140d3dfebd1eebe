#include "platform/audio/voices.h"

#include <algorithm>

#include "platform/audio/wav_decoder.h"

namespace cue::audio {

void Voices::Start(const StereoSamples* sound, std::int64_t start) {
  for (std::size_t i = 0; i < count_;) {
    Voice& v = voices_[i];
    if (v.sound == sound) v.end = std::min(v.end, start);
    if (v.end <= v.start) {
      RemoveAt(i);  // restarted before it began
    } else {
      ++i;
    }
  }
  Add(Voice{sound, start, start + static_cast<std::int64_t>(sound->Frames())});
}

void Voices::Add(const Voice& voice) {
  if (voice.end <= voice.start) return;
  if (count_ == kCapacity) {
    const auto first_to_end =
        std::min_element(voices_.begin(), voices_.end(),
                         [](const Voice& a, const Voice& b) { return a.end < b.end; });
    RemoveAt(static_cast<std::size_t>(first_to_end - voices_.begin()));
  }
  voices_[count_++] = voice;
}

void Voices::RemoveAt(std::size_t index) { voices_[index] = voices_[--count_]; }

void Voices::RemoveEndedBy(std::int64_t frame) {
  for (std::size_t i = 0; i < count_;) {
    if (voices_[i].end <= frame) {
      RemoveAt(i);
    } else {
      ++i;
    }
  }
}

void Voices::Render(float* out, std::int64_t first, std::size_t frames) {
  std::fill(out, out + 2 * frames, 0.0F);
  const std::int64_t last = first + static_cast<std::int64_t>(frames);
  for (std::size_t i = 0; i < count_; ++i) {
    const Voice& v = voices_[i];
    const std::int64_t from = std::max(first, v.start);
    const std::int64_t to = std::min(last, v.end);
    if (from >= to) continue;
    const float* src = v.sound->data.data() + 2 * (from - v.start);
    float* dst = out + 2 * (from - first);
    for (std::int64_t n = 2 * (to - from); n > 0; --n) *dst++ += *src++;
  }
  for (float* p = out; p != out + 2 * frames; ++p) *p = std::clamp(*p, -1.0F, 1.0F);
  RemoveEndedBy(last);
}

}  // namespace cue::audio
