#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace waymock::control {

// Serves the control channel: JSON lines from any number of clients on a Unix
// socket and, when asked, on TCP. It never blocks and has no thread: the
// front end watches fd() in its own event loop (poll, QSocketNotifier) and
// calls service() when it is readable, so requests are answered between
// ticks and act on the simulator from the thread that owns it.
//
// Only the simulator's user steers it. A Unix client must run as that user
// or root (its socket is private as well); a TCP client, which any local user
// can reach, must first send {"cmd":"hello","token":"..."} with the token the
// server wrote to a file only its user can read, and anything else is
// answered once with an error and closed.
//
// Whatever clients do, the work and memory per client stay bounded: each
// service() reads at most a slice of each client's input; a line longer than
// `lineBytes` gets an error reply and the client is dropped; a client whose
// replies and stream pile up beyond `queueBytes` (it does not read) is
// dropped; a client that sends nothing for `idleLimit` is closed, unless it
// is subscribed or waits for a reply. The Unix socket and TCP have caps of
// their own, and TCP never takes the last `unixReserve` descriptors the
// process may open, so the owner's own socket still answers when TCP is full.
// At a cap a new client takes the place of the one idle the longest (on TCP,
// of one that has not said hello yet), else it is closed at once.
class ControlServer {
 public:
  struct Limits {
    std::size_t lineBytes = 64 * 1024;
    std::size_t queueBytes = 1024 * 1024;
    std::size_t maxUnixClients = 1024;
    std::size_t maxTcpClients = 1024;
    std::size_t unixReserve = 64;
    std::chrono::milliseconds idleLimit{60'000};  // 0: never
  };
  // Sends the reply to one request (a line end is added). Call it once, at
  // once or later from the thread that calls service(); it does nothing when
  // the client or the server has gone meanwhile.
  using Reply = std::function<void(std::string_view line)>;
  // Answers one request line (without its line end) through `reply`; until it
  // is called the client's further requests wait. Sets `subscribe` when the
  // client is to receive the stream from now on.
  using Answer = std::function<void(std::string_view request, const Reply& reply, bool& subscribe)>;

  ControlServer(Answer answer, Limits limits);
  explicit ControlServer(Answer answer) : ControlServer(std::move(answer), Limits{}) {}
  // Closes every connection and removes the Unix socket and the token file it
  // made.
  ~ControlServer();
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  // Start listening; both throw IoError as listenControlSocket and
  // listenControlTcp say. listenTcp also writes the token file
  // (defaultControlTokenPath for the port listened on).
  void listenUnix(const std::string& path);
  void listenTcp(const std::string& host, int port, bool anyAddress = false);
  // The TCP port listened on, 0 when none; the token's file, empty when none.
  int tcpPort() const;
  const std::string& tokenFile() const;

  // Readable whenever service() has something to do.
  int fd() const;
  // Accepts, reads, answers and writes what is ready now, without waiting.
  void service();
  // service() also calls `ready` whenever `fd` (say, a worker's) is readable.
  void watch(int fd, std::function<void()> ready);

  // Sends one line (a line end is added) to every subscribed client.
  void publish(std::string_view line);
  bool hasSubscribers() const;

  std::size_t clientCount() const;
  // Clients dropped for a line too long or a queue full, and refused or
  // replaced at a cap, of another user, or without the token.
  std::size_t droppedClients() const;
  std::size_t refusedClients() const;
  // Bytes held for all clients: unread input and unsent output.
  std::size_t heldBytes() const;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace waymock::control
