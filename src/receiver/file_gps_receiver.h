#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "receiver/custom_gps_receiver.h"
#include "receiver/log_lines.h"

namespace waymock::receiver {

// The time source of the replay's waits, so that tests can run a replay with
// long delays without sleeping.
class ReplayClock {
 public:
  using time_point = std::chrono::steady_clock::time_point;
  virtual ~ReplayClock() = default;
  virtual time_point now() = 0;
  virtual void sleepFor(std::chrono::nanoseconds duration) = 0;
};

// The steady clock and a real sleep.
std::shared_ptr<ReplayClock> systemReplayClock();

// Whether `line` begins a burst of a recorded log: it holds "$GPRMC" (in
// modern mode, "$GPRMC" or "$GNRMC").
bool beginsBurst(std::string_view line, bool modern);

// Where a replay stands after a step, and what its driver should do next.
struct ReplayStatus {
  enum class State {
    Idle,      // no replay runs: nothing to do
    Waiting,   // call step() again at `due` (at once when `due` has passed)
    Paused,    // call step() again after the host has had a chance to Resume or Close
    Finished,  // the replay ended in this step; OnDisconnect has fired
  };
  State state = State::Idle;
  ReplayClock::time_point due{};
};

// Replays a recorded NMEA log through the receiver: the lines of the file are
// grouped into bursts that each begin with a line containing "$GPRMC" (or, in
// modern mode, "$GNRMC"), every burst but the last is handed to ReceiveData,
// and each delivery is followed by a wait of Delay milliseconds. The first delivery holds the lines
// before the first RMC line (it is empty when the file begins with one).
//
// Two ways to drive it:
//  - Open() blocks until the replay ends, calling processEvents between lines
//    and during waits, so handlers installed there can Pause, Resume, Close or
//    change FileName (the command-line tool checks its signals there);
//  - start() and then step() from a timer, never blocking, for a host with its
//    own event loop.
//
// Memory stays bounded whatever the file: a line keeps at most kMaxLine bytes
// and a burst at most kMaxBurst bytes; what goes beyond is dropped (no real
// log comes near either, and a sentence that long could not pass the framing).
//
// The receiver must not be destroyed from inside its own handlers or the event
// hook.
class TTarnFileGPSReceiver : public TTarnCustomGPSReceiver {
 public:
  using TConnectEvent =
      std::function<void(TTarnFileGPSReceiver& Sender, const std::string& FileName)>;
  // The wait after a delivered burst, from that burst and the $GPRMC line
  // that begins the next one; nothing means Delay.
  using WaitRule = std::function<std::optional<std::chrono::nanoseconds>(
      std::string_view burst, std::string_view nextLine)>;

  static constexpr std::size_t kMaxLine = LogLineReader::kMaxLine;
  static constexpr std::size_t kMaxBurst = 1u << 20;
  // How long Open sleeps at most between two calls of processEvents, while
  // waiting out a Delay or while paused.
  static constexpr std::chrono::milliseconds kPollInterval{15};
  // The shortest wait between two looped passes that delivered nothing.
  static constexpr std::chrono::milliseconds kEmptyPassWait{100};
  // A step that delivers nothing returns after this many lines, or after
  // reading this many bytes (even inside one line), so a timer driven host
  // stays responsive on a log without RMC lines or without line ends.
  static constexpr std::size_t kLinesPerStep = 4096;
  static constexpr std::size_t kBytesPerStep = 1u << 20;

  explicit TTarnFileGPSReceiver(std::shared_ptr<const Clock> clock = systemClock(),
                                std::shared_ptr<ReplayClock> replayClock = systemReplayClock());
  ~TTarnFileGPSReceiver() override;

  const std::string& FileName() const { return fileName_; }
  // Taken only when it differs from the current name and names a regular
  // file (anything else, a FIFO or a terminal, could hold a read for ever). During a replay the
  // current one ends (OnDisconnect with the old name) and the new file is replayed from its start
  // (OnConnect).
  void SetFileName(const std::string& value);
  // Milliseconds waited after each delivered burst; a negative value waits 0.
  int Delay() const { return delay_; }
  void SetDelay(int value) { delay_ = value; }
  // Replaces Delay where it gives a wait (replay_pacing.h has the log's own
  // pace); empty: Delay after every burst.
  WaitRule waitRule;
  // At the end of the file the replay goes on from its start, as though the
  // file followed itself: the last burst is delivered too, followed by Delay
  // (not the wait rule), and then the first again. Each pass opens the file
  // anew, so a rewritten log is seen; only when the process is out of
  // descriptors is the one it holds read again instead. A pass that delivers
  // nothing (the file empty or gone for a moment) is followed by Delay, at
  // least kEmptyPassWait, and the replay goes on until Close.
  bool loop() const { return loop_; }
  void setLoop(bool value) { loop_ = value; }
  bool Active() const { return active_; }
  bool Paused() const { return paused_; }

  // Replays FileName and returns when the replay has ended. Nothing happens
  // when the file is not a regular file (or does not exist) or a replay is
  // already running. An exception
  // from a handler or the event hook leaves at once: the file is closed,
  // OnDisconnect does not fire and Active stays true until Close.
  void Open();
  // Asks the replay to end; it does at its next step and fires OnDisconnect.
  // Close during the wait after a burst cuts it short; a Close from the
  // OnReceive handler of that burst lets it run.
  void Close();
  void Pause() { paused_ = true; }
  void Resume() { paused_ = false; }

  // The non-blocking form of Open: opens FileName and fires OnConnect.
  // Returns false (and does nothing) when the file is not a regular file or a
  // replay is already running. Throws IoError when the file cannot be read.
  bool start();
  // Reads up to the next delivery and delivers it, or ends the replay; never
  // waits, and returns after kLinesPerStep lines or kBytesPerStep bytes.
  // Calls processEvents between lines and between the chunks of a long line.
  ReplayStatus step();
  // A replay has started and not yet ended or been abandoned by an error.
  bool replaying() const { return reader_ != nullptr; }
  // Bursts handed to ReceiveData by the current or last replay.
  std::size_t deliveredBursts() const { return delivered_; }
  // Times a looped replay reached the end of the file and started again.
  std::size_t loopPasses() const { return loopPasses_; }
  // Bursts delivered in the current pass over the file, as though it had
  // been read from its start: after a jump, counted from the burst jumped to.
  // In a loop's later passes the first one holds the last burst of the pass
  // before it, so each pass delivers as many as the first.
  std::size_t passBursts() const { return passDelivered_; }

  // Goes on from burst `burst` of the file (0 is the lines before its first
  // RMC line; burst n begins with its nth RMC line, which lies `offset` bytes
  // into the file): the burst being read is dropped, a wait in progress ends,
  // and the lines up to the next RMC line are skipped, so an offset that is
  // no longer one (the file rewritten) still lands on a burst. Counts the
  // bursts before it as delivered in this pass. False when no replay runs.
  bool jumpTo(std::size_t burst, std::uint64_t offset);

  TConnectEvent OnConnect;
  TConnectEvent OnDisconnect;
  // Lets the host handle pending events; called between lines, and by Open
  // while waiting and while paused.
  std::function<void()> processEvents;

 private:
  void finish();
  void abandon() noexcept;
  // Opens FileName again for the next pass of a loop; false when there is no
  // regular file to read at the moment. Throws IoError when it cannot be read.
  bool restartFile();
  void deliver(std::string_view line);

  std::shared_ptr<ReplayClock> replayClock_;
  std::string fileName_;
  int delay_ = 1000;
  bool loop_ = false;
  bool wrapped_ = false;           // the burst being read began before the file restarted
  bool seeking_ = false;           // after a jump: lines up to an RMC line are dropped
  std::size_t passDelivered_ = 0;  // deliveries since the file (re)started
  bool active_ = false;
  bool paused_ = false;

  std::unique_ptr<LogLineReader> reader_;
  std::string burst_;
  std::string delivering_;  // the burst being delivered; kept for its capacity
  ReplayClock::time_point due_{};
  bool waitAfterClose_ = false;  // Close came from OnReceive: the wait still runs
  bool stepping_ = false;        // inside step()
  bool looping_ = false;         // inside the loop of Open()
  std::size_t delivered_ = 0;
  std::size_t loopPasses_ = 0;
  // Counts replays started and jumps, so a delivery notices that a handler
  // switched files or jumped.
  unsigned generation_ = 0;
};

}  // namespace waymock::receiver
