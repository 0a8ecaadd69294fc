// A serial device that takes nothing (a pseudo-terminal whose output is
// suspended, as a device holding the line would) and a TCP client, with the
// simulator ticking every 0.2 s and 32 satellites (a burst of about 830
// bytes, so each write waits out 100 ms + 3 ms per byte, about 2.6 s).
//
// Both orders of the tick run for the same time, driven the way
// `waymock-cli run` drives it (tick, then wait for the interval while
// collecting the port's answer):
//  - window_order (PortWrite::inTick): the port's write first;
//  - command_line_order (PortWrite::onThread): the network first, the port's
//    write on a thread of its own.
// Counters: the bursts the client got, and the gaps between them (mean,
// largest). Goal for the command line: every burst, gaps within 1.5 times the
// interval.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "engine/simulation.h"
#include "generator/nmea_generator.h"
#include "platform/clock.h"
#include "platform/serial.h"
#include "platform/tcp_server.h"

namespace {

using waymock::Simulation;
using waymock::TcpServer;
using waymock::Transmitter;
using waymock::generator::TNMEACommands;
using waymock::generator::TTarnNMEAGenerator;
using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kInterval{200};
constexpr std::chrono::seconds kRunFor{10};

// Reads one TCP connection on a thread of its own and notes when each burst
// began to arrive.
class TimedClient {
 public:
  explicit TimedClient(int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (fd_ < 0 || ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address)) {
      throw std::runtime_error("connect failed");
    }
    thread_ = std::thread([this] { run(); });
  }
  ~TimedClient() {
    stop_ = true;
    thread_.join();
    ::close(fd_);
  }
  std::vector<Clock::time_point> arrivals() {
    std::lock_guard lock(mutex_);
    return arrivals_;
  }

 private:
  void run() {
    std::string tail;
    char buffer[65536];
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 10) <= 0) continue;
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
      if (n <= 0) continue;
      const auto now = Clock::now();
      tail.append(buffer, static_cast<std::size_t>(n));
      for (std::size_t at; (at = tail.find("$GPZDA")) != std::string::npos;) {
        std::lock_guard lock(mutex_);
        arrivals_.push_back(now);
        tail.erase(0, at + 6);
      }
      if (tail.size() > 8) tail.erase(0, tail.size() - 8);
    }
  }

  int fd_ = -1;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<Clock::time_point> arrivals_;
  std::thread thread_;
};

void BM_StalledSerialTcpGaps(benchmark::State& state, Transmitter::PortWrite order) {
  int master = -1, slave = -1;
  char name[256] = {};
  if (openpty(&master, &slave, name, nullptr, nullptr) != 0 || tcflow(slave, TCOOFF) != 0) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  TTarnNMEAGenerator generator(waymock::systemClock(), waymock::systemSerialPorts());
  generator.SetCommands(TNMEACommands::all());
  for (std::uint16_t prn = 1; prn <= 32; ++prn) {
    generator.SetSatellite(prn, true, 45, static_cast<std::uint16_t>(prn * 11), 40);
  }
  TcpServer server("127.0.0.1", 0);
  std::vector<Clock::duration> gaps;
  std::size_t bursts = 0;
  for (auto _ : state) {
    if (!generator.OpenPort(name, 4800)) {
      state.SkipWithError("cannot open the pseudo-terminal");
      break;
    }
    Simulation simulation(generator, nullptr, order);
    simulation.addTcp(server);
    TimedClient client(server.port());
    while (server.clientCount() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const auto end = Clock::now() + kRunFor;
    while (Clock::now() < end) {
      simulation.tick();
      const auto next = Clock::now() + kInterval;
      for (auto now = Clock::now(); now < next; now = Clock::now()) {
        simulation.collectWrite();
        pollfd ended{simulation.writeEndedFd(), POLLIN, 0};
        ::poll(&ended, 1,
               static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(next - now).count()));
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto arrivals = client.arrivals();
    bursts = arrivals.size();
    for (std::size_t i = 1; i < arrivals.size(); ++i) gaps.push_back(arrivals[i] - arrivals[i - 1]);
    simulation.waitForWrite();
    generator.ClosePort();
  }
  ::close(master);
  ::close(slave);
  const auto ms = [](Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
  };
  Clock::duration sum{};
  for (const auto g : gaps) sum += g;
  state.counters["bursts"] = static_cast<double>(bursts);
  state.counters["bursts_expected"] = static_cast<double>(kRunFor / kInterval);
  state.counters["gap_mean_ms"] = gaps.empty() ? 0 : ms(sum) / static_cast<double>(gaps.size());
  state.counters["gap_max_ms"] = gaps.empty() ? 0 : ms(*std::max_element(gaps.begin(), gaps.end()));
}
BENCHMARK_CAPTURE(BM_StalledSerialTcpGaps, window_order, Transmitter::PortWrite::inTick)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_StalledSerialTcpGaps, command_line_order, Transmitter::PortWrite::onThread)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
