#include <cstdio>

int main() {
  std::puts(
      "cuesearch: built so far are the platform layer, the random-number classes, the "
      "experiment state and the trial schedule; the start-up screen is not built yet.");
  return 0;
}
