// The local time of day on Windows, for the seed.
#include <windows.h>

#include "support/random.h"

namespace glimmet {

double ClockSeconds() {
  SYSTEMTIME local;
  GetLocalTime(&local);
  return SecondsOfDay(local.wHour, local.wMinute, local.wSecond, local.wMilliseconds);
}

}  // namespace glimmet
