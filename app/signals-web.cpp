// A web page has no signals: the page's own controls and its closing are
// the only ways out, and there is no second thread to keep them from.
#include "app/signals.h"

namespace glimmet {

std::span<const SignalUse> ProgramSignals() { return {}; }

std::vector<int> ProgramThreadSignals() { return {}; }

}  // namespace glimmet
