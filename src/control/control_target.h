#pragma once

#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace waymock::motion {
class Motion;
}

namespace waymock::control {

// A GPS satellite as a client sets it.
struct SatelliteSetting {
  int prn = 0;  // 1 to 32
  bool active = true;
  int elevation = 0;  // 0 to 90
  int azimuth = 0;    // 0 to 359
  int snr = 0;        // 0 to 99
};

// What a `set` changes; the values are checked already. Positions are signed
// decimal degrees as on a map: north and east positive.
struct FixChange {
  std::optional<double> latitude;
  std::optional<double> longitude;
  std::optional<double> altitude;  // metres
  std::optional<double> speedKmh;
  std::optional<double> speedKnots;  // in place of speedKmh
  std::optional<double> heading;
  std::optional<double> pdop;
  std::optional<double> hdop;
  std::optional<double> vdop;
  std::optional<std::vector<SatelliteSetting>> satellites;  // the whole table
};

// How the fix is to travel from now on: by speed and heading (steering a
// motion that takes them, else starting one from the present position), along
// a route file at a speed, or by the fixed steps again.
struct MoveRequest {
  std::optional<double> speedKmh;
  std::optional<double> heading;     // degrees true, 0 up to 360
  std::optional<std::string> route;  // a route or track file
  std::string end = "stop";          // at a route's end: stop, loop or reverse
  bool trackTime = false;            // the route at its track's own times, not at speedKmh
  double rate = 1;                   // with trackTime: how many times faster
  bool steps = false;
};

// The simulator as the control channel drives it. Each front end implements
// it the way its own user would act: the command line on its generator, the
// window through its fields and buttons. Calls come from the front end's own
// thread (from ControlServer::service).
class ControlTarget {
 public:
  // Says once that a request was done, or why it was not.
  using Done = std::function<void(const std::optional<std::string>& error)>;

  virtual ~ControlTarget() = default;

  // Throws Error, changing nothing, for what the motion that runs sets itself
  // (see applyFixChange).
  virtual void change(const FixChange& change) = 0;
  // `route` is the motion of a request with a route, loaded already
  // (loadRouteMotion), null otherwise. Throws Error, changing nothing, for a
  // request that cannot be followed.
  virtual void move(const MoveRequest& request, std::unique_ptr<motion::Motion> route) = 0;
  // Opens the port and starts transmitting from the start position, and calls
  // `done` once the run is under way, or with the reason, having changed
  // nothing, when the port is not usable or what the run needs cannot be
  // read: never a question to the user. A front end that first loads a route
  // or a scenario does so off the tick's thread and calls `done` later.
  virtual void start(Done done) = 0;
  // Stops transmitting, closes the port, the fix back at the start position.
  virtual void stop() = 0;
  virtual void pause() = 0;
  virtual void resume() = 0;
  // "fix" (lat, lon, alt, speed_kmh, heading, pdop, hdop, vdop, satellites),
  // "state" (running, paused, stopped), "targets" and "bursts" sent.
  virtual nlohmann::json status() const = 0;
};

}  // namespace waymock::control
