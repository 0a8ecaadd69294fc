#include "engine/motion_fix.h"

#include <cmath>

#include "generator/nmea_generator.h"
#include "motion/motion.h"

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

void putMotionFix(const motion::MotionFix& fix, generator::TTarnNMEAGenerator& g) {
  const Sexagesimal latitude = sexagesimal(fix.position.latitude);
  const Sexagesimal longitude = sexagesimal(fix.position.longitude);
  g.SetLatitude_Degree(latitude.degree);
  g.SetLatitude_Minute(latitude.minute);
  g.SetLatitude_Second(latitude.second);
  g.SetLatitude_Direction(fix.position.latitude < 0 ? TCardinalPoint::cpSouth
                                                    : TCardinalPoint::cpNorth);
  g.SetLongitude_Degree(longitude.degree);
  g.SetLongitude_Minute(longitude.minute);
  g.SetLongitude_Second(longitude.second);
  g.SetLongitude_Direction(fix.position.longitude < 0 ? TCardinalPoint::cpWest
                                                      : TCardinalPoint::cpEast);
  g.SetSpeed(static_cast<long double>(fix.speed) * 3600 / 1852);
  g.SetHeading(fix.course);
  if (fix.altitude) g.SetAltitude(*fix.altitude);
}

}  // namespace waymock
