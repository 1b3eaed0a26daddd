// The program's signal policy, in one list: what each signal it takes a
// stand on does, for the terminal's handlers, and which of them the window
// thread must never take, so that their handlers run on the program thread.
#pragma once

#include <span>
#include <vector>

#include "console/terminal.h"

namespace glimmet {

// What the program does with each signal it takes a stand on; empty where
// the system has no signals of that kind (Windows: Ctrl+Break and the
// console's close come to the console's control handler instead).
std::span<const SignalUse> ProgramSignals();


// Every signal of the list but the faults, which arrive on the thread that
// made them.
std::vector<int> ProgramThreadSignals();

}  // namespace glimmet
