#include "motion/speed_heading_motion.h"

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/GeodesicLine.hpp>
#include <GeographicLib/Rhumb.hpp>
#include <cmath>

#include "motion/course.h"

namespace waymock::motion {

SpeedHeadingMotion::SpeedHeadingMotion(const GeoPoint& start, double speed, double heading,
                                       bool geodesic)
    : speed_(speed), heading_(heading), geodesic_(geodesic) {
  startLeg(start);
}

SpeedHeadingMotion::~SpeedHeadingMotion() = default;

void SpeedHeadingMotion::restart(const GeoPoint& start) {
  earlierMetres_ = 0;
  startLeg(start);
}

void SpeedHeadingMotion::startLeg(const GeoPoint& from) {
  legMetres_ = 0;
  if (geodesic_) {
    geodesicLine_ = std::make_unique<GeographicLib::GeodesicLine>(
        GeographicLib::Geodesic::WGS84().Line(from.latitude, from.longitude, heading_));
  } else {
    rhumbLine_ = std::make_unique<GeographicLib::RhumbLine>(
        GeographicLib::Rhumb::WGS84().Line(from.latitude, from.longitude, heading_));
  }
  fix_.position = from;
  place();
}

void SpeedHeadingMotion::advance(double seconds) {
  legMetres_ += speed_ * seconds;
  place();
}

void SpeedHeadingMotion::place() {
  fix_.speed = speed_;
  if (geodesic_) {
    double azimuth = heading_;
    geodesicLine_->Position(legMetres_, fix_.position.latitude, fix_.position.longitude, azimuth);
    fix_.course = courseOf(azimuth);
    return;
  }
  double latitude = 0;
  double longitude = 0;
  rhumbLine_->Position(legMetres_, latitude, longitude);
  // A rhumb line that reaches a pole has no longitude beyond it: the fix
  // stays at the pole.
  if (std::isnan(longitude)) {
    fix_.position.latitude = latitude > 0 ? 90 : -90;
    fix_.speed = 0;
  } else {
    fix_.position = {latitude, longitude};
  }
  fix_.course = courseOf(heading_);
}

MotionProgress SpeedHeadingMotion::progress() const {
  return {earlierMetres_ + legMetres_, std::nullopt, std::nullopt};
}

bool SpeedHeadingMotion::steer(double speed, double heading) {
  earlierMetres_ += legMetres_;
  speed_ = speed;
  heading_ = heading;
  startLeg(fix_.position);
  return true;
}

}  // namespace waymock::motion
