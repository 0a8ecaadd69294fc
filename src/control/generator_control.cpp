#include "control/generator_control.h"

#include <cmath>

#include "engine/motion_fix.h"
#include "engine/simulation.h"
#include "generator/nmea_generator.h"
#include "motion/motion_settings.h"
#include "motion/speed_heading_motion.h"
#include "support/error.h"
#include "support/units.h"

namespace waymock::control {

void checkFixChange(const FixChange& c, const Simulation& simulation) {
  const motion::Motion* m = simulation.motion();
  if (m == nullptr) return;
  // Only a route knows its length.
  if (m->progress().total && (c.latitude || c.speedKmh || c.speedKnots || c.heading)) {
    raise(
        "A route is running: it sets the position, speed and heading itself; use move or "
        "stop it first.");
  }
  if (c.altitude && m->fix().altitude) {
    raise(
        "A route with altitudes is running: it sets the altitude itself; use move or stop it "
        "first.");
  }
}

void applyFixChange(const FixChange& c, Simulation& simulation, generator::TTarnNMEAGenerator& g) {
  using generator::TTarnNMEAGenerator;
  checkFixChange(c, simulation);
  if (c.latitude) putLatitude(*c.latitude, g);
  if (c.longitude) putLongitude(*c.longitude, g);
  if (c.altitude) g.SetAltitude(*c.altitude);
  if (c.speedKmh) g.SetSpeed(g.kmhToKnots(*c.speedKmh));
  if (c.speedKnots) g.SetSpeed(*c.speedKnots);
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
  motion::Motion* m = simulation.motion();
  if (m == nullptr) return;
  if (c.latitude) m->restart({*c.latitude, *c.longitude});
  double speed = m->fix().speed;  // metres per second
  if (c.speedKmh) speed = *c.speedKmh / kKmhPerMetrePerSecond;
  if (c.speedKnots) speed = *c.speedKnots * kMetresPerNauticalMile / kSecondsPerHour;
  if (c.speedKmh || c.speedKnots || c.heading) {
    m->steer(speed, c.heading ? *c.heading : m->fix().course);
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
          {"speed_kmh", static_cast<double>(g.knotsToKmh(g.Speed()))},
          {"heading", static_cast<double>(g.Heading())},
          {"pdop", static_cast<double>(g.PDOP())},
          {"hdop", static_cast<double>(g.HDOP())},
          {"vdop", static_cast<double>(g.VDOP())},
          {"satellites", satellites}};
}

std::unique_ptr<motion::Motion> loadRouteMotion(const MoveRequest& r) {
  motion::MotionSettings s;
  s.model = motion::MotionModel::route;
  s.routeFile = r.route.value_or("");
  s.trackTime = r.trackTime;
  s.rate = r.rate;
  if (r.speedKmh) s.routeSpeedKmh = *r.speedKmh;
  s.end = r.end == "loop"      ? motion::RouteEnd::loop
          : r.end == "reverse" ? motion::RouteEnd::reverse
                               : motion::RouteEnd::stop;
  // A route begins at its own first point.
  return motion::makeMotion(s, {});
}

void applyMove(const MoveRequest& r, std::unique_ptr<motion::Motion> route, Simulation& simulation,
               const generator::TTarnNMEAGenerator& g) {
  if (r.steps) {
    simulation.setMotion(nullptr);
    return;
  }
  if (r.route) {
    simulation.setMotion(std::move(route));
    return;
  }
  const double speed = *r.speedKmh / kKmhPerMetrePerSecond;
  if (simulation.motion() != nullptr && simulation.motion()->steer(speed, *r.heading)) return;
  simulation.setMotion(
      std::make_unique<motion::SpeedHeadingMotion>(mapPositionOf(g), speed, *r.heading, false));
}

}  // namespace waymock::control
