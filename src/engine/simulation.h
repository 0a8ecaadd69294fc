#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "engine/transmitter.h"
#include "support/datetime.h"

namespace waymock {

class UdpSender;
namespace generator {
class TTarnNMEAGenerator;
}
namespace motion {
class Motion;
}

// How the fix moves, in arc-seconds, and whether the satellites turn.
struct SimulationSettings {
  long double latitudeShortStep = 1;  // per transmitting tick, with its sign
  long double longitudeShortStep = 1;
  long double latitudeLongStep = 5;  // Forward and Back, by magnitude only
  long double longitudeLongStep = 5;
  bool moveSatellites = false;  // active satellites turn one degree per tick
};

// The transmission tick and the manual jumps of the simulator, the same for
// every front end. The front end owns the timer and calls tick() once per
// interval, never overlapping, and starts the next interval when tick()
// returns.
class Simulation : public Transmitter {
 public:
  // `udp` may be null (UDP off); both must outlive the simulation. The window
  // writes the port in the tick; the command line on a thread (Transmitter).
  explicit Simulation(generator::TTarnNMEAGenerator& generator, UdpSender* udp = nullptr,
                      PortWrite portWrite = PortWrite::inTick);
  ~Simulation() override;

  SimulationSettings settings;

  // One tick: nothing without an open port; else write the burst to the port,
  // send it to every network target (UDP errors ignored), and only when the
  // port took bytes:
  // report the burst, move the fix by the short steps and turn the satellites.
  // Returns the number of bytes the port took; with PortWrite::onThread 0,
  // and collectWrite() says it once the write has ended.
  // With an `epoch` (ticks on the second) the time fields carry it instead of
  // the clock's time at formatting, unless the generator's time is fixed
  // already (UseSystemDateTime off): the tick's measurement, not its
  // sending, is what a receiver stamps.
  int tick(std::optional<TDateTime> epoch = std::nullopt);

  // Jump by the long steps, away from (forward) or towards (back) the equator
  // and the prime meridian. Nothing while a motion runs.
  void forward();
  void back();

  // --- Motion (motion/motion.h) ---
  // A motion moves the fix instead of the short steps: before each tick's
  // burst it moves on by the running time since the last tick (the first
  // tick after a restart sends where it begins) and its whole fix goes into
  // the generator: position with hemispheres, speed, course, altitude where it
  // has one, and the track's date and time when it carries them (that time
  // wins over an `epoch`). With an epoch the fix is the one for that time,
  // however late the tick comes, and its random part (noise) is drawn for the
  // epoch, so a seed gives each burst the same error whatever ticks a load
  // skipped; without one, for the tick's turn since the restart. Null, the
  // default, keeps the steps; the satellites turn either way. A front end with
  // a motion disables Forward, Back and the position sliders, and changes speed
  // and heading through motion()->steer.
  void setMotion(std::unique_ptr<motion::Motion> motion);
  // Null without a motion. For progress(), jumpTo() and steer(); its fix()
  // is the one the last tick sent.
  motion::Motion* motion() const { return motion_.get(); }
  // Start and Stop: the motion goes back to its beginning (speed and heading
  // to the generator's present position, so call it after the fix was reset
  // to the start position) and its running time starts again.
  void restart();
  // Pause and its end: time in between does not move the motion.
  void pause();
  void resume();
  // The monotonic clock the running time is read from, and the real-time
  // clock (since 1970) that places a tick's epoch on it; tests set their own.
  std::function<std::chrono::steady_clock::time_point()> monotonicNow =
      &std::chrono::steady_clock::now;
  std::function<std::chrono::nanoseconds()> realtimeNow = [] {
    return std::chrono::system_clock::now().time_since_epoch();
  };

 private:
  void portTook() override;
  void turnSatellites();
  void startAgain();
  void moveMotion(std::optional<TDateTime> epoch);
  int transmitAt(std::optional<TDateTime> time);

  generator::TTarnNMEAGenerator& generator_;
  std::unique_ptr<motion::Motion> motion_;
  // The running time: the clock at the last tick (none before the first tick
  // after a restart, and while paused), and the time run before a pause.
  std::optional<std::chrono::steady_clock::time_point> lastTick_;
  std::chrono::steady_clock::duration carried_{};
  // What numbers the bursts since the restart for the motion's random part:
  // the first epoch, or the ticks counted without epochs.
  std::optional<TDateTime> firstEpoch_;
  std::uint64_t ticks_ = 0;
  bool started_ = false;
  bool paused_ = false;
};

}  // namespace waymock
