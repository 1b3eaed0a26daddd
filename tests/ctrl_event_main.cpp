// A stand-in for cmd that sends the console a control event: it puts its
// console window at a given place (Wine's, without a window manager, moves
// only from inside), shows some earlier work, waits for a key, runs the
// program, sends Ctrl+C as an event (not as a key) once a named file
// appears, writes the program's exit status to a file and waits for a key
// again. The program gives the console back on Ctrl+C sent so and on
// Ctrl+Break alike; Wine 8 can send only the first (GenerateConsoleCtrlEvent
// fails for CTRL_BREAK_EVENT, and its console window makes no event of the
// keys). Ctrl+C goes to the whole console (a process group of its own would
// ignore it), so cmd would end with the program: this stand-in lets the
// event pass.
//
// Usage: glimmet2-ctrl-event LINES X Y TRIGGER-FILE STATUS-FILE PROGRAM
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

BOOL WINAPI LetEventPass(DWORD event) { return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT; }

void AwaitKey() {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  INPUT_RECORD record;
  DWORD got = 0;
  while (ReadConsoleInputA(input, &record, 1, &got) && got == 1 &&
         !(record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown)) {
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr,
                 "usage: glimmet2-ctrl-event LINES X Y TRIGGER-FILE STATUS-FILE PROGRAM\n");
    return 2;
  }
  const char* trigger = argv[4];
  const char* status_file = argv[5];
  const char* program = argv[6];
  SetConsoleCtrlHandler(LetEventPass, TRUE);
  SetWindowPos(GetConsoleWindow(), nullptr, std::atoi(argv[2]), std::atoi(argv[3]), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER);
  for (int line = 1; line <= std::atoi(argv[1]); ++line) std::printf("earlier line %d\n", line);
  std::fflush(stdout);
  AwaitKey();

  std::string command = std::string("\"") + program + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &child)) {
    std::fprintf(stderr, "glimmet2-ctrl-event: cannot start %s (Windows error %lu)\n", program,
                 GetLastError());
    return 2;
  }
  // The program may end by itself first: then there is nothing to send.
  while (GetFileAttributesA(trigger) == INVALID_FILE_ATTRIBUTES &&
         WaitForSingleObject(child.hProcess, 100) == WAIT_TIMEOUT) {
  }
  if (WaitForSingleObject(child.hProcess, 0) == WAIT_TIMEOUT &&
      !GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
    std::fprintf(stderr, "glimmet2-ctrl-event: cannot send Ctrl+C (Windows error %lu)\n",
                 GetLastError());
    TerminateProcess(child.hProcess, 2);
  }
  WaitForSingleObject(child.hProcess, INFINITE);
  DWORD status = 2;
  GetExitCodeProcess(child.hProcess, &status);
  if (FILE* file = std::fopen(status_file, "w")) {
    std::fprintf(file, "%ld\n", static_cast<long>(status));
    std::fclose(file);
  }
  AwaitKey();
  return 0;
}
