// The control channel's round trip on a Unix socket: a client sends a request
// line and waits for the reply while the server runs as a front end runs it,
// woken by poll on its descriptor and serviced in the loop's thread.
//  - BM_ControlStatus: {"cmd":"status"}, the fix read back as JSON.
//  - BM_ControlSet: {"cmd":"set",...} with a position, speed and heading.
//  - BM_ControlSetWithIdleClients: the same with 1,000 other clients
//    connected that send nothing.
// Counters p50_us and p99_us: the round trip's percentiles. Goal on an idle
// machine: p99 at most 1 ms.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "control/control_commands.h"
#include "control/control_server.h"
#include "control/control_target.h"
#include "control/fault_schedule.h"
#include "control/generator_control.h"
#include "engine/simulation.h"
#include "generator/nmea_generator.h"
#include "motion/motion.h"

namespace {

using namespace waymock;
using Clock = std::chrono::steady_clock;

class GeneratorTarget : public control::ControlTarget {
 public:
  generator::TTarnNMEAGenerator generator;
  Simulation simulation{generator};
  void change(const control::FixChange& c) override {
    control::applyFixChange(c, simulation, generator);
  }
  void move(const control::MoveRequest&, std::unique_ptr<motion::Motion>) override {}
  void start(Done done) override { done(std::nullopt); }
  void stop() override {}
  void pause() override {}
  void resume() override {}
  nlohmann::json status() const override { return {{"fix", control::fixJson(generator)}}; }
};

int connectTo(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    throw std::runtime_error("connect failed");
  }
  return fd;
}

// The server in a loop of its own, as the command line's run loop serves it.
class ServedChannel {
 public:
  ServedChannel()
      : path_(std::filesystem::temp_directory_path() /
              ("waymock-bench-" + std::to_string(::getpid()) + ".sock")),
        faults_(std::chrono::seconds(1)),
        commands_(target_, faults_),
        server_([this](std::string_view request, const control::ControlServer::Reply& reply,
                       bool& subscribe) { commands_.answer(request, reply, subscribe); }) {
    server_.listenUnix(path_.string());
    loop_ = std::thread([this] {
      while (!stop_) {
        pollfd p{server_.fd(), POLLIN, 0};
        if (::poll(&p, 1, 20) > 0) server_.service();
      }
    });
  }
  ~ServedChannel() {
    stop_ = true;
    loop_.join();
  }
  const std::string path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
  GeneratorTarget target_;
  control::FaultSchedule faults_;
  control::ControlCommands commands_;
  control::ControlServer server_;
  std::atomic<bool> stop_{false};
  std::thread loop_;
};

void roundTrips(benchmark::State& state, const std::string& request, int idleClients) {
  rlimit limit{};
  ::getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = std::max<rlim_t>(limit.rlim_cur, std::min<rlim_t>(limit.rlim_max, 4096));
  ::setrlimit(RLIMIT_NOFILE, &limit);
  ServedChannel channel;
  std::vector<int> idle;
  for (int i = 0; i < idleClients; ++i) idle.push_back(connectTo(channel.path()));
  const int fd = connectTo(channel.path());
  const std::string line = request + "\n";
  std::vector<double> micros;
  char buffer[65536];
  for (auto _ : state) {
    const auto begin = Clock::now();
    if (::send(fd, line.data(), line.size(), 0) != static_cast<ssize_t>(line.size())) {
      state.SkipWithError("send failed");
      break;
    }
    std::size_t got = 0;
    while (got == 0 || buffer[got - 1] != '\n') {
      const ssize_t n = ::recv(fd, buffer + got, sizeof buffer - got, 0);
      if (n <= 0) {
        state.SkipWithError("no reply");
        break;
      }
      got += static_cast<std::size_t>(n);
    }
    micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - begin).count());
  }
  ::close(fd);
  for (int i : idle) ::close(i);
  if (micros.empty()) return;
  std::sort(micros.begin(), micros.end());
  state.counters["p50_us"] = micros[micros.size() / 2];
  state.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
}

void BM_ControlStatus(benchmark::State& state) {
  roundTrips(state, R"({"cmd":"status"})", 0);
}
BENCHMARK(BM_ControlStatus)->Iterations(5000)->UseRealTime();

void BM_ControlSet(benchmark::State& state) {
  roundTrips(state, R"({"cmd":"set","lat":48.5,"lon":-11.25,"speed_kmh":40,"heading":90})", 0);
}
BENCHMARK(BM_ControlSet)->Iterations(5000)->UseRealTime();

void BM_ControlSetWithIdleClients(benchmark::State& state) {
  roundTrips(state, R"({"cmd":"set","lat":48.5,"lon":-11.25,"speed_kmh":40,"heading":90})", 1000);
}
BENCHMARK(BM_ControlSetWithIdleClients)->Iterations(5000)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
