#include "control/generator_control.h"

#include <GeographicLib/Geodesic.hpp>
#include <cmath>

#include "engine/motion_fix.h"
#include "engine/simulation.h"
#include "generator/nmea_generator.h"
#include "motion/motion_settings.h"
#include "motion/speed_heading_motion.h"
#include "support/error.h"
#include "support/units.h"

namespace waymock::control {

void applyFixChange(const FixChange& c, generator::TTarnNMEAGenerator& g) {
  using generator::TTarnNMEAGenerator;
  if (c.latitude) putLatitude(*c.latitude, g);
  if (c.longitude) putLongitude(*c.longitude, g);
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
  const motion::GeoPoint here = mapPositionOf(g);
  return {{"lat", here.latitude},
          {"lon", here.longitude},
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
  const motion::GeoPoint here = mapPositionOf(g);
  if (r.route) {
    motion::MotionSettings s;
    s.model = motion::MotionModel::route;
    s.routeFile = *r.route;
    s.trackTime = r.trackTime;
    s.rate = r.rate;
    if (r.speedKmh) s.routeSpeedKmh = *r.speedKmh;
    s.end = r.end == "loop"      ? motion::RouteEnd::loop
            : r.end == "reverse" ? motion::RouteEnd::reverse
                                 : motion::RouteEnd::stop;
    simulation.setMotion(motion::makeMotion(s, here));
    return;
  }
  const double speed = *r.speedKmh / kKmhPerMetrePerSecond;
  if (simulation.motion() != nullptr && simulation.motion()->steer(speed, *r.heading)) return;
  simulation.setMotion(
      std::make_unique<motion::SpeedHeadingMotion>(here, speed, *r.heading, false));
}

void jumpFix(generator::TTarnNMEAGenerator& g, double metres, double bearing) {
  double latitude = 0;
  double longitude = 0;
  const motion::GeoPoint here = mapPositionOf(g);
  GeographicLib::Geodesic::WGS84().Direct(here.latitude, here.longitude, bearing, metres, latitude,
                                          longitude);
  putLatitude(latitude, g);
  putLongitude(std::remainder(longitude, 360.0), g);
}

}  // namespace waymock::control
