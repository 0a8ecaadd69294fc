// The cost of moving a fix along a route: one step on a 100,000-point route
// (the segment is found from the last one, so the route's length does not
// count), and 10,000 followers, each on a route of its own, advancing one tick
// (the base for simulating a fleet).
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "motion/route_motion.h"

namespace {

using waymock::motion::Route;
using waymock::motion::RouteEnd;
using waymock::motion::RouteMotion;
using waymock::motion::RoutePace;

// A winding route of `points` points about 10 m apart, starting at
// (latitude, longitude).
Route windingRoute(int points, double latitude, double longitude) {
  Route route;
  route.points.reserve(static_cast<std::size_t>(points));
  for (int i = 0; i < points; ++i) {
    const double turn = std::sin(i * 0.05) * 0.7;
    latitude += 0.00009 * std::cos(turn);
    longitude += 0.00009 * std::sin(turn) / std::cos(latitude * M_PI / 180);
    route.points.push_back({latitude, longitude, 10.0 + i % 7, std::nullopt});
  }
  return route;
}

// One tick of a second at range(0) m/s: at 7 m/s the fix enters a new segment
// most ticks, at 100 m/s it passes about ten.
void BM_StepOnALongRoute(benchmark::State& state) {
  RouteMotion motion(windingRoute(100'000, 54.3, 10.1), RoutePace{false, double(state.range(0)), 1},
                     RouteEnd::loop, false);
  for (auto _ : state) {
    motion.advance(1.0);
    benchmark::DoNotOptimize(motion.fix().position.latitude);
  }
  state.counters["metres"] = motion.progress().done;
}
BENCHMARK(BM_StepOnALongRoute)->Arg(7)->Arg(100)->Unit(benchmark::kNanosecond);

void BM_FleetTick(benchmark::State& state) {
  std::vector<std::unique_ptr<RouteMotion>> fleet;
  const int followers = static_cast<int>(state.range(0));
  fleet.reserve(static_cast<std::size_t>(followers));
  for (int i = 0; i < followers; ++i) {
    fleet.push_back(std::make_unique<RouteMotion>(
        windingRoute(100, 50 + (i % 100) * 0.05, 5 + (i / 100) * 0.05), RoutePace{false, 14, 1},
        RouteEnd::reverse, false));
  }
  for (auto _ : state) {
    for (auto& follower : fleet) follower->advance(1.0);
    benchmark::DoNotOptimize(fleet.back()->fix().position.longitude);
  }
}
BENCHMARK(BM_FleetTick)->Arg(10'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
