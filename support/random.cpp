// Linear congruential generator (multiplier 0x08088405, increment 1) and the
// seed made of a clock reading; each platform reads its clock in a file of
// its own.
#include "support/random.h"

#include <cmath>
#include <cstring>

namespace glimmet {

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
