#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>

namespace cue {

// Field geometry, twips.
inline constexpr float FIELD_LEFT = 4000;
inline constexpr float FIELD_TOP = 3000;
inline constexpr float FIELD_MARGIN_X = 8000;  // the field is the form's width less this
inline constexpr float FIELD_MARGIN_Y = 6000;  // and its height less this
inline constexpr int FIELD_COLUMNS = 6;
inline constexpr int FIELD_ROWS = 5;
inline constexpr int LABEL_COUNT = FIELD_COLUMNS * FIELD_ROWS;
inline constexpr int LINE_COUNT = 9;  // lines 1..5 vertical, 6..9 horizontal

// The two label colours, as red + 256 * green + 65536 * blue.
inline constexpr std::int32_t RED = 255;
inline constexpr std::int32_t GREEN = 32000;  // red 0, green 125, blue 0

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
  std::array<NumberLabel, LABEL_COUNT> labels_{};
  std::array<GridLine, LINE_COUNT> lines_{};
};

}  // namespace cue
