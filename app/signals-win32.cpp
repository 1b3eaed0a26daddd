// Windows has none of the signals the program takes a stand on: Ctrl+Break
// and the closing of the console come to the console's control handler, and
// the window thread needs nothing blocked.
#include "app/signals.h"

namespace glimmet {

std::span<const SignalUse> ProgramSignals() { return {}; }

std::vector<int> ProgramThreadSignals() { return {}; }

}  // namespace glimmet
