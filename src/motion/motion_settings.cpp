#include "motion/motion_settings.h"

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "motion/noisy_motion.h"
#include "motion/route_reader.h"
#include "motion/speed_heading_motion.h"
#include "support/error.h"
#include "support/number_text.h"
#include "support/shown_text.h"
#include "support/units.h"
#include "support/value_bounds.h"

namespace waymock::motion {

namespace {

bool positive(double value) {
  return std::isfinite(value) && value > 0;
}

std::string kmh(double speed) {
  return formatGeneral(std::round(speed * 10) / 10) + " km/h";
}

// The fastest leg of a track followed at its own times: a fix may go at most
// kMaxSpeedKmh (`factor` times the track's own speeds, the rate when the
// sentences carry the clock).
void checkTrackSpeeds(const Route& route, double factor, const std::string& shown) {
  const std::vector<double> distances = cumulativeDistances(route);
  for (std::size_t i = 1; i < route.points.size(); ++i) {
    const double seconds = secondsOf(*route.points[i].time - *route.points[i - 1].time);
    // Points at the same time are a jump, which reports no speed.
    if (seconds <= 0) continue;
    const double speed = (distances[i] - distances[i - 1]) / seconds * factor;
    if (speed * kKmhPerMetrePerSecond <= kMaxSpeedKmh) continue;
    raiseIo(shown + ": from point " + std::to_string(i) + " to point " + std::to_string(i + 1) +
            " the track goes " + kmh(speed * kKmhPerMetrePerSecond) +
            (factor != 1 ? " at the rate " + formatGeneral(factor) : std::string()) +
            ", faster than " + kmh(kMaxSpeedKmh) + ".");
  }
}

std::unique_ptr<Motion> makeRouteMotion(const MotionSettings& s) {
  if (!s.trackTime && !positive(s.routeSpeedKmh))
    raise("The route speed must be more than 0 km/h.");
  if (!s.trackTime && s.routeSpeedKmh > kMaxSpeedKmh)
    raise("The route speed must be at most " + kmh(kMaxSpeedKmh) + ".");
  if (s.trackTime && !positive(s.rate)) raise("The rate must be more than 0.");
  Route route = readRoute(s.routeFile);
  const std::string shown = shownText(route.source, 1024);
  if ((s.trackTime || s.useTrackTime) && !route.hasTimes()) {
    raiseIo(shown + (s.trackTime ? ": the points carry no times to follow."
                                 : ": the points carry no times for the sentences."));
  }
  if (s.trackTime && *route.points.back().time <= *route.points.front().time)
    raiseIo(shown + ": the track's times do not advance.");
  if (s.trackTime) checkTrackSpeeds(route, s.useTrackTime ? 1 : s.rate, shown);
  const RoutePace pace{s.trackTime, s.routeSpeedKmh / kKmhPerMetrePerSecond, s.rate};
  return std::make_unique<RouteMotion>(std::move(route), pace, s.end, s.useTrackTime);
}

}  // namespace

std::unique_ptr<Motion> makeMotion(const MotionSettings& s, const GeoPoint& start) {
  if (!std::isfinite(s.noiseMetres) || s.noiseMetres < 0)
    raise("The noise must be 0 metres or more.");
  if (s.noiseMetres > kMaxNoiseMetres)
    raise("The noise must be at most " + formatGeneral(kMaxNoiseMetres) + " metres.");
  std::unique_ptr<Motion> motion;
  switch (s.model) {
    case MotionModel::steps:
      return nullptr;
    case MotionModel::speedHeading:
      if (!std::isfinite(s.speedKmh) || s.speedKmh < 0) raise("The speed must be 0 km/h or more.");
      if (s.speedKmh > kMaxSpeedKmh) raise("The speed must be at most " + kmh(kMaxSpeedKmh) + ".");
      if (!std::isfinite(s.heading) || s.heading < 0 || s.heading >= 360)
        raise("Heading must be between 0 and 360.");
      motion = std::make_unique<SpeedHeadingMotion>(start, s.speedKmh / kKmhPerMetrePerSecond,
                                                    s.heading, s.geodesic);
      break;
    case MotionModel::route:
      motion = makeRouteMotion(s);
      break;
  }
  if (s.noiseMetres > 0)
    motion = std::make_unique<NoisyMotion>(std::move(motion), s.noiseMetres, s.seed);
  return motion;
}

}  // namespace waymock::motion
