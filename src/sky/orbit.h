#pragma once

// A satellite's almanac and where it puts the satellite at a given time.

#include <cstdint>

#include "sky/gnss_system.h"

namespace waymock::sky {

// WGS-84 and the constants the GPS almanac equations take (IS-GPS-200).
inline constexpr double kEarthGravity = 3.986005e14;       // mu, m^3/s^2
inline constexpr double kEarthRotation = 7.2921151467e-5;  // rad/s
inline constexpr double kEarthRadius = 6'378'137.0;        // semi-major axis, m
inline constexpr double kEarthFlattening = 1 / 298.257223563;

// Earth-centred, Earth-fixed coordinates in metres.
struct Ecef {
  double x = 0, y = 0, z = 0;
};

// One satellite's almanac: the Keplerian elements as the GPS almanac gives
// them (a YUMA file names them so), whatever the system.
struct Almanac {
  GnssSystem system = GnssSystem::gps;
  std::uint16_t number = 0;  // within its system: GPS PRN, GLONASS slot, Galileo and BeiDou PRN
  bool healthy = true;
  int week = 0;                     // GPS week of the reference time
  bool weekModulo1024 = false;      // counted as the 10-bit week field counts it
  double referenceTime = 0;         // t_oa, seconds into that week
  double eccentricity = 0;          // e
  double inclination = 0;           // i, rad
  double rateOfRightAscension = 0;  // Omega-dot, rad/s
  double sqrtSemiMajorAxis = 0;     // sqrt(A), m^1/2
  double rightAscensionAtWeek = 0;  // Omega_0, rad: the node's longitude at the week's start
  double argumentOfPerigee = 0;     // omega, rad
  double meanAnomaly = 0;           // M_0, rad, at the reference time
};

// An almanac made ready to propagate: what depends only on the elements is
// worked out once.
class Orbit {
 public:
  explicit Orbit(const Almanac& almanac);

  GnssSystem system() const { return system_; }
  std::uint16_t number() const { return number_; }
  // The satellite's position at `gpsSeconds` (seconds since the GPS epoch).
  // A week counted modulo 1024 is taken as the one nearest that time.
  Ecef at(double gpsSeconds) const;

 private:
  GnssSystem system_;
  std::uint16_t number_;
  bool weekModulo1024_;
  double reference_;  // seconds since the GPS epoch
  double referenceTime_;
  double semiMajorAxis_, meanMotion_, eccentricity_, sqrtOneMinusE2_;
  double cosInclination_, sinInclination_, cosPerigee_, sinPerigee_;
  double rightAscension_, rateOfRightAscension_, meanAnomaly_;
};

}  // namespace waymock::sky
