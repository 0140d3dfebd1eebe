#pragma once

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/twips.h"
#include "platform/window_system.h"
#include "screens/form.h"
#include "screens/layout.h"
#include "tools/debug_window.h"

class QPlainTextEdit;

namespace cue {

// The myDebug form: an ordinary sizable window, made topmost when it loads, docked to the top
// of the screen at full width on every resize, and shown or hidden with the grave accent.
// Its one control OLE1 is a read-only view of a file (OpenFile).
//
// Shown, it does not take the keyboard: the subject's keys keep going to the experiment
// screen. When the experimenter has clicked into it and hides it with the grave accent, the
// keyboard goes back to the window that had it when the debug window was shown.
class DebugWindow final : public QWidget, public Form {
 public:
  // memory: the process-wide size memory of ScaleControls; windows: the screen. Both must
  // outlive the window.
  DebugWindow(ScaleMemory& memory, WindowSystem& windows);

  // Form. Load() runs Form_Load once.
  void Load() override;
  void Show() override;
  void SetVisible(bool visible) override;
  bool Visible() const override;

  // Shows the named file's content in OLE1 as it is now, each line end (CR LF, LF or CR) as a
  // line break. Only a regular file of at most kMaxShownBytes is read, without waiting; for
  // anything else OLE1 shows one line that names the file and says why.
  void OpenFile(const std::string& file);

  static constexpr long kMaxShownBytes = 1L << 20;

  // OLE1's place and size in twips, as ScaleControls keeps them.
  const Control& Ole1() const { return ole1_; }
  QPlainTextEdit* Ole1View() const { return ole1View_; }
  // SetTopMost's result at load: non-zero when the window was made topmost.
  std::int16_t TopMost() const { return topMost_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Form_Load();
  void Form_Resize();
  void Form_KeyPress(int& keyAscii);
  // Steps 2 and 3 of Form_Resize: moves the window to place's corner and gives it place's
  // width (outer edges, twips).
  void Dock(const WindowPlace& place);
  void PlaceOle1();
  int Px(float twips) const;

  ScaleMemory& memory_;
  WindowSystem& windows_;
  const Twips twips_;
  Control ole1_ = DebugDesignOle1();
  QPlainTextEdit* ole1View_;
  bool loaded_ = false;
  std::int16_t topMost_ = 0;
  QPointer<QWidget> keyboardReturn_;
};

// The run's one debug window, created and loaded the first time it is toggled or given a
// file. The experiment context owns it; the screens' key handlers call Toggle() for the grave
// accent.
class MyDebug final : public DebugToggle {
 public:
  MyDebug(ScaleMemory& memory, WindowSystem& windows) : memory_(memory), windows_(windows) {}
  MyDebug(const MyDebug&) = delete;
  MyDebug& operator=(const MyDebug&) = delete;

  void Toggle() override;
  void OpenFile(const std::string& file);
  // Null until the first Toggle or OpenFile.
  DebugWindow* Window() const { return window_.get(); }

 private:
  DebugWindow& Loaded();

  ScaleMemory& memory_;
  WindowSystem& windows_;
  std::unique_ptr<DebugWindow> window_;
};

}  // namespace cue
