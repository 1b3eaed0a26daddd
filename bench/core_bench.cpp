// Timings of the per-generation computation: the shipped step beside a
// literal transcription of the rule, and colouring a whole field.
#include <benchmark/benchmark.h>

#include "automaton/colour.h"
#include "automaton/field.h"
#include "automaton/step.h"
#include "tests/literal_step.h"

namespace glimmet {
namespace {

CellField RandomField() {
  Random random;
  SeedRandom(random, 43200.0);
  CellField field = CreateField(100, 100);
  int page = 1;
  SeedField(field, random, page);
  return field;
}

void BM_StepLiteral(benchmark::State& state) {
  CellField field = RandomField();
  int page = 1;
  for (auto _ : state) {
    literal::Step(field, page, "5", "345", 4);
    benchmark::DoNotOptimize(field.cells_.data());
  }
}
BENCHMARK(BM_StepLiteral);

void BM_Step(benchmark::State& state) {
  CellField field = RandomField();
  int page = 1;
  const std::string survive = "5", birth = "345";
  for (auto _ : state) {
    StepGeneration(field, page, survive, birth, 4);
    benchmark::DoNotOptimize(field.cells_.data());
  }
}
BENCHMARK(BM_Step);

void BM_ColourField(benchmark::State& state) {
  const CellField field = RandomField();
  const ColourTable table = BuildColourTable();
  std::vector<Colour> picture(100 * 100);
  int scheme = 0;
  for (auto _ : state) {
    const auto& colours = table[scheme];
    for (int x = 1; x <= 100; ++x)
      for (int y = 1; y <= 100; ++y)
        picture[(y - 1) * 100 + x - 1] = colours[field.Cell(1, x, y)];
    benchmark::DoNotOptimize(picture.data());
    scheme = (scheme + 1) % kColourSchemes;
  }
}
BENCHMARK(BM_ColourField);

}  // namespace
}  // namespace glimmet
