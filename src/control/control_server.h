#pragma once

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
// Whatever clients do, the work and memory per client stay bounded: each
// service() reads at most a slice of each client's input; a line longer than
// `lineBytes` gets an error reply and the client is dropped; a client whose
// replies and stream pile up beyond `queueBytes` (it does not read) is
// dropped; clients beyond `maxClients`, or beyond what the process's limit of
// open files leaves, are closed at once.
class ControlServer {
 public:
  struct Limits {
    std::size_t lineBytes = 64 * 1024;
    std::size_t queueBytes = 1024 * 1024;
    std::size_t maxClients = 4096;
  };
  // Answers one request line (without its line end) with one reply line
  // (without its line end); sets `subscribe` when the client is to receive
  // the stream from now on.
  using Answer = std::function<std::string(std::string_view request, bool& subscribe)>;

  ControlServer(Answer answer, Limits limits);
  explicit ControlServer(Answer answer) : ControlServer(std::move(answer), Limits{}) {}
  // Closes every connection and removes the Unix socket it made.
  ~ControlServer();
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  // Start listening; both throw IoError as listenControlSocket and
  // listenControlTcp say.
  void listenUnix(const std::string& path);
  void listenTcp(const std::string& host, int port);
  // The TCP port listened on, 0 when none.
  int tcpPort() const;

  // Readable whenever service() has something to do.
  int fd() const;
  // Accepts, reads, answers and writes what is ready now, without waiting.
  void service();

  // Sends one line (a line end is added) to every subscribed client.
  void publish(std::string_view line);
  bool hasSubscribers() const;

  std::size_t clientCount() const;
  // Clients dropped for a line too long or a queue full, and refused at the cap.
  std::size_t droppedClients() const;
  std::size_t refusedClients() const;
  // Bytes held for all clients: unread input and unsent output.
  std::size_t heldBytes() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace waymock::control
