#pragma once

// A fix that travels: the motion models the simulation can run instead of the
// fixed arc-second steps (which need no motion object: a simulation without
// one steps). Positions are decimal degrees in the map convention (north and
// east positive) on the WGS-84 ellipsoid, kept exactly by the model itself; the
// engine hands the whole fix to the generator each tick.

#include <cstdint>
#include <optional>

namespace waymock::motion {

struct GeoPoint {
  double latitude = 0;   // -90..90, north positive
  double longitude = 0;  // -180..180, east positive
};

// Where the motion is and how it moves there.
struct MotionFix {
  GeoPoint position;
  std::optional<double> altitude;  // metres, where the route has them
  double speed = 0;                // metres per second over ground
  double course = 0;               // degrees true of the movement, 0 up to 360
  // The track's own date and time for the sentences, in seconds since
  // 1970-01-01 UTC, when the motion was asked to carry it.
  std::optional<double> time;
};

// How far the motion has come, for a progress line and a jump slider.
struct MotionProgress {
  // Metres: along the route from its first point, or travelled since the start.
  double done = 0;
  std::optional<double> total;        // the route's length; none without a route
  std::optional<double> secondsLeft;  // to the end of the present pass, when known
};

class Motion {
 public:
  virtual ~Motion() = default;

  // Back to the beginning, as Start and Stop do: a route to its first point,
  // speed and heading to `start` (the start position the generator was given).
  virtual void restart(const GeoPoint& start) = 0;
  // Moves on by `seconds` of running time (paused time is not given).
  virtual void advance(double seconds) = 0;
  virtual const MotionFix& fix() const = 0;
  virtual MotionProgress progress() const = 0;

  // Which burst the next fix is for, a number counted from the restart: a
  // motion with a random part (noise) draws it from the number alone, so the
  // same seed gives each burst the same error whatever fixes came between.
  // Without it each fix takes the next number.
  virtual void setBurstNumber(std::uint64_t /*number*/) {}

  // Puts the motion at `metres` along its route (clamped to the route);
  // false for a motion without a route.
  virtual bool jumpTo(double /*metres*/) { return false; }
  // Speed and heading while running (metres per second, degrees true 0 up to
  // 360): the travel goes on from where it is; false for a motion that does not
  // take them.
  virtual bool steer(double /*speed*/, double /*heading*/) { return false; }
};

}  // namespace waymock::motion
