#include "sky/nominal_constellations.h"

#include <array>
#include <cmath>
#include <numbers>

#include "sky/gps_time.h"

namespace waymock::sky {

namespace {

double radians(double degrees) {
  return degrees * std::numbers::pi / 180;
}

// Every built-in orbit is given at the epoch of the GPS slot table,
// 1993-07-01 00:00 UTC, when the Greenwich hour angle of the vernal equinox
// was 18 h 36 min 14.4 s.
constexpr double kGreenwichHourAngle = (18 + 36 / 60.0 + 14.4 / 3600) * 15;  // degrees

struct Epoch {
  int week = 0;
  double seconds = 0;
};

Epoch referenceEpoch() {
  const double t = gpsSecondsFromUtc(static_cast<TDateTime>(daysFromCivil(1993, 7, 1)));
  const double week = std::floor(t / kSecondsPerWeek);
  return {static_cast<int>(week), t - week * kSecondsPerWeek};
}

// The node's regression by the Earth's oblateness (J2), for orbits kept only
// in their planes.
double nodalRate(double radius, double inclination) {
  constexpr double kJ2 = 1.08262668e-3;
  const double meanMotion = std::sqrt(kEarthGravity / (radius * radius * radius));
  const double ratio = kEarthRadius / radius;
  return -1.5 * kJ2 * ratio * ratio * meanMotion * std::cos(radians(inclination));
}

// A geosynchronous orbit: one turn a sidereal day.
const double kGeosynchronousRadius = std::cbrt(kEarthGravity / (kEarthRotation * kEarthRotation));

struct Circular {
  double radius;       // m
  double inclination;  // degrees
  double nodeRate;     // rad/s
};

// A circular orbit whose ascending node is over `nodeLongitude` (degrees
// east) at the epoch, with the satellite `latitudeArgument` degrees past it.
Almanac circular(GnssSystem system, int number, const Circular& orbit, double nodeLongitude,
                 double latitudeArgument, const Epoch& epoch) {
  Almanac a;
  a.system = system;
  a.number = static_cast<std::uint16_t>(number);
  a.week = epoch.week;
  a.referenceTime = epoch.seconds;
  a.inclination = radians(orbit.inclination);
  a.rateOfRightAscension = orbit.nodeRate;
  a.sqrtSemiMajorAxis = std::sqrt(orbit.radius);
  // Omega_0 counts from the week's start, the Earth having turned since.
  a.rightAscensionAtWeek = radians(nodeLongitude) + kEarthRotation * epoch.seconds;
  a.meanAnomaly = radians(latitudeArgument);  // circular: perigee taken at the node
  return a;
}

// Walker t/p/f: p planes 360/p degrees apart, t/p satellites in each, the
// planes' satellites offset by f * 360/t degrees from plane to plane.
void walker(std::vector<Almanac>& out, GnssSystem system, const int* numbers, int total, int planes,
            int phasing, const Circular& orbit, const Epoch& epoch) {
  const int perPlane = total / planes;
  for (int i = 0; i < total; ++i) {
    const int plane = i / perPlane;
    const double node = 360.0 * plane / planes;
    const double argument = 360.0 * (i % perPlane) / perPlane + 360.0 * phasing * plane / total;
    out.push_back(circular(system, numbers[i], orbit, node, argument, epoch));
  }
}

void gps(std::vector<Almanac>& out, const Epoch& epoch) {
  // Slots A1-A4, B1-B4 ... F1-F4: right ascension of the node and argument
  // of latitude at the epoch, degrees (GPS SPS Performance Standard, the
  // baseline 24-slot constellation). Radius 26,559.7 km, 55 degrees.
  constexpr std::array<double, 6> kNodes = {272.847, 332.847, 32.847, 92.847, 152.847, 212.847};
  constexpr std::array<double, 24> kArguments = {
      268.126, 161.786, 11.676,  41.806,  80.956,  173.336, 309.976, 204.376,
      111.876, 11.796,  339.666, 241.556, 135.226, 265.446, 35.156,  167.356,
      197.046, 302.596, 66.066,  333.686, 238.886, 345.226, 105.206, 135.346};
  const Circular orbit{26'559'700, 55, nodalRate(26'559'700, 55)};
  for (int i = 0; i < 24; ++i) {
    out.push_back(circular(GnssSystem::gps, i + 1, orbit, kNodes[i / 4] - kGreenwichHourAngle,
                           kArguments[i], epoch));
  }
}

void beidou(std::vector<Almanac>& out, const Epoch& epoch) {
  const Circular geostationary{kGeosynchronousRadius, 0, 0};
  constexpr std::array<double, 3> kGeoLongitudes = {140, 80, 110.5};
  for (int i = 0; i < 3; ++i) {
    out.push_back(circular(GnssSystem::beidou, i + 1, geostationary, kGeoLongitudes[i], 0, epoch));
  }
  constexpr std::array<int, 24> kMeo = {19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30,
                                        31, 32, 33, 34, 35, 36, 37, 41, 42, 43, 44, 45};
  walker(out, GnssSystem::beidou, kMeo.data(), 24, 3, 1,
         {27'906'000, 55, nodalRate(27'906'000, 55)}, epoch);
  // Three planes 120 degrees apart whose satellites cross the equator, each
  // in its turn, over 118 degrees east.
  const Circular inclined{kGeosynchronousRadius, 55, 0};
  for (int i = 0; i < 3; ++i) {
    out.push_back(
        circular(GnssSystem::beidou, 38 + i, inclined, 118.0 - 120.0 * i, 120.0 * i, epoch));
  }
}

}  // namespace

std::vector<Almanac> nominalAlmanacs(GnssSystems systems) {
  const Epoch epoch = referenceEpoch();
  std::array<int, 24> oneTo24{};
  for (int i = 0; i < 24; ++i) oneTo24[static_cast<std::size_t>(i)] = i + 1;
  std::vector<Almanac> out;
  if (systems.contains(GnssSystem::gps)) gps(out, epoch);
  if (systems.contains(GnssSystem::glonass)) {
    walker(out, GnssSystem::glonass, oneTo24.data(), 24, 3, 1,
           {25'510'000, 64.8, nodalRate(25'510'000, 64.8)}, epoch);
  }
  if (systems.contains(GnssSystem::galileo)) {
    walker(out, GnssSystem::galileo, oneTo24.data(), 24, 3, 1,
           {29'600'000, 56, nodalRate(29'600'000, 56)}, epoch);
  }
  if (systems.contains(GnssSystem::beidou)) beidou(out, epoch);
  return out;
}

}  // namespace waymock::sky
