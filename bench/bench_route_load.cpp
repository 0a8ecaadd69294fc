// Loading a 100,000-point GPX track, as `run --route` and `route-info` do.
// Reports the load time and the memory the load takes at its peak, as a
// multiple of the file's size: the growth of the peak resident memory of a
// child process that loads the file once.
//
// Two layouts of the same track: indented with an elevation and a time per
// point, as recording devices and most programs write it, and one line per
// point with the position alone, the least text per point there is.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "bench_support.h"
#include "motion/route_reader.h"

namespace {

namespace fs = std::filesystem;

constexpr int kPoints = 100'000;

using waymock::bench::folder;
using waymock::bench::peakResidentKb;

// Written point by point, so that making the file does not raise the peak.
fs::path makeTrack(bool full) {
  const fs::path path = folder().path() / (full ? "full.gpx" : "bare.gpx");
  if (fs::exists(path)) return path;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw std::runtime_error("cannot create " + path.string());
  std::fputs(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<gpx version=\"1.1\" creator=\"bench\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
      "  <trk>\n    <trkseg>\n",
      file);
  for (int i = 0; i < kPoints; ++i) {
    const double latitude = 54.3 + i * 1e-5;
    const double longitude = 10.1 + (i % 500) * 2e-5;
    if (full) {
      const int second = i % 60, minute = i / 60 % 60, hour = i / 3600;
      std::fprintf(file,
                   "      <trkpt lat=\"%.6f\" lon=\"%.6f\">\n        <ele>%.1f</ele>\n"
                   "        <time>2024-05-%02dT%02d:%02d:%02dZ</time>\n      </trkpt>\n",
                   latitude, longitude, 2.0 + (i % 100) * 0.1, 1 + hour / 24, hour % 24, minute,
                   second);
    } else {
      std::fprintf(file, "<trkpt lat=\"%.6f\" lon=\"%.6f\"/>\n", latitude, longitude);
    }
  }
  std::fputs("    </trkseg>\n  </trk>\n</gpx>\n", file);
  std::fclose(file);
  return path;
}

// The growth of the peak resident memory while a child process loads the file
// once, in bytes; -1 when it could not be measured.
double loadPeakBytes(const fs::path& path) {
  int channel[2];
  if (pipe(channel) != 0) return -1;
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    close(channel[0]);
    const long before = peakResidentKb();
    long grown = -1;
    try {
      const auto route = waymock::motion::readRoute(path.string());
      benchmark::DoNotOptimize(route.points.data());
      grown = peakResidentKb() - before;
    } catch (...) {
    }
    (void)!write(channel[1], &grown, sizeof grown);
    _exit(0);
  }
  close(channel[1]);
  long grown = -1;
  if (read(channel[0], &grown, sizeof grown) != sizeof grown) grown = -1;
  close(channel[0]);
  waitpid(pid, nullptr, 0);
  return grown < 0 ? -1 : static_cast<double>(grown) * 1024;
}

// Measured before any benchmark runs: the heap the benchmarks leave behind
// would be reused by the child's load and hide part of its peak.
struct Layout {
  fs::path path;
  double peakBytes = -1;
};
Layout layouts[2];

void load(benchmark::State& state, bool full) {
  const Layout& layout = layouts[full ? 1 : 0];
  const auto size = static_cast<double>(fs::file_size(layout.path));
  std::size_t points = 0;
  for (auto _ : state) {
    const auto route = waymock::motion::readRoute(layout.path.string());
    points = route.points.size();
    benchmark::DoNotOptimize(route.points.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
  state.counters["points"] = static_cast<double>(points);
  state.counters["file_MB"] = size / (1 << 20);
  state.counters["load_peak_MB"] = layout.peakBytes / (1 << 20);
  state.counters["peak_per_file_size"] = layout.peakBytes / size;
}

void BM_LoadGpx100kPoints(benchmark::State& state) {
  load(state, true);
}
BENCHMARK(BM_LoadGpx100kPoints)->Unit(benchmark::kMillisecond);

void BM_LoadGpx100kBarePoints(benchmark::State& state) {
  load(state, false);
}
BENCHMARK(BM_LoadGpx100kBarePoints)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  for (const bool full : {false, true}) {
    Layout& layout = layouts[full ? 1 : 0];
    layout.path = makeTrack(full);
    layout.peakBytes = loadPeakBytes(layout.path);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
