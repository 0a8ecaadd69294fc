#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace waymock {

// Serves each burst over TCP to every connected client, the way chart plotters
// and gpsd (tcp://host:port) read a receiver on the network: a client receives
// whole bursts from the first one sent after it connected, and whatever it
// sends is read and discarded. A client that closes its sending side (a
// half-close) goes on receiving.
//
// The sockets are served by a thread of the server's own, so send() only hands
// the burst over and never waits for a client. A client that reads too slowly
// has a bounded queue and loses its oldest whole bursts (never the one being
// written, so the stream stays whole sentences); a client whose queue has not
// moved for `stallLimit` is disconnected.
//
// The clients are capped: at most `maxClients`, and never so many that the
// process comes within kDescriptorReserve descriptors of its limit (ulimit
// -n), which its log files, serial devices and sockets still need. A client
// beyond the cap is accepted and closed at once.
class TcpServer {
 public:
  struct Limits {
    std::size_t queueBytes = 64 * 1024;  // per client
    std::chrono::milliseconds stallLimit{10000};
    std::size_t maxClients = 4096;
  };
  // Descriptors left to the rest of the process.
  static constexpr std::size_t kDescriptorReserve = 16;

  // Why clients were refused, the first time one was.
  enum class Refusal { none, maxClients, descriptors };

  // Listens at once on `host` (a dotted IPv4 address or a name; 127.0.0.1
  // keeps the stream on this machine, 0.0.0.0 offers it on every interface)
  // and `port` (0: the system picks one, see port()). Throws IoError
  // "Cannot listen on HOST:PORT." with the system's words as its system text
  // when the port is in use or may not be used, and as listenAddress() says
  // for an address no client could reach.
  TcpServer(const std::string& host, int port, Limits limits);
  TcpServer(const std::string& host, int port) : TcpServer(host, port, Limits{}) {}
  // Serves the clients of a stream socket listening elsewhere (a Unix
  // socket), which it takes over; host() is then `name` and port() 0.
  TcpServer(int listener, std::string name, Limits limits);
  // Disconnects every client; what their queues held is dropped.
  ~TcpServer();
  TcpServer(const TcpServer&) = delete;
  TcpServer& operator=(const TcpServer&) = delete;

  const std::string& host() const;
  // The port listened on.
  int port() const;

  // Queues the burst for every client connected now. Never blocks on a client.
  void send(std::string_view burst);
  // As above, for a burst shared with other servers: no copy is made.
  void send(std::shared_ptr<const std::string> burst);

  // Connected clients, and the bytes queued for them summed over all.
  std::size_t clientCount() const;
  std::size_t queuedBytes() const;
  // Clients disconnected because they stayed stalled.
  std::size_t stalledDisconnects() const;
  // Clients closed at once because the cap was reached, and why the first was.
  std::size_t refusedClients() const;
  Refusal firstRefusal() const;
  // The cap now: the smaller of maxClients and the descriptor limit less the
  // reserve.
  std::size_t clientCap() const;
  // The process's limit of open descriptors (ulimit -n).
  static std::size_t descriptorLimit();

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace waymock
