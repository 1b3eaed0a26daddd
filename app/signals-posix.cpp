// The signal policy on POSIX systems, and the window thread's share of it.
#include "app/signals.h"

#include <signal.h>

namespace glimmet {

namespace {

constexpr SignalUse kProgramSignals[] = {
    {SIGTERM, SignalAction::kEnd},      {SIGHUP, SignalAction::kEnd},
    {SIGINT, SignalAction::kEnd},       {SIGQUIT, SignalAction::kEnd},
    {SIGSEGV, SignalAction::kFault},    {SIGABRT, SignalAction::kFault},
    {SIGBUS, SignalAction::kFault},     {SIGFPE, SignalAction::kFault},
    {SIGILL, SignalAction::kFault},     {SIGTRAP, SignalAction::kFault},
    {SIGTSTP, SignalAction::kStop},     {SIGWINCH, SignalAction::kResize},
    {SIGCONT, SignalAction::kContinue},
    // Left at their defaults, but taken by the program thread only: a
    // SIGPIPE on the window thread's X connection would end the process
    // before the lost display could be reported.
    {SIGUSR1, SignalAction::kDefault},  {SIGUSR2, SignalAction::kDefault},
    {SIGALRM, SignalAction::kDefault},  {SIGCHLD, SignalAction::kDefault},
    {SIGPIPE, SignalAction::kDefault},
};

}  // namespace

std::span<const SignalUse> ProgramSignals() { return kProgramSignals; }

std::vector<int> ProgramThreadSignals() {
  std::vector<int> signals;
  for (const SignalUse& use : kProgramSignals)
    if (use.action_ != SignalAction::kFault) signals.push_back(use.signal_);
  return signals;
}

}  // namespace glimmet
