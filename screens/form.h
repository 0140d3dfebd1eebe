#pragma once

#include <cstdint>
#include <span>

namespace cue {

// A screen as the rest of the system sees it. Each form exists once per run; the Qt forms
// implement this, tests use recording doubles.
class Form {
 public:
  virtual ~Form() = default;
  // Creates the window and runs its load handler the first time; later calls do nothing.
  virtual void Load() = 0;
  // Shows the form modeless and brings it to the front, loading it first if needed.
  virtual void Show() = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual bool Visible() const = 0;
};

// A screen that a pause hands control to when it ends (the experiment screen, the rest screen).
class Startable {
 public:
  virtual ~Startable() = default;
  virtual void Start() = 0;
  // How long before the refresh of its first frame Start() must run, in µs (a pause that
  // ends in it ends that much earlier, so that the frame comes at the asked time); 0: as
  // early as any change of screen.
  virtual double ShowLeadMicros() const { return 0; }
};

// For each form in order: load it, then make it visible. The last one ends up in front.
void LoadAndShowForms(std::span<Form* const> forms);
// For each form in order: show it, which brings it to the front.
void ShowForms(std::span<Form* const> forms);

}  // namespace cue
