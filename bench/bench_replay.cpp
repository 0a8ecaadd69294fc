// A replay at full speed (Delay 0) of a recorded log, as `waymock-cli replay`
// runs it: file receiver, relay into a generator, writes to a virtual serial
// port that no client reads. Reports the replay speed and the peak resident
// memory of the process, which must not grow with the size of the log.
//
// The default run replays a 50 MB log. Set WAYMOCK_BENCH_HUGE=1 to add the
// same replay of a 500 MB log (written to /tmp and removed afterwards).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "bench_support.h"
#include "engine/file_relay.h"
#include "generator/nmea_generator.h"
#include "platform/clock.h"
#include "platform/virtual_serial_port.h"
#include "receiver/burst_index.h"
#include "receiver/file_gps_receiver.h"
#include "support/datetime.h"

namespace {

namespace fs = std::filesystem;
using waymock::FileRelay;
using waymock::VirtualSerialPort;
using waymock::generator::TTarnNMEAGenerator;
using waymock::receiver::TTarnCustomGPSReceiver;
using waymock::receiver::TTarnFileGPSReceiver;

using waymock::bench::folder;
using waymock::bench::peakResidentKb;

// A drive written by the generator the way `waymock-cli run` saves it: each
// burst followed by an empty line. Written in pieces so that making the file
// does not itself raise the memory peak.
fs::path makeLog(std::size_t bytes) {
  const fs::path path = folder().path() / ("drive-" + std::to_string(bytes >> 20) + "MB.log");
  if (fs::exists(path)) return path;
  auto clock =
      std::make_shared<waymock::FixedClock>(waymock::encodeDateTime({2026, 12, 7, 8, 0, 0, 0}));
  TTarnNMEAGenerator g(clock);
  g.SetLatitude_Degree(47);
  g.SetLongitude_Degree(8);
  g.SetAltitude(420);
  g.SetSpeed(12.5);
  g.SetHeading(84.4);
  g.SetSatellite(3, true, 45, 120, 40);
  g.SetSatellite(11, true, 20, 300, 32);
  g.SetSatellite(17, true, 70, 10, 45);
  g.SetSatellite(28, true, 5, 200, 20);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw std::runtime_error("cannot create " + path.string());
  std::string chunk;
  std::size_t written = 0;
  for (long i = 0; written < bytes; ++i) {
    clock->set(clock->utcNow() + 1.0 / 86400);
    g.MoveLatitude(i % 200 < 100 ? 1.5L : -1.5L);
    g.MoveLongitude(2.25L);
    g.appendSentences(chunk);
    chunk += "\r\n";
    if (chunk.size() >= (1u << 20)) {
      written += std::fwrite(chunk.data(), 1, chunk.size(), file);
      chunk.clear();
    }
  }
  std::fclose(file);
  return path;
}

// A port that takes every byte and does nothing with it.
class NullPorts final : public waymock::SerialPortOpener {
  class Device final : public waymock::SerialDevice {
   public:
    std::size_t write(std::string_view bytes, std::chrono::milliseconds) override {
      return bytes.size();
    }
    void purge() noexcept override {}
  };

 public:
  std::unique_ptr<waymock::SerialDevice> open(const std::string&, int) override {
    return std::make_unique<Device>();
  }
};

void replay(benchmark::State& state, std::size_t bytes, bool virtualPort = true) {
  const fs::path log = makeLog(bytes);
  std::size_t bursts = 0;
  std::size_t echoed = 0;
  for (auto _ : state) {
    VirtualSerialPort port((folder().path() / "gps").string());
    TTarnNMEAGenerator generator(waymock::systemClock(),
                                 virtualPort ? port.opener() : std::make_shared<NullPorts>());
    if (!generator.OpenPort(port.path(), 4800)) {
      state.SkipWithError("cannot open the virtual port");
      return;
    }
    TTarnFileGPSReceiver receiver;
    receiver.SetDelay(0);
    FileRelay relay(generator, receiver);
    relay.onTransmitted = [&echoed](const std::string& burst) { echoed += burst.size() + 2; };
    receiver.OnReceive = [&relay](TTarnCustomGPSReceiver&) { relay.relay(); };
    receiver.SetFileName(log.string());
    receiver.Open();
    bursts = receiver.deliveredBursts();
    generator.ClosePort();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(fs::file_size(log)));
  state.counters["bursts"] = static_cast<double>(bursts);
  state.counters["echoed_MB"] = static_cast<double>(echoed) / state.iterations() / (1 << 20);
  state.counters["peak_rss_MB"] = static_cast<double>(peakResidentKb()) / 1024;
}

void BM_Replay50MB(benchmark::State& state) {
  replay(state, 50u << 20);
}
BENCHMARK(BM_Replay50MB)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same with a port that costs nothing: the share of the pseudo-terminal.
void BM_Replay50MBNullPort(benchmark::State& state) {
  replay(state, 50u << 20, false);
}
BENCHMARK(BM_Replay50MBNullPort)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same log read and decoded with nothing sent: the share of the file
// receiver and its parser in the figure above.
void BM_Decode50MB(benchmark::State& state) {
  const fs::path log = makeLog(50u << 20);
  for (auto _ : state) {
    TTarnFileGPSReceiver receiver;
    receiver.SetDelay(0);
    receiver.SetFileName(log.string());
    receiver.Open();
    benchmark::DoNotOptimize(receiver.Latitude_Second());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(fs::file_size(log)));
}
BENCHMARK(BM_Decode50MB)->Unit(benchmark::kMillisecond)->Iterations(3);

// The index file mode reads when a log is loaded, for its progress line and
// jumps: one pass over the same log, and a time left asked of it.
void BM_IndexBursts50MB(benchmark::State& state) {
  const fs::path log = makeLog(50u << 20);
  std::size_t bursts = 0;
  for (auto _ : state) {
    const auto index = waymock::receiver::BurstIndex::read(log.string(), false);
    bursts = index.count();
    benchmark::DoNotOptimize(index.timeLeft(bursts / 2, {1000, true, 2, false}));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(fs::file_size(log)));
  state.counters["bursts"] = static_cast<double>(bursts);
}
BENCHMARK(BM_IndexBursts50MB)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_TimeLeft(benchmark::State& state) {
  const auto index = waymock::receiver::BurstIndex::read(makeLog(50u << 20).string(), false);
  std::size_t sent = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(index.timeLeft(sent, {1000, true, 2, false}));
    sent = (sent + 7919) % (index.count() + 1);
  }
}
BENCHMARK(BM_TimeLeft);

void BM_Replay500MB(benchmark::State& state) {
  replay(state, 500u << 20);
  // Half a gigabyte is not left behind in /tmp.
  std::error_code ignored;
  fs::remove(folder().path() / "drive-500MB.log", ignored);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const char* huge = std::getenv("WAYMOCK_BENCH_HUGE");
  if (huge != nullptr && std::string(huge) == "1") {
    benchmark::RegisterBenchmark("BM_Replay500MB", BM_Replay500MB)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
