#include "engine/motion_fix.h"

#include <cmath>

#include "generator/nmea_generator.h"
#include "motion/motion.h"
#include "support/units.h"

namespace waymock {

namespace {

struct Sexagesimal {
  int degree = 0;
  int minute = 0;
  long double second = 0;
};

// The magnitude of `degrees` in degrees, minutes and seconds, exactly as far
// as long double carries it.
Sexagesimal sexagesimal(double degrees) {
  const long double seconds = std::fabs(static_cast<long double>(degrees)) * 3600;
  const long double whole = std::floor(seconds);
  const auto wholeSeconds = static_cast<long long>(whole);
  Sexagesimal s;
  s.degree = static_cast<int>(wholeSeconds / 3600);
  s.minute = static_cast<int>(wholeSeconds % 3600 / 60);
  s.second = static_cast<long double>(wholeSeconds % 60) + (seconds - whole);
  // A fraction that rounds up to a whole 60 is no second the generator takes.
  if (s.second >= 60) s.second = std::nextafter(60.0L, 0.0L);
  return s;
}

}  // namespace

void putLatitude(double latitude, generator::TTarnNMEAGenerator& g) {
  const Sexagesimal s = sexagesimal(latitude);
  g.SetLatitude_Degree(s.degree);
  g.SetLatitude_Minute(s.minute);
  g.SetLatitude_Second(s.second);
  g.SetLatitude_Direction(latitude < 0 ? TCardinalPoint::cpSouth : TCardinalPoint::cpNorth);
}

void putLongitude(double longitude, generator::TTarnNMEAGenerator& g) {
  const Sexagesimal s = sexagesimal(longitude);
  g.SetLongitude_Degree(s.degree);
  g.SetLongitude_Minute(s.minute);
  g.SetLongitude_Second(s.second);
  g.SetLongitude_Direction(longitude < 0 ? TCardinalPoint::cpWest : TCardinalPoint::cpEast);
}

motion::GeoPoint mapPositionOf(const generator::TTarnNMEAGenerator& g) {
  return {static_cast<double>(g.LatitudeDegrees()), -static_cast<double>(g.LongitudeDegrees())};
}

void putMotionFix(const motion::MotionFix& fix, generator::TTarnNMEAGenerator& g) {
  putLatitude(fix.position.latitude, g);
  putLongitude(fix.position.longitude, g);
  g.SetSpeed(static_cast<long double>(fix.speed) * kSecondsPerHour / kMetresPerNauticalMile);
  g.SetHeading(fix.course);
  g.followMagneticCourse();
  if (fix.altitude) g.SetAltitude(*fix.altitude);
}

}  // namespace waymock
