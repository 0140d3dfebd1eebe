#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/lifecycle.h"
#include "platform/window_system.h"
#include "screens/form.h"
#include "stimulus/field.h"
#include "support/virtual_time.h"

namespace cue::testing {

// A 1024 x 768 screen at 15 twips per pixel; records where the pointer was sent.
class FakeWindows final : public WindowSystem {
 public:
  float ScreenWidthTwips() const override { return 15360; }
  float ScreenHeightTwips() const override { return 11520; }
  void SetCursorPos(int x, int y) override { cursor.emplace_back(x, y); }
  std::vector<std::pair<int, int>> cursor;
};

// Ends the program by stopping virtual time: nothing scheduled runs afterwards.
class FakeLifecycle final : public Lifecycle {
 public:
  explicit FakeLifecycle(VirtualTime& time) : time_(time) {}
  void EndProgram() override {
    ++ended;
    time_.CancelAll();
  }
  int ended = 0;

 private:
  VirtualTime& time_;
};

// Labels 255 twips wide per character and 435 twips high, about an 18 pt bold digit.
class FakeLabelMetrics final : public LabelMetrics {
 public:
  std::pair<float, float> SizeOf(const std::string& caption) const override {
    return {255.0F * static_cast<float>(caption.size()), 435.0F};
  }
};

// A form that records what is done to it.
class RecordingForm final : public Form {
 public:
  RecordingForm(std::string name, const Clock& clock) : name_(std::move(name)), clock_(clock) {}
  void Load() override {}
  void Show() override {
    visible_ = true;
    shownAtMs.push_back(clock_.Micros() / 1000);
  }
  void SetVisible(bool visible) override { visible_ = visible; }
  bool Visible() const override { return visible_; }
  std::vector<std::uint64_t> shownAtMs;

 private:
  std::string name_;
  const Clock& clock_;
  bool visible_ = false;
};

}  // namespace cue::testing
