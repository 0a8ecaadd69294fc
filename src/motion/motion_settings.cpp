#include "motion/motion_settings.h"

#include <cmath>
#include <utility>

#include "motion/noisy_motion.h"
#include "motion/route_reader.h"
#include "motion/speed_heading_motion.h"
#include "support/error.h"
#include "support/shown_text.h"
#include "support/units.h"

namespace waymock::motion {

namespace {

bool positive(double value) {
  return std::isfinite(value) && value > 0;
}

std::unique_ptr<Motion> makeRouteMotion(const MotionSettings& s) {
  if (!s.trackTime && !positive(s.routeSpeedKmh))
    raise("The route speed must be more than 0 km/h.");
  if (s.trackTime && !positive(s.rate)) raise("The rate must be more than 0.");
  Route route = readRoute(s.routeFile);
  const std::string shown = shownText(route.source, 1024);
  if ((s.trackTime || s.useTrackTime) && !route.hasTimes()) {
    raiseIo(shown + (s.trackTime ? ": the points carry no times to follow."
                                 : ": the points carry no times for the sentences."));
  }
  if (s.trackTime && *route.points.back().time <= *route.points.front().time)
    raiseIo(shown + ": the track's times do not advance.");
  const RoutePace pace{s.trackTime, s.routeSpeedKmh / kKmhPerMetrePerSecond, s.rate};
  return std::make_unique<RouteMotion>(std::move(route), pace, s.end, s.useTrackTime);
}

}  // namespace

std::unique_ptr<Motion> makeMotion(const MotionSettings& s, const GeoPoint& start) {
  if (!std::isfinite(s.noiseMetres) || s.noiseMetres < 0)
    raise("The noise must be 0 metres or more.");
  std::unique_ptr<Motion> motion;
  switch (s.model) {
    case MotionModel::steps:
      return nullptr;
    case MotionModel::speedHeading:
      if (!std::isfinite(s.speedKmh) || s.speedKmh < 0) raise("The speed must be 0 km/h or more.");
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
