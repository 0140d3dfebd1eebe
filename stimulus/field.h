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
inline constexpr int kLineCount = 9;  // lines 0..4 vertical, 5..8 horizontal

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

// The controls of the experiment screen's field, the form's Label1(1..30) and Line1(1..9),
// held 0-based: label i is Label1(i + 1). The 1-based position appears only where it is drawn
// or written (a draw of 1..30, the results file's targetPosition). The screen draws them
// from here.
class StimulusField {
 public:
  explicit StimulusField(const LabelMetrics& metrics) : metrics_(metrics) {}

  std::array<NumberLabel, kLabelCount>& labels() { return labels_; }
  const std::array<NumberLabel, kLabelCount>& labels() const { return labels_; }
  // REQUIRES: 0 <= index < kLabelCount.
  NumberLabel& label(int index) { return labels_[static_cast<std::size_t>(index)]; }
  const NumberLabel& label(int index) const { return labels_[static_cast<std::size_t>(index)]; }
  std::array<GridLine, kLineCount>& lines() { return lines_; }
  const std::array<GridLine, kLineCount>& lines() const { return lines_; }

  // Sets label index's caption; the label resizes to fit it.
  void SetCaption(int index, std::string caption);
  // Sizes every label to its current caption (automatic sizing switched on).
  void AutoSizeAll();

 private:
  const LabelMetrics& metrics_;
  std::array<NumberLabel, kLabelCount> labels_{};
  std::array<GridLine, kLineCount> lines_{};
};

}  // namespace cue
