// Linear congruential generator (multiplier 0x08088405, increment 1) and the
// clock reading it is seeded from.
#include "support/random.h"

#include <cmath>
#include <cstring>
#include <ctime>

namespace glimmet {

double ClockSeconds() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);  // cannot fail with a valid clock id
  tm local{};
  if (localtime_r(&now.tv_sec, &local) == nullptr) return 0.0;
  return SecondsOfDay(local.tm_hour, local.tm_min, local.tm_sec,
                      static_cast<int>(now.tv_nsec / 1000000));
}

double SecondsOfDay(int hour, int minute, int second, int millisecond) {
  const std::int32_t total =
      hour * 3600000 + minute * 60000 + second * 1000 + millisecond;
  return total / 1000.0;
}

void SeedRandom(Random& random, double x) {
  const float single = static_cast<float>(x);
  static_assert(sizeof single == sizeof random.state_);
  std::memcpy(&random.state_, &single, sizeof single);
}

double RandomValue(Random& random) {
  random.state_ = random.state_ * 134775813u + 1u;
  return static_cast<double>(random.state_ >> 1) * 0x1p-31;
}

double FloorValue(double x) { return std::floor(x); }

int RandomBelow(Random& random, int n) {
  return static_cast<int>(FloorValue(n * RandomValue(random)));
}

}  // namespace glimmet
