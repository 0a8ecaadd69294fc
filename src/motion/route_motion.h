#pragma once

#include <GeographicLib/GeodesicLine.hpp>
#include <cstddef>
#include <limits>
#include <vector>

#include "motion/motion.h"
#include "motion/route.h"

namespace waymock::motion {

// What happens at the end of the route: the fix stays there, starts again at
// the first point, or turns back (and at the first point turns again).
enum class RouteEnd { stop, loop, reverse };

// How fast the route is followed: at a set speed, or at the track's own
// times (a recorded drive replays with its real speeds and stops), `rate`
// times faster than recorded.
struct RoutePace {
  bool trackTime = false;
  double speed = 0;  // metres per second, without track time
  double rate = 1;   // with track time
};

// Follows a route's polyline, each segment along the geodesic between its
// points (as cumulativeDistances measures it). The position is kept as the
// distance (or, with track time, the time) since the first point, and the
// segment it falls in is found from the last one, so a step costs the same
// on a route of any length.
class RouteMotion final : public Motion {
 public:
  // The route must have at least one point; with track time, times on every
  // point that advance from the first to the last (makeMotion checks).
  // `carryTrackTime`: the fix carries the track's date and time, starting at
  // the first point's and running with the motion (at the rate, with track
  // time), so on a first pass at track time each point comes at its own time.
  RouteMotion(Route route, RoutePace pace, RouteEnd end, bool carryTrackTime);
  ~RouteMotion() override;

  void restart(const GeoPoint& start) override;
  void advance(double seconds) override;
  const MotionFix& fix() const override { return fix_; }
  // Metres along the route from its first point, its length, and the time to
  // the end the fix is heading for (the first point when it turned back).
  MotionProgress progress() const override;
  bool jumpTo(double metres) override;

 private:
  double length() const { return keys_.back(); }
  void wrapAtEnds();
  // Finds the segment holding at_, starting from the present one.
  void locate();
  void place();

  Route route_;
  RoutePace pace_;
  RouteEnd end_;
  bool carryTrackTime_;
  std::vector<double> distances_;  // from the first point to each point
  // What at_ counts for each point: its distance, or with track time its time
  // since the first point.
  std::vector<double> keys_;
  double at_ = 0;
  int direction_ = 1;  // -1 on the way back
  bool finished_ = false;
  double runningSeconds_ = 0;
  std::size_t segment_ = 0;  // from point segment_ to the next
  // The geodesic of one segment, made when the fix enters it (kept in place:
  // a step allocates nothing).
  GeographicLib::GeodesicLine line_;
  std::size_t lineSegment_ = std::numeric_limits<std::size_t>::max();
  double doneMetres_ = 0;
  MotionFix fix_;
};

}  // namespace waymock::motion
