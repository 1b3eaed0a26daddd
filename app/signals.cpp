// The window thread's share of the signal policy.
#include "app/signals.h"

namespace glimmet {

std::vector<int> ProgramThreadSignals() {
  std::vector<int> signals;
  for (const SignalUse& use : kProgramSignals)
    if (use.action_ != SignalAction::kFault) signals.push_back(use.signal_);
  return signals;
}

}  // namespace glimmet
