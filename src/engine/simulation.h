#pragma once

#include <optional>

#include "engine/transmitter.h"
#include "support/datetime.h"

namespace waymock {

class UdpSender;
namespace generator {
class TTarnNMEAGenerator;
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
  // and the prime meridian.
  void forward();
  void back();

 private:
  void portTook() override;
  void turnSatellites();

  generator::TTarnNMEAGenerator& generator_;
};

}  // namespace waymock
