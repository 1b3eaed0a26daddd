// The generation step: every cell grows or fades by five times the growth
// rate according to whether the rounded count of its eight neighbours (their
// summed intensities over 255) is in the survive rule, for a live cell (above
// 128), or in the birth rule, for a dead one. The field is a torus.
#pragma once

#include <cstdint>
#include <string>

#include "automaton/field.h"

namespace glimmet {

// The rules and the growth rate the toy starts with.
constexpr char kDefaultSurvive[] = "5";
constexpr char kDefaultBirth[] = "345";
constexpr int kDefaultGrowthRate = 4;

// Bit n set when the one-character text of the count n (0 to 8) occurs in
// the rule. Any other characters in the rule are never looked for.
std::uint32_t RuleMask(const std::string& rule);

// The neighbour count for a neighbour sum from 0 to 2040: sum / 255 rounded.
inline std::int32_t NeighbourCount(std::int32_t sum) {
  const std::int32_t t = sum + 127;
  return (t + (t >> 8) + 1) >> 8;  // exactly t / 255 for 0 <= t < 65535
}

// Computes the next generation from the current page into the other page
// and makes that page current. A growth rate outside 0 to 9 is taken as the
// nearest of them, which keeps every cell within 0 to 255.
void StepGeneration(CellField& field, int& current_page,
                    const std::string& survive, const std::string& birth,
                    int growth_rate);

}  // namespace glimmet
