#include "control/generator_control.h"

#include <GeographicLib/Geodesic.hpp>
#include <cmath>

#include "engine/simulation.h"
#include "generator/nmea_generator.h"
#include "motion/motion_settings.h"
#include "motion/speed_heading_motion.h"
#include "support/error.h"

namespace waymock::control {

namespace {

struct Dms {
  int degree;
  int minute;
  long double second;
};

// Whole degrees and minutes and the seconds left, from the magnitude.
Dms dms(double value) {
  const long double total = std::fabs(static_cast<long double>(value)) * 3600;
  const auto degree = static_cast<int>(std::floor(total / 3600));
  const auto minute = static_cast<int>(std::floor((total - degree * 3600.0L) / 60));
  long double second = total - degree * 3600.0L - minute * 60.0L;
  if (second < 0) second = 0;
  if (second >= 60) second = std::nextafter(60.0L, 0.0L);
  return {degree, minute, second};
}

void setLatitude(generator::TTarnNMEAGenerator& g, double value) {
  const Dms d = dms(value);
  g.SetLatitude_Degree(d.degree);
  g.SetLatitude_Minute(d.minute);
  g.SetLatitude_Second(d.second);
  g.SetLatitude_Direction(value < 0 ? TCardinalPoint::cpSouth : TCardinalPoint::cpNorth);
}

void setLongitude(generator::TTarnNMEAGenerator& g, double value) {
  const Dms d = dms(value);
  g.SetLongitude_Degree(d.degree);
  g.SetLongitude_Minute(d.minute);
  g.SetLongitude_Second(d.second);
  g.SetLongitude_Direction(value < 0 ? TCardinalPoint::cpWest : TCardinalPoint::cpEast);
}

double latitudeOf(const generator::TTarnNMEAGenerator& g) {
  return static_cast<double>(g.LatitudeDegrees());
}
// The generator counts west positive; a map east.
double longitudeOf(const generator::TTarnNMEAGenerator& g) {
  return -static_cast<double>(g.LongitudeDegrees());
}

}  // namespace

void applyFixChange(const FixChange& c, generator::TTarnNMEAGenerator& g) {
  using generator::TTarnNMEAGenerator;
  if (c.latitude) setLatitude(g, *c.latitude);
  if (c.longitude) setLongitude(g, *c.longitude);
  if (c.altitude) g.SetAltitude(*c.altitude);
  if (c.speedKmh) g.SetSpeed(TTarnNMEAGenerator::KmhToKnots(*c.speedKmh));
  if (c.heading) g.SetHeading(*c.heading);
  if (c.pdop) g.SetPDOP(*c.pdop);
  if (c.hdop) g.SetHDOP(*c.hdop);
  if (c.vdop) g.SetVDOP(*c.vdop);
  if (c.satellites) {
    for (std::uint16_t prn = 1; prn <= 32; ++prn) g.SetSatellite(prn, false, 0, 0, 0);
    for (const SatelliteSetting& s : *c.satellites) {
      g.SetSatellite(static_cast<std::uint16_t>(s.prn), s.active,
                     static_cast<std::uint16_t>(s.elevation), static_cast<std::uint16_t>(s.azimuth),
                     static_cast<std::uint16_t>(s.snr));
    }
  }
}

nlohmann::json fixJson(const generator::TTarnNMEAGenerator& g) {
  using generator::TTarnNMEAGenerator;
  nlohmann::json satellites = nlohmann::json::array();
  for (const generator::TSatellite* s : g.GetActiveSatellites()) {
    satellites.push_back({{"prn", s->PseudoRandomCode()},
                          {"elevation", s->Elevation()},
                          {"azimuth", s->Azimuth()},
                          {"snr", s->SignalToNoiseRatio()}});
  }
  return {{"lat", latitudeOf(g)},
          {"lon", longitudeOf(g)},
          {"alt", static_cast<double>(g.Altitude())},
          {"speed_kmh", static_cast<double>(TTarnNMEAGenerator::KnotsToKmh(g.Speed()))},
          {"heading", static_cast<double>(g.Heading())},
          {"pdop", static_cast<double>(g.PDOP())},
          {"hdop", static_cast<double>(g.HDOP())},
          {"vdop", static_cast<double>(g.VDOP())},
          {"satellites", satellites}};
}

void applyMove(const MoveRequest& r, Simulation& simulation,
               const generator::TTarnNMEAGenerator& g) {
  if (r.steps) {
    simulation.setMotion(nullptr);
    return;
  }
  const motion::GeoPoint here{latitudeOf(g), longitudeOf(g)};
  if (r.route) {
    motion::MotionSettings s;
    s.model = motion::MotionModel::route;
    s.routeFile = *r.route;
    s.routeSpeedKmh = *r.speedKmh;
    s.end = r.end == "loop"      ? motion::RouteEnd::loop
            : r.end == "reverse" ? motion::RouteEnd::reverse
                                 : motion::RouteEnd::stop;
    simulation.setMotion(motion::makeMotion(s, here));
    return;
  }
  const double speed = *r.speedKmh / 3.6;
  if (simulation.motion() != nullptr && simulation.motion()->steer(speed, *r.heading)) return;
  simulation.setMotion(
      std::make_unique<motion::SpeedHeadingMotion>(here, speed, *r.heading, false));
}

void jumpFix(generator::TTarnNMEAGenerator& g, double metres, double bearing) {
  double latitude = 0;
  double longitude = 0;
  GeographicLib::Geodesic::WGS84().Direct(latitudeOf(g), longitudeOf(g), bearing, metres, latitude,
                                          longitude);
  setLatitude(g, latitude);
  setLongitude(g, std::remainder(longitude, 360.0));
}

}  // namespace waymock::control
