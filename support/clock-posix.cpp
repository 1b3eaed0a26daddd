// The local time of day on POSIX systems, for the seed.
#include <ctime>

#include "support/random.h"

namespace glimmet {

double ClockSeconds() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);  // cannot fail with a valid clock id
  tm local{};
  if (localtime_r(&now.tv_sec, &local) == nullptr) return 0.0;
  return SecondsOfDay(local.tm_hour, local.tm_min, local.tm_sec,
                      static_cast<int>(now.tv_nsec / 1000000));
}

}  // namespace glimmet
