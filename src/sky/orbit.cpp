// Satellite positions from almanac data by the user algorithm of IS-GPS-200
// (Navstar GPS Space Segment / Navigation User Interfaces), section
// 20.3.3.5.2.1 and Table 20-IV: Kepler's equation, no harmonic corrections,
// the node moving with its almanac rate and the Earth turning under it.
#include "sky/orbit.h"

#include <cmath>
#include <numbers>

#include "sky/gps_time.h"

namespace waymock::sky {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

// The angle in [0, 2 pi): Newton's method and sin/cos stay accurate decades
// after the reference time.
double reduced(double angle) {
  const double r = std::fmod(angle, kTwoPi);
  return r < 0 ? r + kTwoPi : r;
}

}  // namespace

Orbit::Orbit(const Almanac& a)
    : system_(a.system),
      number_(a.number),
      weekModulo1024_(a.weekModulo1024),
      reference_(a.week * kSecondsPerWeek + a.referenceTime),
      referenceTime_(a.referenceTime),
      semiMajorAxis_(a.sqrtSemiMajorAxis * a.sqrtSemiMajorAxis),
      meanMotion_(std::sqrt(kEarthGravity / (semiMajorAxis_ * semiMajorAxis_ * semiMajorAxis_))),
      eccentricity_(a.eccentricity),
      sqrtOneMinusE2_(std::sqrt(1 - a.eccentricity * a.eccentricity)),
      cosInclination_(std::cos(a.inclination)),
      sinInclination_(std::sin(a.inclination)),
      cosPerigee_(std::cos(a.argumentOfPerigee)),
      sinPerigee_(std::sin(a.argumentOfPerigee)),
      rightAscension_(a.rightAscensionAtWeek),
      rateOfRightAscension_(a.rateOfRightAscension),
      meanAnomaly_(a.meanAnomaly) {}

Ecef Orbit::at(double gpsSeconds) const {
  double tk = gpsSeconds - reference_;
  if (weekModulo1024_) {
    constexpr double kEra = 1024 * kSecondsPerWeek;
    tk -= kEra * std::round(tk / kEra);
  }
  const double m = reduced(meanAnomaly_ + meanMotion_ * tk);
  // Kepler's equation M = E - e sin E, by Newton's method from E = M + e sin M:
  // for the small eccentricities of navigation orbits two or three steps
  // reach 1e-12. The last step's sine and cosine serve, corrected to first
  // order (the error is the step squared).
  double e = m + eccentricity_ * std::sin(m);
  double sinE = std::sin(e);
  double cosE = std::cos(e);
  for (int i = 0; i < 10 && eccentricity_ != 0; ++i) {
    const double step = (e - eccentricity_ * sinE - m) / (1 - eccentricity_ * cosE);
    e -= step;
    const double sinBefore = sinE;
    sinE -= step * cosE;
    cosE += step * sinBefore;
    if (std::fabs(step) < 1e-9) break;
    sinE = std::sin(e);
    cosE = std::cos(e);
  }
  const double oneMinusECosE = 1 - eccentricity_ * cosE;
  // The true anomaly nu, and the argument of latitude u = nu + omega, as sine
  // and cosine.
  const double sinNu = sqrtOneMinusE2_ * sinE / oneMinusECosE;
  const double cosNu = (cosE - eccentricity_) / oneMinusECosE;
  const double sinU = sinNu * cosPerigee_ + cosNu * sinPerigee_;
  const double cosU = cosNu * cosPerigee_ - sinNu * sinPerigee_;
  const double r = semiMajorAxis_ * oneMinusECosE;
  const double inPlaneX = r * cosU;
  const double inPlaneY = r * sinU;
  // The node's longitude: its own drift, less the Earth's turn since the week
  // began.
  const double node = reduced(rightAscension_ + (rateOfRightAscension_ - kEarthRotation) * tk -
                              kEarthRotation * referenceTime_);
  const double cosNode = std::cos(node);
  const double sinNode = std::sin(node);
  return {inPlaneX * cosNode - inPlaneY * cosInclination_ * sinNode,
          inPlaneX * sinNode + inPlaneY * cosInclination_ * cosNode, inPlaneY * sinInclination_};
}

}  // namespace waymock::sky
