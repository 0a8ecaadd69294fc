#include "engine/simulator_settings.h"

#include <climits>
#include <cmath>
#include <exception>

#include "engine/simulation.h"
#include "generator/nmea_generator.h"
#include "platform/udp_sender.h"
#include "support/error.h"

namespace waymock {

namespace {

// Runs one copying step; any error gives the step's fallback instead, so one
// bad value never keeps the others from the generator.
template <typename Step, typename Fallback>
void guarded(Step step, Fallback fallback) {
  try {
    step();
  } catch (const std::exception&) {
    fallback();
  }
}

long double finite(long double value) {
  if (!std::isfinite(value)) raise("Not a number.");
  return value;
}

}  // namespace

void ApplyStartPosition(const SimulatorSettings& s, generator::TTarnNMEAGenerator& g) {
  guarded([&] { g.SetLatitude_Degree(s.latitudeDegree); }, [&] { g.SetLatitude_Degree(0); });
  guarded([&] { g.SetLatitude_Minute(s.latitudeMinute); }, [&] { g.SetLatitude_Minute(0); });
  guarded([&] { g.SetLatitude_Second(s.latitudeSecond); }, [&] { g.SetLatitude_Second(0); });
  g.SetLatitude_Direction(s.latitudeDirection == "North" ? TCardinalPoint::cpNorth
                                                         : TCardinalPoint::cpSouth);
  guarded([&] { g.SetLongitude_Degree(s.longitudeDegree); }, [&] { g.SetLongitude_Degree(0); });
  guarded([&] { g.SetLongitude_Minute(s.longitudeMinute); }, [&] { g.SetLongitude_Minute(0); });
  guarded([&] { g.SetLongitude_Second(s.longitudeSecond); }, [&] { g.SetLongitude_Second(0); });
  g.SetLongitude_Direction(s.longitudeDirection == "East" ? TCardinalPoint::cpEast
                                                          : TCardinalPoint::cpWest);
}

generator::OutputFormat outputFormatOf(const SimulatorSettings& s) {
  using generator::Constellation;
  generator::OutputFormat format;
  if (s.outputProfile == "nmea41") format.profile = generator::OutputProfile::nmea41;
  // The window's choice is always one form; it is kept only where it is not
  // the profile's own, so the defaults compare equal to the CLI's.
  const auto zda =
      s.zdaForm == "standard" ? generator::ZdaForm::standard : generator::ZdaForm::classic;
  if (zda != generator::zdaFormOf(format)) format.zda = zda;
  format.constellations.clear();
  const std::pair<bool, Constellation> systems[] = {{s.gpsSatellites, Constellation::gps},
                                                    {s.glonassSatellites, Constellation::glonass},
                                                    {s.galileoSatellites, Constellation::galileo},
                                                    {s.beidouSatellites, Constellation::beidou}};
  for (const auto& [checked, system] : systems) {
    if (checked) format.constellations.insert(system);
  }
  const auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
  if (s.talker.size() == 2 && upper(s.talker[0]) && upper(s.talker[1])) format.talker = s.talker;
  if (generator::talkerProblem(format) != nullptr) format.talker.clear();
  return format;
}

int timerIntervalMilliseconds(long double seconds) {
  if (!std::isfinite(seconds)) return 1000;
  const long double milliseconds = std::trunc(seconds) * 1000;
  // A timer counts at most INT_MAX ms (about 24.8 days); a longer interval
  // waits that long rather than wrapping to a tiny or negative one.
  if (milliseconds >= static_cast<long double>(INT_MAX)) return INT_MAX;
  if (milliseconds < 1000) return 1000;
  return static_cast<int>(milliseconds);
}

int ApplySettings(const SimulatorSettings& s, generator::TTarnNMEAGenerator& g,
                  SimulationSettings& simulation, UdpSender& udp) {
  // The profile first: it says how the km/h become knots.
  g.setOutputFormat(outputFormatOf(s));
  guarded([&] { g.SetAltitude(finite(s.altitude)); }, [&] { g.SetAltitude(0); });
  guarded([&] { g.SetSpeed(g.kmhToKnots(finite(s.speed))); }, [&] { g.SetSpeed(0); });
  guarded([&] { g.SetHeading(s.heading); }, [&] { g.SetHeading(0); });
  guarded([&] { g.SetGeo_Height(finite(s.geoHeight)); }, [&] { g.SetGeo_Height(0); });
  guarded([&] { g.SetMagnetic_Variation(s.magneticVariation); },
          [&] { g.SetMagnetic_Variation(0); });
  g.SetMagnetic_Variation_Direction(
      s.magneticVariationDirection == "East" ? TCardinalPoint::cpEast : TCardinalPoint::cpWest);
  guarded([&] { g.SetMagnetic_Heading(s.magneticHeading); }, [&] { g.SetMagnetic_Heading(0); });
  guarded([&] { g.SetPDOP(finite(s.pdop)); }, [&] { g.SetPDOP(0); });
  guarded([&] { g.SetHDOP(finite(s.hdop)); }, [&] { g.SetHDOP(0); });
  guarded([&] { g.SetVDOP(finite(s.vdop)); }, [&] { g.SetVDOP(0); });
  guarded([&] { simulation.latitudeShortStep = finite(s.latitudeShortStep); },
          [&] { simulation.latitudeShortStep = 1; });
  guarded([&] { simulation.longitudeShortStep = finite(s.longitudeShortStep); },
          [&] { simulation.longitudeShortStep = 1; });
  guarded([&] { simulation.latitudeLongStep = finite(s.latitudeLongStep); },
          [&] { simulation.latitudeLongStep = 5; });
  guarded([&] { simulation.longitudeLongStep = finite(s.longitudeLongStep); },
          [&] { simulation.longitudeLongStep = 5; });
  const int interval = timerIntervalMilliseconds(s.interval);

  using generator::TNMEACommand;
  generator::TNMEACommands commands;
  const std::pair<bool, TNMEACommand> boxes[] = {
      {s.gpgll, TNMEACommand::GPGLL}, {s.gprmc, TNMEACommand::GPRMC},
      {s.gpvtg, TNMEACommand::GPVTG}, {s.gpgga, TNMEACommand::GPGGA},
      {s.gpgsa, TNMEACommand::GPGSA}, {s.gpgsv, TNMEACommand::GPGSV},
      {s.gpzda, TNMEACommand::GPZDA}};
  for (const auto& [checked, command] : boxes) {
    if (checked) commands.insert(command);
  }
  g.SetCommands(commands);

  if (s.udp) {
    guarded(
        [&] {
          const int port = static_cast<int>(std::lround(finite(s.udpPort)));
          if (udp.host() != s.udpHost || udp.port() != port) udp.setDestination(s.udpHost, port);
        },
        [] {});
  }
  return interval;
}

receiver::ReplayPace replayPaceOf(const SimulatorSettings& settings) {
  receiver::ReplayPace pace;
  pace.delay = timerIntervalMilliseconds(settings.interval);
  pace.paced = settings.replayPaced;
  pace.rate = settings.replayRate;
  pace.loop = settings.replayLoop;
  return pace;
}

motion::MotionSettings motionSettingsOf(const SimulatorSettings& settings) {
  using motion::MotionModel;
  using motion::RouteEnd;
  motion::MotionSettings chosen;
  chosen.model = settings.motionModel == "Speed and heading" ? MotionModel::speedHeading
                 : settings.motionModel == "Route"           ? MotionModel::route
                                                             : MotionModel::steps;
  chosen.speedKmh = static_cast<double>(settings.speed);
  chosen.heading = static_cast<double>(settings.heading);
  chosen.geodesic = settings.motionGeodesic;
  chosen.routeFile = settings.routeFile;
  chosen.trackTime = settings.routeTrackTime;
  chosen.routeSpeedKmh = static_cast<double>(settings.routeSpeed);
  chosen.rate = static_cast<double>(settings.routeRate);
  chosen.end = settings.routeEnd == "Loop"        ? RouteEnd::loop
               : settings.routeEnd == "Turn back" ? RouteEnd::reverse
                                                  : RouteEnd::stop;
  chosen.useTrackTime = settings.useTrackTime;
  chosen.noiseMetres = static_cast<double>(settings.noiseMetres);
  chosen.seed = static_cast<std::uint64_t>(settings.noiseSeed);
  return chosen;
}

}  // namespace waymock
