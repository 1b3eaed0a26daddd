// The program's one source of randomness: a 32-bit linear congruential
// generator seeded from the local time of day. Every random choice the
// program makes (the field, the colour scheme, random rules, reseeding) draws
// from the same sequence, so a given seed always reproduces the same run.
#pragma once

#include <cstdint>

namespace glimmet {

// Generator state. Unseeded it starts with every bit set.
struct Random {
  std::uint32_t state_ = 0xFFFFFFFFu;
};

// Seconds since local midnight with millisecond resolution, 0 to 86 399.999.
double ClockSeconds();

// The same reading for a given time of day; the millisecond sum is formed as
// an integer and divided once so that equal clock readings give equal seeds.
double SecondsOfDay(int hour, int minute, int second, int millisecond);

// Rounds x to single precision and takes that bit pattern as the state.
void SeedRandom(Random& random, double x);

// Advances the state one step; returns a multiple of 2^-31 in [0, 1).
double RandomValue(Random& random);

// The largest whole number not greater than x.
double FloorValue(double x);

// floor(n * RandomValue): a whole number from 0 to n - 1 for n > 0.
int RandomBelow(Random& random, int n);

}  // namespace glimmet
