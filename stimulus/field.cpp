#include "stimulus/field.h"

#include <tuple>

namespace cue {

void StimulusField::SetCaption(int index, std::string caption) {
  NumberLabel& label = this->label(index);
  label.caption = std::move(caption);
  std::tie(label.width, label.height) = metrics_.SizeOf(label.caption);
}

void StimulusField::AutoSizeAll() {
  for (NumberLabel& label : labels_)
    std::tie(label.width, label.height) = metrics_.SizeOf(label.caption);
}

}  // namespace cue
