#include "motion/route_motion.h"

#include <GeographicLib/Geodesic.hpp>
#include <algorithm>
#include <cmath>
#include <utility>

#include "motion/course.h"

namespace waymock::motion {

namespace {

// A step rarely leaves more than a segment or two behind; further than this
// and a binary search is cheaper than walking.
constexpr std::size_t kWalk = 4;

}  // namespace

RouteMotion::RouteMotion(Route route, RoutePace pace, RouteEnd end, bool carryTrackTime)
    : route_(std::move(route)), pace_(pace), end_(end), carryTrackTime_(carryTrackTime) {
  distances_ = cumulativeDistances(route_);
  if (pace_.trackTime) {
    const TrackTime first = *route_.points.front().time;
    keys_.reserve(route_.points.size());
    for (const RoutePoint& p : route_.points) keys_.push_back(secondsOf(*p.time - first));
  } else {
    keys_ = distances_;
  }
  restart({});
}

RouteMotion::~RouteMotion() = default;

void RouteMotion::restart(const GeoPoint& /*start*/) {
  at_ = 0;
  direction_ = 1;
  finished_ = false;
  runningSeconds_ = 0;
  segment_ = 0;
  place();
}

void RouteMotion::advance(double seconds) {
  runningSeconds_ += seconds;
  if (!finished_) {
    at_ += direction_ * seconds * (pace_.trackTime ? pace_.rate : pace_.speed);
    wrapAtEnds();
    locate();
  }
  place();
}

void RouteMotion::wrapAtEnds() {
  const double span = length();
  if (at_ >= 0 && at_ <= span) return;
  if (end_ == RouteEnd::stop || span <= 0) {
    at_ = std::clamp(at_, 0.0, span);
    finished_ = end_ == RouteEnd::stop;
    return;
  }
  if (end_ == RouteEnd::loop) {
    at_ = std::fmod(at_, span);
    if (at_ < 0) at_ += span;
    return;
  }
  // Turning back: every whole length beyond the end is one more turn.
  const bool pastEnd = at_ > span;
  const double beyond = pastEnd ? at_ - span : -at_;
  const double turns = std::floor(beyond / span);
  const double rest = beyond - turns * span;
  const bool oddTurns = std::fmod(turns, 2.0) != 0;
  const bool outward = pastEnd == oddTurns;  // away from the first point
  at_ = outward ? rest : span - rest;
  direction_ = outward ? 1 : -1;
}

void RouteMotion::locate() {
  const std::size_t last = keys_.size() - 1;
  if (last == 0) return;
  std::size_t i = segment_;
  // On a point between segments, the one ahead: a stop there begins.
  const auto behind = [this](std::size_t k) {
    return at_ < keys_[k] || (direction_ < 0 && at_ == keys_[k]);
  };
  const auto ahead = [this](std::size_t k) {
    return at_ > keys_[k] || (direction_ > 0 && at_ == keys_[k]);
  };
  for (std::size_t walked = 0; walked < kWalk; ++walked) {
    if (i > 0 && behind(i)) {
      --i;
    } else if (i + 1 < last && ahead(i + 1)) {
      ++i;
    } else {
      segment_ = i;
      return;
    }
  }
  const auto after = std::upper_bound(keys_.begin(), keys_.end(), at_);
  const auto found = static_cast<std::size_t>(std::max<std::ptrdiff_t>(after - keys_.begin(), 1));
  segment_ = std::min(found - 1, last - 1);
}

void RouteMotion::place() {
  const std::size_t i = segment_;
  const RoutePoint& a = route_.points[i];
  if (route_.points.size() == 1) {
    fix_.position = {a.latitude, a.longitude};
    fix_.altitude = a.altitude;
    fix_.speed = 0;
    doneMetres_ = 0;
  } else {
    const RoutePoint& b = route_.points[i + 1];
    const double span = keys_[i + 1] - keys_[i];
    const double fraction = span > 0 ? std::clamp((at_ - keys_[i]) / span, 0.0, 1.0) : 1.0;
    const double metres = distances_[i + 1] - distances_[i];
    doneMetres_ = distances_[i] + fraction * metres;
    if (metres > 0) {
      if (lineSegment_ != i) {
        line_ = GeographicLib::Geodesic::WGS84().InverseLine(a.latitude, a.longitude, b.latitude,
                                                             b.longitude);
        lineSegment_ = i;
      }
      double azimuth = 0;
      line_.Position(fraction * metres, fix_.position.latitude, fix_.position.longitude, azimuth);
      fix_.course = courseOf(direction_ < 0 ? azimuth + 180 : azimuth);
    } else {
      // Standing still (a stop in a track): the course stays what it was.
      fix_.position = {a.latitude, a.longitude};
    }
    if (a.altitude && b.altitude) {
      fix_.altitude = *a.altitude + fraction * (*b.altitude - *a.altitude);
    } else {
      fix_.altitude = a.altitude ? a.altitude : b.altitude;
    }
    if (finished_ || distances_.back() <= 0) {
      fix_.speed = 0;  // at the end, or on a route that has no length
    } else if (pace_.trackTime) {
      // The speed the sentences' own time gives: the track's when they carry
      // it, the clock's (the rate faster) when they do not.
      fix_.speed = span > 0 ? metres / span * (carryTrackTime_ ? 1 : pace_.rate) : 0;
    } else {
      fix_.speed = pace_.speed;
    }
  }
  if (carryTrackTime_) {
    fix_.time = unixSecondsOf(*route_.points.front().time) +
                runningSeconds_ * (pace_.trackTime ? pace_.rate : 1.0);
  }
}

MotionProgress RouteMotion::progress() const {
  MotionProgress progress{doneMetres_, distances_.back(), std::nullopt};
  const double pace = pace_.trackTime ? pace_.rate : pace_.speed;
  if (finished_) {
    progress.secondsLeft = 0;
  } else if (pace > 0) {
    progress.secondsLeft = (direction_ > 0 ? length() - at_ : at_) / pace;
  }
  return progress;
}

bool RouteMotion::jumpTo(double metres) {
  metres = std::clamp(metres, 0.0, distances_.back());
  finished_ = false;
  if (!pace_.trackTime) {
    at_ = metres;
    locate();
  } else if (distances_.size() > 1) {
    // The segment by distance, then the time within it; a stop at that
    // distance is entered at its beginning.
    const auto after = std::lower_bound(distances_.begin() + 1, distances_.end(), metres);
    const auto i = static_cast<std::size_t>(
        std::min<std::ptrdiff_t>(after - distances_.begin(), distances_.size() - 1) - 1);
    const double span = distances_[i + 1] - distances_[i];
    const double fraction = span > 0 ? (metres - distances_[i]) / span : 0;
    at_ = keys_[i] + fraction * (keys_[i + 1] - keys_[i]);
    segment_ = i;
  }
  place();
  return true;
}

}  // namespace waymock::motion
