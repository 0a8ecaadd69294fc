#include <cmath>
#include <cstdint>
#include <optional>

#include "generator/nmea_generator.h"
#include "support/error.h"
#include "support/units.h"

namespace waymock::generator {

namespace {

constexpr char kPrnMessage[] = "PseudoRandomCode must be between 1 and 32.";

// Float ranges are [0, upper); comparisons written so that NaN fails them.
bool inHalfOpenRange(long double value, long double upper) {
  return value >= 0 && value < upper;
}

// Adds Seconds to a degree/minute/second coordinate, stopping at 0 and at
// `limitDegrees` without touching the hemisphere.
void moveCoordinate(int& degree, int& minute, long double& second, long double seconds,
                    int limitDegrees) {
  if (std::isnan(seconds)) return;  // a move by nothing-in-particular is no move
  const long double total = degree * 3600.0L + minute * 60.0L + second + seconds;
  if (total < 0) {
    degree = 0;
    minute = 0;
    second = 0;
  } else if (total >= limitDegrees * 3600.0L) {
    degree = limitDegrees;
    minute = 0;
    second = 0;
  } else {
    const long double wholePart = std::trunc(total);
    const auto whole = static_cast<std::int64_t>(wholePart);
    degree = static_cast<int>(whole / 3600);
    minute = static_cast<int>(whole % 3600 / 60);
    second = (total - wholePart) + static_cast<long double>(whole % 60);
  }
}

long double signedDegrees(int degree, int minute, long double second, TCardinalPoint direction) {
  const long double v = degree + minute / 60.0L + second / 3600.0L;
  return direction == TCardinalPoint::cpSouth || direction == TCardinalPoint::cpEast ? -v : v;
}

}  // namespace

TSatellite::TSatellite(std::uint16_t prn) : prn_(prn) {
  if (prn < 1 || prn > 32) raise(kPrnMessage);
}

TSatellite::TSatellite(Constellation system, std::uint16_t number)
    : prn_(number), constellation_(system) {
  checkNumber(system, number);
}

void TSatellite::SetAzimuth(std::uint16_t value) {
  if (value >= 360) raise("Azimuth must be between 0 and 360.");
  azimuth_ = value;
}

void TSatellite::SetElevation(std::uint16_t value) {
  if (value > 90) raise("Elevation must be between 0 and 90.");
  elevation_ = value;
}

void TSatellite::SetSignalToNoiseRatio(std::uint16_t value) {
  if (value >= 100) raise("SignalToNoiseRatio must be between 0 and 99.");
  snr_ = value;
}

TTarnNMEAGenerator::TTarnNMEAGenerator(std::shared_ptr<const Clock> clock,
                                       std::shared_ptr<SerialPortOpener> ports)
    : clock_(clock ? std::move(clock) : systemClock()), ports_(std::move(ports)) {
  for (std::uint16_t prn = 1; prn <= 32; ++prn)
    satellites_[prn] = std::make_unique<TSatellite>(prn);
  for (const Constellation c : kConstellations) {
    if (c == Constellation::gps) continue;
    auto& table = moreSatellites_[static_cast<std::size_t>(c) - 1];
    table.reserve(satelliteCount(c));
    for (std::uint16_t number = 1; number <= satelliteCount(c); ++number)
      table.emplace_back(c, number);
  }
  utcDateTime_ = GetUTCDateTime();
}

void TTarnNMEAGenerator::setOutputFormat(const OutputFormat& format) {
  const std::string& talker = format.talker;
  const auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
  if (!talker.empty() && (talker.size() != 2 || !upper(talker[0]) || !upper(talker[1]))) {
    raise("The talker must be two uppercase letters, such as GN.");
  }
  if (const char* problem = talkerProblem(format)) raise(problem);
  format_ = format;
  const bool nmea41 = format.profile == OutputProfile::nmea41;
  const auto own = [&](std::array<char, 2> fallback) {
    return talker.empty() ? fallback : std::array<char, 2>{talker[0], talker[1]};
  };
  fixTalker_ = own(nmea41 ? std::array<char, 2>{'G', 'N'} : std::array<char, 2>{'G', 'P'});
  for (const Constellation c : kConstellations) {
    gsvTalker_[static_cast<std::size_t>(c)] =
        own(nmea41 ? constellationInfo(c).talker : std::array<char, 2>{'G', 'P'});
  }
}

void TTarnNMEAGenerator::reject(const std::string& message) const {
  if (messageAlert_ && alertHandler) alertHandler(message);
  raise(message);
}

void TTarnNMEAGenerator::SetLatitude_Degree(int value) {
  if (value < 0 || value > 90) reject("Latitude Degree must be between 0 and 90.");
  latDeg_ = value;
}

void TTarnNMEAGenerator::SetLatitude_Minute(int value) {
  if (value < 0 || value > 59) reject("Latitude Minute must be between 0 and 60.");
  latMin_ = value;
}

void TTarnNMEAGenerator::SetLatitude_Second(long double value) {
  if (!inHalfOpenRange(value, 60)) reject("Latitude Second must be between 0 and 60.");
  latSec_ = value;
}

void TTarnNMEAGenerator::SetLongitude_Degree(int value) {
  if (value < 0 || value > 180) reject("Longitude Degree must be between 0 and 180.");
  lonDeg_ = value;
}

void TTarnNMEAGenerator::SetLongitude_Minute(int value) {
  if (value < 0 || value > 59) reject("Longitude Minute must be between 0 and 60.");
  lonMin_ = value;
}

void TTarnNMEAGenerator::SetLongitude_Second(long double value) {
  if (!inHalfOpenRange(value, 60)) reject("Longitude Second must be between 0 and 60.");
  lonSec_ = value;
}

void TTarnNMEAGenerator::SetHeading(long double value) {
  if (!inHalfOpenRange(value, 360)) reject("Heading must be between 0 and 360.");
  heading_ = value;
}

void TTarnNMEAGenerator::SetMagnetic_Variation(long double value) {
  if (!inHalfOpenRange(value, 180)) reject("Magnetic Variation must be between 0 and 180.");
  magVar_ = value;
}

void TTarnNMEAGenerator::SetMagnetic_Heading(long double value) {
  if (!inHalfOpenRange(value, 360)) reject("Magnetic Heading must be between 0 and 360.");
  magHeading_ = value;
  magneticFollows_ = false;
}

std::optional<long double> TTarnNMEAGenerator::magneticCourse() const {
  if (!magneticFollows_ && format_.profile == OutputProfile::classic) return magHeading_;
  // A westerly variation puts magnetic north west of true north, so the
  // magnetic course is the larger.
  long double course = heading_;
  if (magVarDir_ == TCardinalPoint::cpWest) {
    course += magVar_;
  } else if (magVarDir_ == TCardinalPoint::cpEast) {
    course -= magVar_;
  } else {
    return std::nullopt;
  }
  course = std::fmod(course, 360.0L);
  return course < 0 ? course + 360 : course;
}

// South and east are negative on either coordinate, as in the receiver: the
// hemisphere members are not checked, so any of them may reach either one.
long double TTarnNMEAGenerator::LatitudeDegrees() const {
  return signedDegrees(latDeg_, latMin_, latSec_, latDir_);
}

long double TTarnNMEAGenerator::LongitudeDegrees() const {
  return signedDegrees(lonDeg_, lonMin_, lonSec_, lonDir_);
}

void TTarnNMEAGenerator::MoveLatitude(long double Seconds) {
  moveCoordinate(latDeg_, latMin_, latSec_, Seconds, 90);
}

void TTarnNMEAGenerator::MoveLongitude(long double Seconds) {
  moveCoordinate(lonDeg_, lonMin_, lonSec_, Seconds, 180);
}

long double TTarnNMEAGenerator::KmhToKnots(long double Value) {
  return Value * kKnotsPerKmh;
}

long double TTarnNMEAGenerator::KnotsToKmh(long double Value) {
  return Value / kKnotsPerKmh;
}

long double TTarnNMEAGenerator::kmhToKnots(long double kmh) const {
  return format_.profile == OutputProfile::nmea41 ? kmh / kKmhPerKnot : KmhToKnots(kmh);
}

long double TTarnNMEAGenerator::knotsToKmh(long double knots) const {
  return format_.profile == OutputProfile::nmea41 ? knots * kKmhPerKnot : KnotsToKmh(knots);
}

long double TTarnNMEAGenerator::MetersToFeet(long double Value) {
  return Value * 3.2808399L;
}

TDateTime TTarnNMEAGenerator::GetUTCDateTime() const {
  return useSystemDateTime_ ? clock_->utcNow() : utcDateTime_;
}

}  // namespace waymock::generator
