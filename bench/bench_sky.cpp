// The sky of one burst: 120 satellites (32 GPS, 24 GLONASS, 36 Galileo, 28
// BeiDou), every orbit eccentric so that Kepler's equation is solved for each,
// seen from a place that moves a little with every burst, with a horizon
// profile and seeded signal noise. Goal: at most 20 us a burst, and no heap
// allocation.
#include <benchmark/benchmark.h>

#include <array>
#include <numbers>
#include <vector>

#include "bench_support.h"
#include "sky/nominal_constellations.h"
#include "sky/sky_model.h"

namespace {

using namespace waymock::sky;

std::vector<Almanac> eccentricAlmanacs() {
  constexpr std::array<std::pair<GnssSystem, int>, 4> kCounts = {{{GnssSystem::gps, 32},
                                                                  {GnssSystem::glonass, 24},
                                                                  {GnssSystem::galileo, 36},
                                                                  {GnssSystem::beidou, 28}}};
  constexpr std::array<double, 4> kSqrtA = {5153.6, 5050.7, 5440.6, 5282.6};
  std::vector<Almanac> almanacs;
  for (const auto& [system, count] : kCounts) {
    for (int n = 1; n <= count; ++n) {
      Almanac a;
      a.system = system;
      a.number = static_cast<std::uint16_t>(n);
      a.week = 2306;
      a.referenceTime = 405'504;
      a.eccentricity = 0.01;
      a.inclination = 0.96;
      a.rateOfRightAscension = -8e-9;
      a.sqrtSemiMajorAxis = kSqrtA[static_cast<std::size_t>(system)];
      a.rightAscensionAtWeek = (n % 6) * std::numbers::pi / 3;
      a.argumentOfPerigee = 0.5 * n;
      a.meanAnomaly = 2.4 * n;
      almanacs.push_back(a);
    }
  }
  return almanacs;
}

void BM_SkyBurst(benchmark::State& state) {
  SkyOptions options;
  options.horizon = HorizonProfile::parse("0 10\n90 35\n180 5\n270 30\n", "bench");
  options.seed = 7;
  SkyModel sky(eccentricAlmanacs(), options);
  GeodeticPosition where{48.1173, 11.5167, 545};
  waymock::TDateTime utc = waymock::encodeDateTime({2024, 3, 23, 12, 0, 0, 0});
  sky.compute(where, utc);
  const long before = waymock::bench::allocationCount();
  for (auto _ : state) {
    utc += 1 / 86'400.0;
    where.latitude += 1e-5;
    const SkyView& view = sky.compute(where, utc);
    benchmark::DoNotOptimize(view.dops);
  }
  state.counters["satellites"] = static_cast<double>(sky.size());
  state.counters["allocs_per_burst"] =
      static_cast<double>(waymock::bench::allocationCount() - before) /
      static_cast<double>(state.iterations());
}
BENCHMARK(BM_SkyBurst);

// The built-in constellations, all four systems (102 satellites, circular).
void BM_SkyBurstNominal(benchmark::State& state) {
  SkyModel sky(nominalAlmanacs(GnssSystems::all()), {});
  waymock::TDateTime utc = waymock::encodeDateTime({2024, 3, 23, 12, 0, 0, 0});
  for (auto _ : state) {
    utc += 1 / 86'400.0;
    benchmark::DoNotOptimize(sky.compute({48.1173, 11.5167, 545}, utc).dops);
  }
}
BENCHMARK(BM_SkyBurstNominal);

}  // namespace

BENCHMARK_MAIN();
