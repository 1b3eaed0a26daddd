// The program's signal policy, in one list: what each signal it takes a
// stand on does, for the terminal's handlers, and which of them the window
// thread must never take, so that their handlers run on the program thread.
#pragma once

#include <signal.h>

#include <vector>

#include "console/terminal.h"

namespace glimmet {

inline constexpr SignalUse kProgramSignals[] = {
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

// Every signal of the list but the faults, which arrive on the thread that
// made them.
std::vector<int> ProgramThreadSignals();

}  // namespace glimmet
