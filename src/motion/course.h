#pragma once

#include <cmath>

namespace waymock::motion {

// An azimuth (GeographicLib gives -180..180) as a course, 0 up to 360.
inline double courseOf(double azimuth) {
  double course = std::fmod(azimuth, 360.0);
  if (course < 0) course += 360;
  // -1e-17 + 360 rounds to 360, which is no course.
  return course >= 360 ? 0 : course;
}

}  // namespace waymock::motion
