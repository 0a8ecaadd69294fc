// One full burst: all seven sentences, 12 active GPS satellites (three GSV
// pages) in the classic profile; in the nmea41 profile 8 more satellites of
// each other constellation, so four GSA and nine GSV sentences. The reused
// buffer cases report the heap allocations per burst (steady state: none).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "bench_support.h"
#include "generator/nmea_generator.h"
#include "platform/clock.h"

namespace {

using waymock::generator::Constellation;
using waymock::generator::TTarnNMEAGenerator;

void setUp(TTarnNMEAGenerator& gen) {
  gen.SetLatitude_Degree(48);
  gen.SetLatitude_Minute(7);
  gen.SetLatitude_Second(2.28);
  gen.SetLongitude_Degree(11);
  gen.SetLongitude_Minute(31);
  gen.SetLongitude_Second(12.345);
  gen.SetAltitude(545.4);
  gen.SetGeo_Height(46.9);
  gen.SetHDOP(0.9);
  gen.SetPDOP(1.5);
  gen.SetVDOP(1.2);
  gen.SetSpeed(22.4);
  gen.SetHeading(84.4);
  gen.SetMagnetic_Heading(87.5);
  gen.SetMagnetic_Variation(3.1);
  for (std::uint16_t prn = 1; prn <= 12; ++prn) {
    gen.SetSatellite(prn, true, static_cast<std::uint16_t>(prn * 7),
                     static_cast<std::uint16_t>(prn * 29), static_cast<std::uint16_t>(20 + prn));
  }
}

// The common case: a fresh string per burst, time from the system clock.
void BM_BurstSystemClock(benchmark::State& state) {
  TTarnNMEAGenerator gen(waymock::systemClock(), nullptr);
  setUp(gen);
  for (auto _ : state) {
    std::string burst = gen.GetSentences();
    benchmark::DoNotOptimize(burst.data());
  }
}
BENCHMARK(BM_BurstSystemClock);

// Formatting alone: fixed time, one reused buffer.
void reusedBuffer(benchmark::State& state, const TTarnNMEAGenerator& gen) {
  std::string burst;
  gen.appendSentences(burst);  // warm-up: the buffer reaches its working size
  const long before = waymock::bench::allocationCount();
  for (auto _ : state) {
    burst.clear();
    gen.appendSentences(burst);
    benchmark::DoNotOptimize(burst.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * burst.size()));
  state.counters["allocs_per_burst"] =
      static_cast<double>(waymock::bench::allocationCount() - before) /
      static_cast<double>(state.iterations());
  state.counters["bytes"] = static_cast<double>(burst.size());
}

void BM_BurstFixedTimeReusedBuffer(benchmark::State& state) {
  TTarnNMEAGenerator gen(std::make_shared<waymock::FixedClock>(45'374.524525), nullptr);
  setUp(gen);
  reusedBuffer(state, gen);
}
BENCHMARK(BM_BurstFixedTimeReusedBuffer);

void BM_BurstNmea41FixedTimeReusedBuffer(benchmark::State& state) {
  TTarnNMEAGenerator gen(std::make_shared<waymock::FixedClock>(45'374.524525), nullptr);
  setUp(gen);
  for (const Constellation c :
       {Constellation::glonass, Constellation::galileo, Constellation::beidou}) {
    for (std::uint16_t n = 1; n <= 8; ++n) {
      gen.setSatellite(c, static_cast<std::uint16_t>(n * 3), true,
                       static_cast<std::uint16_t>(n * 9), static_cast<std::uint16_t>(n * 41),
                       static_cast<std::uint16_t>(n % 3 == 0 ? 0 : 25 + n));
    }
  }
  waymock::generator::OutputFormat format;
  format.profile = waymock::generator::OutputProfile::nmea41;
  format.zda = waymock::generator::ZdaForm::standard;
  gen.setOutputFormat(format);
  reusedBuffer(state, gen);
}
BENCHMARK(BM_BurstNmea41FixedTimeReusedBuffer);

}  // namespace

BENCHMARK_MAIN();
