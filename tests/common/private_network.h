#pragma once

#include <functional>
#include <string>

namespace waymock::test {

// What work run in a private network gave back: its result, or why it could
// not run there (the test then skips with that reason).
struct PrivateRun {
  std::string result;
  std::string skipped;  // empty when the work ran
};

// Runs `work` in a child process with a network of its own, as `unshare
// --net` makes one: a loopback interface alone, brought up with multicast on,
// so that a broadcast or multicast reaches nothing but loopback. With
// `privateMounts` the child has mounts of its own too, so a file bound over a
// system file (a service's configuration) is seen there only. The child's
// children share both. Returns what `work` returned ("unexpected: " and the
// message for an exception). The child ends with _exit, as runAsNobody's.
PrivateRun runInPrivateNetwork(const std::function<std::string()>& work,
                               bool privateMounts = false);

// A UDP reader of one port on every IPv4 address, so that broadcasts reach
// it too, and a member of `group` on loopback when one is given; for a
// private network. It learns the hop limit (TTL) each datagram arrived with.
class LoopbackReader {
 public:
  explicit LoopbackReader(const char* group = nullptr);
  ~LoopbackReader();
  LoopbackReader(const LoopbackReader&) = delete;
  LoopbackReader& operator=(const LoopbackReader&) = delete;

  int port() const { return port_; }
  // "PAYLOAD ttl N" for the next datagram, or "nothing" within `waitMs`.
  std::string receive(int waitMs = 1000);

 private:
  int fd_;
  int port_ = 0;
};

}  // namespace waymock::test
