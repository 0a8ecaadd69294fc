#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace waymock {

class BurstFilter;
class SerialWriter;
class TcpServer;
class UdpSender;

namespace generator {
class TTarnNMEAGenerator;
}

// The output steps that the simulator tick and a replayed fix share: the burst
// to the port, a copy to each network target whatever the port did, and the
// burst reported to the front end only when the port took bytes.
//
// Network targets (UDP senders, TCP servers) get every burst the tick builds,
// even one a stalled or vanished serial device did not take: a network client
// should not go dark because of a serial cable, and a TCP client of a
// simulator whose virtual port nobody reads still sees every burst.
//
// Where the port write happens is the front end's choice (PortWrite):
//  - inTick, the window's order: the port's write first, then the network
//    targets, then, when the port took bytes, the report and what follows
//    it; a stalled device holds up the whole tick, up to 100 ms plus 3 ms per
//    byte;
//  - onThread, for the command line: the network targets get the burst at
//    once, and a writer thread of its own takes it to the port when it is not
//    still busy with an earlier one (else the port misses this burst). The
//    report and what follows come when the front end collects the write's
//    result (collectWrite), so they still follow the port.
class Transmitter {
 public:
  enum class PortWrite { inTick, onThread };

  virtual ~Transmitter();
  Transmitter(const Transmitter&) = delete;
  Transmitter& operator=(const Transmitter&) = delete;

  // With each burst the port took: the front end shows it (output log, labels,
  // sliders).
  std::function<void(const std::string& burst)> onTransmitted;
  // With each burst a filter held back whole (a dropout): nothing was sent,
  // but the transmission counts as made.
  std::function<void()> onHeldBack;
  // UDP failures never stop a transmission; a front end may note them here,
  // per target.
  std::function<void(const UdpSender& target, const std::exception& error)> onUdpError;

  // The UDP target a front end switches on and off; null when off.
  void setUdp(UdpSender* udp) { udp_ = udp; }
  UdpSender* udp() const { return udp_; }
  // Further targets, each receiving the same burst as the UDP target above.
  // They must outlive the transmitter.
  void addUdp(UdpSender& udp) { moreUdp_.push_back(&udp); }
  void addTcp(TcpServer& tcp) { tcp_.push_back(&tcp); }
  // Changes each burst before any target gets it; null for none. With a
  // filter the burst is built once per transmission and every target and the
  // report get that same text. It must outlive the transmitter.
  void setBurstFilter(BurstFilter* filter) { filter_ = filter; }
  // Drops the further targets (before they end).
  void clearAddedTargets() {
    moreUdp_.clear();
    tcp_.clear();
  }

  // onThread: applies the result of a port write that has ended (the report
  // and what follows a burst the port took) and returns the bytes the port
  // took; nothing while the write runs or when none has ended since the last
  // call. Always nothing for inTick.
  std::optional<int> collectWrite();
  // onThread: readable while an ended write waits for collectWrite (for
  // poll); -1 before the first write and for inTick.
  int writeEndedFd() const;
  // Returns once no port write runs; the port may then be closed.
  void waitForWrite();

 protected:
  // `udp` may be null (UDP off); it must outlive the transmitter.
  Transmitter(UdpSender* udp, PortWrite portWrite);

  // Sends one burst, built once, to every network target and to the
  // generator's port, in the order of PortWrite. inTick: returns the bytes
  // the port took, after reporting the burst (built anew for that, so only
  // the time fields can differ) and calling portTook when there were any.
  // onThread: returns 0; collectWrite does the rest.
  int transmit(generator::TTarnNMEAGenerator& generator);
  // What follows a burst the port took, after it was reported.
  virtual void portTook() {}

 private:
  int transmitFiltered(generator::TTarnNMEAGenerator& generator);
  void sendToNetwork(const std::shared_ptr<const std::string>& burst);
  void sendUdp(UdpSender& udp, const std::string& burst);

  UdpSender* udp_;
  BurstFilter* filter_ = nullptr;
  PortWrite portWrite_;
  std::vector<UdpSender*> moreUdp_;
  std::vector<TcpServer*> tcp_;
  std::unique_ptr<SerialWriter> writer_;
};

}  // namespace waymock
