#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>

namespace cue {

// Field geometry, twips.
inline constexpr float kFieldLeft = 4000;
inline constexpr float kFieldTop = 3000;
inline constexpr float kFieldMarginX = 8000;  // the field is the form's width less this
inline constexpr float kFieldMarginY = 6000;  // and its height less this
inline constexpr int kFieldColumns = 6;
inline constexpr int kFieldRows = 5;
inline constexpr int kLabelCount = kFieldColumns * kFieldRows;
inline constexpr int kLineCount = 9;  // lines 1..5 vertical, 6..9 horizontal

// The two label colours. Each one's value is its colour number, as a label's foreColor holds
// it: red + 256 * green + 65536 * blue.
enum class LabelColour : std::int32_t {
  kRed = 255,
  kGreen = 32000,  // red 0, green 125, blue 0
};
constexpr std::int32_t ColourValue(LabelColour colour) { return static_cast<std::int32_t>(colour); }

// One number label. Positions and sizes are twips; the size always fits the caption.
struct NumberLabel {
  std::string caption = "1";
  float left = 0;
  float top = 0;
  float width = 0;
  float height = 0;
  std::int32_t foreColor = 0;  // red + 256 * green + 65536 * blue
  bool visible = true;
};

struct GridLine {
  float x1 = 0;
  float y1 = 0;
  float x2 = 0;
  float y2 = 0;
  bool visible = true;
};

// The size of a label sized to its caption, in twips. Only the toolkit knows the font's
// metrics, so the experiment screen supplies this.
class LabelMetrics {
 public:
  virtual ~LabelMetrics() = default;
  virtual std::pair<float, float> SizeOf(const std::string& caption) const = 0;
};

// The controls of the experiment screen's field: Label1(1..30) and Line1(1..9). The screen
// draws them from here.
class StimulusField {
 public:
  explicit StimulusField(const LabelMetrics& metrics) : metrics_(metrics) {}

  // REQUIRES: 1 <= index <= 30.
  NumberLabel& Label1(int index) { return labels_[static_cast<std::size_t>(index - 1)]; }
  const NumberLabel& Label1(int index) const { return labels_[static_cast<std::size_t>(index - 1)]; }
  // REQUIRES: 1 <= index <= 9.
  GridLine& Line1(int index) { return lines_[static_cast<std::size_t>(index - 1)]; }
  const GridLine& Line1(int index) const { return lines_[static_cast<std::size_t>(index - 1)]; }

  // Sets a caption; the label resizes to fit it.
  void SetCaption(int index, std::string caption);
  // Sizes every label to its current caption (automatic sizing switched on).
  void AutoSizeAll();

 private:
  const LabelMetrics& metrics_;
  std::array<NumberLabel, kLabelCount> labels_{};
  std::array<GridLine, kLineCount> lines_{};
};

}  // namespace cue
