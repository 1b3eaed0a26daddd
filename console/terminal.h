// The platform layer under the console: finding the controlling terminal,
// raw mode and the alternate screen, and putting the terminal back exactly
// as it was on every way out of the process, signals included.
//
// This is the one place with process-wide state, because a signal handler
// or an exit handler must be able to restore the terminal without help.
#pragma once

#include <cstddef>
#include <span>
#include <string>

namespace glimmet {

// What the terminal layer does when a signal arrives.
enum class SignalAction {
  kEnd,       // restore the terminal, then end as the signal does; kept
              // ignored where the parent ignored it (nohup, background jobs)
  kFault,     // the same, always: the program's own faults
  kStop,      // restore the terminal, then stop; re-entered on continue
  kResize,    // repaint at the next flush
  kContinue,  // re-enter raw mode at the next flush
  kDefault,   // left as it is
};

struct SignalUse {
  int signal_;
  SignalAction action_;
};

struct TerminalFds {
  int input_ = -1;   // /dev/tty, non-blocking
  int output_ = -1;  // standard output or error when a terminal, else /dev/tty
  bool owns_output_ = false;
};

// Finds the terminal to work on; false, with the reason, when there is none.
bool FindTerminal(TerminalFds& fds, std::string& error);

// Saves the terminal's modes, then enters raw mode (no line input, echo,
// signal keys or flow control; output processing kept) and the alternate
// screen. From here on RestoreTerminal runs on exit() and before the
// signals in `signals` take effect as their actions say. The handlers are
// installed once, by the first call.
bool EnterTerminal(const TerminalFds& fds, std::span<const SignalUse> signals,
                   std::string& error);

// Re-applies raw mode and the alternate screen after the process was stopped
// (which restores the terminal for the shell) and then continued.
void ReenterTerminal();

// Undoes EnterTerminal and what followed, in the reverse order: mouse
// reporting off, then the terminal's input read away until it has answered
// a status request (or 500 ms have passed), attributes reset, screen erased,
// cursor shown, main screen back, modes restored. Idempotent;
// async-signal-safe.
void RestoreTerminal();

// True once `bytes`, read after a status request, complete its answer
// (CSI 0 n); `matched` carries how much of it has come, from 0, across
// calls.
bool FindStatusAnswer(const char* bytes, std::size_t size, std::size_t& matched);

// True once after each change of the terminal's size, or after the process
// was continued from a stop.
bool TakeResized();
bool TakeContinued();

// Sleeps until `fd` has input, the terminal is resized, the process is
// continued after a stop, or timeout_ms pass (-1: no limit). False when the
// wait itself failed.
bool WaitForTerminal(int fd, int timeout_ms);

// The terminal's size in character cells.
bool TerminalSize(int fd, int& columns, int& rows);

// The terminal's text area in pixels; false where the terminal leaves them 0.
bool TerminalPixelSize(int fd, int& width, int& height);

// Writes all of `data`, retrying after interrupted and short writes. Sets
// `short_write` when a write took fewer bytes than offered; false when the
// terminal is gone.
bool WriteAll(int fd, const char* data, std::size_t size, bool& short_write);

}  // namespace glimmet
