#include "app/program.h"

#include <random>

namespace cue {

namespace {

// Every draw folds the tick count into the generator, but two runs that started alike would
// still share a sequence; the generator therefore starts from the system's entropy.
std::uint64_t Entropy() {
  std::random_device device;
  return (static_cast<std::uint64_t>(device()) << 32) ^ device();
}

}  // namespace

Program::Program(const std::string& programFolder)
    : generator_(Entropy()),
      experiment_(Services{clock_, scheduler_, dialogs_, files_, sound_, generator_, windows_, lifecycle_},
                  metrics_, programFolder),
      screens_(experiment_, metrics_),
      greet_(GreetContext{experiment_.state, experiment_.dialogs, files_, windows_, lifecycle_,
                          screens_.Targets()}) {}

// Until the first trial no sound is due: the output idles on its long buffer.
void Program::Start() {
  sound_.SetLowLatency(false);
  greet_.Load();
}

}  // namespace cue
