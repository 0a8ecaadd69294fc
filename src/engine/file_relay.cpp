#include "engine/file_relay.h"

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "generator/nmea_generator.h"
#include "receiver/custom_gps_receiver.h"
#include "support/error.h"
#include "support/number_text.h"

namespace waymock {

namespace {

using generator::TTarnNMEAGenerator;

// The generator takes 16-bit satellite values. Anything outside that range
// becomes the largest one, which every check rejects, instead of wrapping
// round to a value that might pass.
std::uint16_t satelliteValue(int value) {
  constexpr int kMax = std::numeric_limits<std::uint16_t>::max();
  return static_cast<std::uint16_t>(value < 0 || value > kMax ? kMax : value);
}

// The generator's fix as relay() copies it, to put back when a copy fails
// part-way.
struct Fix {
  int latDeg, latMin;
  long double latSec;
  TCardinalPoint latDir;
  int lonDeg, lonMin;
  long double lonSec;
  TCardinalPoint lonDir;
  long double altitude, speed, heading;

  static Fix of(const TTarnNMEAGenerator& g) {
    return {g.Latitude_Degree(),  g.Latitude_Minute(),
            g.Latitude_Second(),  g.Latitude_Direction(),
            g.Longitude_Degree(), g.Longitude_Minute(),
            g.Longitude_Second(), g.Longitude_Direction(),
            g.Altitude(),         g.Speed(),
            g.Heading()};
  }
  // Every value came from the generator, so its setters take them back.
  void restore(TTarnNMEAGenerator& g) const {
    g.SetLatitude_Degree(latDeg);
    g.SetLatitude_Minute(latMin);
    g.SetLatitude_Second(latSec);
    g.SetLatitude_Direction(latDir);
    g.SetLongitude_Degree(lonDeg);
    g.SetLongitude_Minute(lonMin);
    g.SetLongitude_Second(lonSec);
    g.SetLongitude_Direction(lonDir);
    g.SetAltitude(altitude);
    g.SetSpeed(speed);
    g.SetHeading(heading);
  }
};

}  // namespace

FileRelay::FileRelay(generator::TTarnNMEAGenerator& generator,
                     const receiver::TTarnCustomGPSReceiver& receiver, UdpSender* udp)
    : Transmitter(udp, PortWrite::inTick), generator_(generator), receiver_(receiver) {}

int FileRelay::relay() {
  if (!copyFix()) return 0;
  // The UDP copy goes out whether or not the port took the burst.
  return transmit(generator_);
}

bool FileRelay::copyFix() {
  const auto& p = receiver_.Position();
  const Fix before = Fix::of(generator_);
  std::string value;  // the value being set, for the report
  auto set = [&value](const char* name, auto number, auto setter) {
    value = name;
    value += ' ';
    value += formatGeneral(static_cast<long double>(number));
    setter(number);
  };
  auto& g = generator_;
  // A skipped burst is no question for the user: no message box per burst.
  struct QuietAlerts {
    TTarnNMEAGenerator& g;
    bool was = g.MessageAlert();
    ~QuietAlerts() { g.SetMessageAlert(was); }
  } quiet{g};
  g.SetMessageAlert(false);
  try {
    set("Latitude_Degree", p.Latitude_Degree, [&g](int v) { g.SetLatitude_Degree(v); });
    set("Latitude_Minute", p.Latitude_Minute, [&g](int v) { g.SetLatitude_Minute(v); });
    set("Latitude_Second", p.Latitude_Second, [&g](long double v) { g.SetLatitude_Second(v); });
    g.SetLatitude_Direction(p.Latitude_Direction);
    set("Longitude_Degree", p.Longitude_Degree, [&g](int v) { g.SetLongitude_Degree(v); });
    set("Longitude_Minute", p.Longitude_Minute, [&g](int v) { g.SetLongitude_Minute(v); });
    set("Longitude_Second", p.Longitude_Second, [&g](long double v) { g.SetLongitude_Second(v); });
    g.SetLongitude_Direction(p.Longitude_Direction);
    // Both sides hold metres and knots.
    g.SetAltitude(p.Altitude);
    g.SetSpeed(p.Speed);
    set("Heading", p.Heading, [&g](long double v) { g.SetHeading(v); });
  } catch (const Error& error) {
    before.restore(g);
    if (skipped_++ == 0 && onFirstSkipped) onFirstSkipped(error.what(), value);
    return false;
  }
  return true;
}

void FileRelay::portTook() {
  generator_.ClearSatellites();
  using generator::Constellation;
  for (const receiver::TSatellite& s : receiver_.Satellites()) {
    // Each talker's numbers (NMEA 4.11: GLONASS as 64 + its slot) into the
    // table of its constellation, so the nmea41 profile sends them all again.
    const std::string_view talker(s.Talker.data(), s.Talker.size());
    Constellation system = Constellation::gps;
    int number = s.PseudoRandomCode;
    if (talker == "GL") {
      system = Constellation::glonass;
      number -= generator::constellationInfo(system).idOffset;
    } else if (talker == "GA") {
      system = Constellation::galileo;
    } else if (talker == "GB") {
      system = Constellation::beidou;
    } else if (talker != "GP") {
      continue;
    }
    // A satellite a receiver reports on a second signal (GPS L5 after L1)
    // keeps the first one's values.
    const generator::TSatellite* slot =
        number > 0 && number <= TTarnNMEAGenerator::satelliteCount(system)
            ? generator_.satellite(system, static_cast<std::uint16_t>(number))
            : nullptr;
    if (slot != nullptr && slot->Active()) continue;
    try {
      generator_.setSatellite(system, satelliteValue(number), true, satelliteValue(s.Elevation),
                              satelliteValue(s.Azimuth), satelliteValue(s.SignalToNoiseRatio));
    } catch (const Error&) {
      // Receivers report satellites outside the table (SBAS) all the time:
      // left out without a word.
    }
  }
}

}  // namespace waymock
