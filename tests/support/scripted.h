#pragma once

#include <deque>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/dialogs.h"
#include "platform/generator.h"

namespace cue::testing {

// What a message box shows, to compare at once: its text, title, buttons and icon.
inline auto Shown(const Message& m) { return std::tuple(m.text, m.title, m.buttons, m.icon); }

// Records every message box and answers from a script; with the script used up it answers
// OK, or No to a yes/no question.
class ScriptedDialogs final : public Dialogs {
 public:
  Answer Show(const Message& message) override {
    shown.push_back(message);
    if (onShow) onShow(message);
    if (!script.empty()) {
      const Answer answer = script.front();
      script.pop_front();
      return answer;
    }
    return message.buttons == Buttons::kYesNo ? Answer::kNo : Answer::kOk;
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& m : shown) texts.push_back(m.text);
    return texts;
  }

  std::deque<Answer> script;
  std::vector<Message> shown;
  std::function<void(const Message&)> onShow;
};

// Returns given values from Rnd(), in order, cycling; records every Randomize seed.
class ScriptedGenerator final : public Generator {
 public:
  explicit ScriptedGenerator(std::vector<float> values = {0.0F}) : values_(std::move(values)) {}
  void Randomize(std::int32_t seed) override { seeds.push_back(seed); }
  float Rnd() override {
    const float v = values_[next_ % values_.size()];
    ++next_;
    return v;
  }
  std::vector<std::int32_t> seeds;

 private:
  std::vector<float> values_;
  std::size_t next_ = 0;
};

}  // namespace cue::testing
