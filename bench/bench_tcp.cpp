// The TCP server's cost to the tick, on loopback:
//  - BM_TcpFanOut: one burst handed to a server with 100 reading clients. The
//    time is what the tick pays (send()); the counter delivered_us is how long
//    until all 100 clients have read the whole burst. Goal: tick under 100 us.
//  - BM_TcpStalledClients: 100 clients that never read while thousands of
//    bursts go out. The counters show the bytes the server holds for them and
//    the growth of the process's peak memory, which must stay bounded (about
//    64 KiB per client at most, the bursts being shared).
//  - BM_TcpManyIdleClients: 4,000 clients that connect and never read, then
//    one that reads, with a burst every 0.1 s for 5 s. Counters: how long the
//    reading client waited for its first burst, and its gaps between bursts.
//    Goal: the largest gap within twice the interval. The benchmark raises
//    its own limit of open descriptors to fit 8,000 sockets.
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

#include "bench_support.h"
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
    const long before = waymock::bench::peakResidentKb();
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
    state.counters["peak_growth_KiB"] =
        benchmark::Counter(static_cast<double>(waymock::bench::peakResidentKb() - before));
    state.counters["clients"] = benchmark::Counter(static_cast<double>(server.clientCount()));
    for (const int fd : fds) ::close(fd);
  }
}
BENCHMARK(BM_TcpStalledClients)->Unit(benchmark::kMillisecond)->Iterations(1);

// A burst that begins with a marker line, so a reader can tell where each
// one starts.
std::shared_ptr<const std::string> markedBurst() {
  return std::make_shared<const std::string>("$GPZDA\r\n" + *burst());
}

void BM_TcpManyIdleClients(benchmark::State& state) {
  constexpr int kIdle = 4000;
  constexpr auto kInterval = std::chrono::milliseconds(100);
  rlimit limit{};
  getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = limit.rlim_max;
  if (setrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur < 2 * kIdle + 100) {
    state.SkipWithError("the descriptor limit cannot be raised to 8,100");
    return;
  }
  const auto ms = [](Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
  };
  for (auto _ : state) {
    TcpServer server("127.0.0.1", 0);
    std::vector<int> idle;
    for (int i = 0; i < kIdle; ++i) idle.push_back(connectTo(server.port(), 0));
    waitForClients(server, kIdle);
    const auto payload = markedBurst();
    std::atomic<bool> stop{false};
    std::vector<Clock::time_point> arrivals;
    const auto connected = Clock::now();
    const int reader = connectTo(server.port(), 0);
    std::thread reading([&] {
      char buffer[65536];
      std::string tail;
      while (!stop) {
        pollfd p{reader, POLLIN, 0};
        if (::poll(&p, 1, 10) <= 0) continue;
        const ssize_t n = ::recv(reader, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n <= 0) continue;
        const auto now = Clock::now();
        tail.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t at; (at = tail.find("$GPZDA")) != std::string::npos;) {
          arrivals.push_back(now);
          tail.erase(0, at + 6);
        }
        if (tail.size() > 8) tail.erase(0, tail.size() - 8);
      }
    });
    for (auto next = Clock::now(); next < connected + std::chrono::seconds(5); next += kInterval) {
      std::this_thread::sleep_until(next);
      server.send(std::make_shared<const std::string>(*payload));
    }
    std::this_thread::sleep_for(4 * kInterval);
    stop = true;
    reading.join();
    Clock::duration largest{};
    for (std::size_t i = 1; i < arrivals.size(); ++i) {
      largest = std::max(largest, arrivals[i] - arrivals[i - 1]);
    }
    state.counters["clients"] = static_cast<double>(server.clientCount());
    state.counters["bursts_read"] = static_cast<double>(arrivals.size());
    state.counters["first_burst_ms"] = arrivals.empty() ? 0 : ms(arrivals.front() - connected);
    state.counters["gap_max_ms"] = ms(largest);
    ::close(reader);
    for (const int fd : idle) ::close(fd);
  }
}
BENCHMARK(BM_TcpManyIdleClients)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
