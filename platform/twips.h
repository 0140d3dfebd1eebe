#pragma once

namespace cue {

// Twips (1/1440 inch) are the unit of every position and size in the system and in the
// results file; device pixels exist only at the edge, where a form is drawn. 96 dots per inch
// give 15 twips per pixel.
class Twips {
 public:
  explicit Twips(double dotsPerInch = 96.0) : twipsPerPixel_(1440.0 / dotsPerInch) {}
  double TwipsPerPixel() const { return twipsPerPixel_; }
  double ToPixels(double twips) const { return twips / twipsPerPixel_; }
  float FromPixels(double pixels) const { return static_cast<float>(pixels * twipsPerPixel_); }

 private:
  double twipsPerPixel_;
};

}  // namespace cue
