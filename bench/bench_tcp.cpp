// The TCP server's cost to the tick, on loopback:
//  - BM_TcpFanOut: one burst handed to a server with 100 reading clients. The
//    time is what the tick pays (send()); the counter delivered_us is how long
//    until all 100 clients have read the whole burst. Goal: tick under 100 us.
//  - BM_TcpStalledClients: 100 clients that never read while thousands of
//    bursts go out. The counters show the bytes the server holds for them and
//    the growth of the process's peak memory, which must stay bounded (about
//    64 KiB per client at most, the bursts being shared).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/tcp_server.h"

namespace {

using waymock::TcpServer;
using Clock = std::chrono::steady_clock;

constexpr int kClients = 100;

// A burst of the usual size: 12 satellites, all sentences (about 700 bytes).
std::shared_ptr<const std::string> burst() {
  std::string text;
  while (text.size() < 700) text += "$GPGSV,3,1,12,01,45,025,40,02,45,050,40,03,45,075,40*7A\r\n";
  return std::make_shared<const std::string>(text);
}

int connectTo(int port, int receiveBuffer) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  if (receiveBuffer > 0) {
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    throw std::runtime_error("connect failed");
  }
  return fd;
}

void waitForClients(const TcpServer& server, std::size_t count) {
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (server.clientCount() < count) {
    if (Clock::now() > deadline) throw std::runtime_error("clients did not connect");
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

long peakKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Reads every client on a thread of its own and counts the bytes.
class Readers {
 public:
  explicit Readers(int port) {
    for (int i = 0; i < kClients; ++i) fds_.push_back(connectTo(port, 0));
    thread_ = std::thread([this] { run(); });
  }
  ~Readers() {
    stop_ = true;
    thread_.join();
    for (const int fd : fds_) ::close(fd);
  }
  long long bytes() const { return bytes_.load(); }

 private:
  void run() {
    std::vector<pollfd> polls;
    for (const int fd : fds_) polls.push_back({fd, POLLIN, 0});
    char buffer[65536];
    while (!stop_) {
      if (::poll(polls.data(), polls.size(), 10) <= 0) continue;
      for (const pollfd& p : polls) {
        if ((p.revents & POLLIN) == 0) continue;
        const ssize_t n = ::recv(p.fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) bytes_ += n;
      }
    }
  }

  std::vector<int> fds_;
  std::atomic<long long> bytes_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

void BM_TcpFanOut(benchmark::State& state) {
  TcpServer server("127.0.0.1", 0);
  Readers readers(server.port());
  waitForClients(server, kClients);
  const auto payload = burst();
  long long expected = 0;
  double delivered = 0;
  std::vector<double> ticks;
  for (auto _ : state) {
    const auto start = Clock::now();
    server.send(payload);
    const auto handed = Clock::now();
    state.SetIterationTime(std::chrono::duration<double>(handed - start).count());
    ticks.push_back(std::chrono::duration<double, std::micro>(handed - start).count());
    expected += static_cast<long long>(payload->size()) * kClients;
    while (readers.bytes() < expected) std::this_thread::sleep_for(std::chrono::microseconds(20));
    delivered += std::chrono::duration<double, std::micro>(Clock::now() - start).count();
  }
  state.counters["delivered_us"] =
      benchmark::Counter(delivered / static_cast<double>(state.iterations()));
  // The machine is shared: the median shows the usual tick, the 99th
  // percentile what preemption adds now and then.
  std::sort(ticks.begin(), ticks.end());
  state.counters["tick_median_us"] = benchmark::Counter(ticks[ticks.size() / 2]);
  state.counters["tick_p99_us"] = benchmark::Counter(ticks[ticks.size() * 99 / 100]);
}
BENCHMARK(BM_TcpFanOut)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(2000);

void BM_TcpStalledClients(benchmark::State& state) {
  for (auto _ : state) {
    const long before = peakKb();
    TcpServer server("127.0.0.1", 0);
    std::vector<int> fds;
    for (int i = 0; i < kClients; ++i) fds.push_back(connectTo(server.port(), 4096));
    waitForClients(server, kClients);
    const auto payload = burst();
    std::size_t queued = 0;
    for (int i = 0; i < 5000; ++i) {
      // A fresh burst each time, as each tick builds its own.
      server.send(std::make_shared<const std::string>(*payload));
      if (i % 50 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      queued = std::max(queued, server.queuedBytes());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    queued = std::max(queued, server.queuedBytes());
    state.counters["queued_KiB_per_client"] =
        benchmark::Counter(static_cast<double>(queued) / 1024 / kClients);
    state.counters["peak_growth_KiB"] = benchmark::Counter(static_cast<double>(peakKb() - before));
    state.counters["clients"] = benchmark::Counter(static_cast<double>(server.clientCount()));
    for (const int fd : fds) ::close(fd);
  }
}
BENCHMARK(BM_TcpStalledClients)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
