#pragma once

#include <QLabel>

#include "screens/layout.h"
#include "screens/qt/experiment_screen.h"
#include "screens/rest.h"

namespace cue {

// The rest screen: one line of text, centred, waiting for the space bar.
class RestForm final : public ExperimentScreen {
 public:
  explicit RestForm(Rest& core);

 protected:
  void OnResize() override;
  int FormKeyPress(int keyAscii) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  Rest& core_;
  Control label1_{"Label1", 2400, 3720, 6615, 495};
  QLabel* text_;
};

}  // namespace cue
