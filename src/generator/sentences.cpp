// Sentence text. Example burst line:
// $GPRMC,123519.000,A,4807.0380,N,01131.0000,E,22.4,84.4,230324,3.1,W,A*12
#include <cmath>
#include <cstdint>

#include "generator/nmea_generator.h"
#include "generator/sentence_text.h"
#include "support/error.h"
#include "support/nmea_checksum.h"
#include "support/number_text.h"

namespace waymock::generator {

using detail::latitudeLetter;
using detail::longitudeLetter;
using detail::Sentence;
using detail::yearDigits;

std::string TTarnNMEAGenerator::CheckSum(std::string_view text) {
  if (!text.empty() && text.front() == '$') text.remove_prefix(1);
  const auto digits = upperHexDigits(nmeaChecksum(text));
  return {digits.begin(), digits.end()};
}

void TTarnNMEAGenerator::appendGPGGA(std::string& out) const {
  Sentence s(fixTalker_, "GGA,");
  s.time(decodeDateTime(GetUTCDateTime())).ch(',');
  s.coordinate(latDeg_, latMin_, latSec_, 2, latitudeLetter(latDir_)).ch(',');
  s.coordinate(lonDeg_, lonMin_, lonSec_, 3, longitudeLetter(lonDir_));
  if (format_.profile == OutputProfile::nmea41) {
    // Field 7, satellites in use: what the GSA sentences list, and the
    // strongest beyond their 12 slots, in two digits.
    unsigned used = 0;
    for (const Constellation c : kConstellations) {
      if (format_.constellations.contains(c)) used += usedSatellites(c, nullptr, 0);
    }
    s.text(",1,").unsignedInt(used < 99 ? used : 99, 2).ch(',');
  } else {
    s.text(",1,4,");
  }
  s.number(hdop_).ch(',').number(altitude_).text(",M,").number(geoHeight_).text(",M,,");
  s.finish(out);
}

void TTarnNMEAGenerator::appendGPGLL(std::string& out) const {
  // The mode field (7) is there in either profile.
  Sentence s(fixTalker_, "GLL,");
  s.coordinate(latDeg_, latMin_, latSec_, 2, latitudeLetter(latDir_)).ch(',');
  s.coordinate(lonDeg_, lonMin_, lonSec_, 3, longitudeLetter(lonDir_)).ch(',');
  s.time(decodeDateTime(GetUTCDateTime())).text(",A,A");
  s.finish(out);
}

void TTarnNMEAGenerator::appendGPRMC(std::string& out) const {
  // One clock reading for both the time and the date, so a sentence formatted
  // across midnight never pairs 23:59:59.999 with the next day's date.
  const DateTimeParts now = decodeDateTime(GetUTCDateTime());
  Sentence s(fixTalker_, "RMC,");
  s.time(now).text(",A,");
  s.coordinate(latDeg_, latMin_, latSec_, 2, latitudeLetter(latDir_)).ch(',');
  s.coordinate(lonDeg_, lonMin_, lonSec_, 3, longitudeLetter(lonDir_)).ch(',');
  s.number(speed_).ch(',').number(heading_).ch(',');
  s.two(now.day).two(now.month).unsignedInt(yearDigits(now.year) % 100, 2).ch(',');
  s.number(magVar_).ch(',');
  if (magVarDir_ == TCardinalPoint::cpEast) s.ch('E');
  if (magVarDir_ == TCardinalPoint::cpWest) s.ch('W');
  s.text(",A");  // field 12, mode: autonomous
  // Field 13, navigational status (NMEA 4.10): "V", no integrity monitoring,
  // as receivers without it send.
  if (format_.profile == OutputProfile::nmea41) s.text(",V");
  s.finish(out);
}

namespace {

// Digits after the point of a number as the general form wrote it; none for
// the exponent form.
int decimalsOf(std::string_view number) {
  const std::size_t point = number.find('.');
  if (point == std::string_view::npos || number.find('E') != std::string_view::npos) return 0;
  return static_cast<int>(number.size() - point - 1);
}

}  // namespace

void TTarnNMEAGenerator::appendGPVTG(std::string& out) const {
  const double knots = RoundTo2(static_cast<double>(speed_));
  Sentence s(fixTalker_, "VTG,");
  s.raw(heading_).text(",T,").number(magHeading_).text(",M,");
  const std::size_t knotsAt = s.size();
  s.raw(knots);
  const auto kmh = static_cast<double>(KnotsToKmh(knots));
  // nmea41: km/h to as many decimals as the knots carry (22.4 N, 41.5 K);
  // the classic profile writes the quotient in the general form.
  if (format_.profile == OutputProfile::nmea41 && std::fabs(kmh) < 1e15) {
    const int decimals = decimalsOf(s.since(knotsAt));
    s.text(",N,").fixed(kmh, decimals);
  } else {
    s.text(",N,").raw(kmh);
  }
  s.text(",K,A");
  s.finish(out);
}

void TTarnNMEAGenerator::appendGPGSA(std::string& out) const {
  if (format_.profile == OutputProfile::nmea41) return appendConstellationGSA(out);
  // The satellite slots are fixed text; they do not follow the table.
  Sentence s(fixTalker_, "GSA,A,3,13,01,16,,24,,,,,,,,");
  s.number(pdop_).ch(',').number(hdop_).ch(',').number(vdop_);
  s.finish(out);
}

void TTarnNMEAGenerator::appendGPGSV(std::string& out) const {
  if (format_.profile == OutputProfile::nmea41) return appendConstellationGSV(out);
  const TSatellite* active[32];
  unsigned count = 0;
  for (std::size_t prn = 1; prn <= 32; ++prn) {
    if (satellites_[prn] && satellites_[prn]->Active()) active[count++] = satellites_[prn].get();
  }
  const unsigned total = count / 4 + (count % 4 != 0 ? 1 : 0);
  for (unsigned first = 0; first < count; first += 4) {
    Sentence s(gsvTalker_[0], "GSV,");
    s.unsignedInt(total).ch(',').unsignedInt(first / 4 + 1).ch(',').unsignedInt(count);
    // The last page holds only the rest; it is not padded to four.
    for (unsigned i = first; i < count && i < first + 4; ++i) {
      const TSatellite& sat = *active[i];
      s.ch(',').unsignedInt(sat.PseudoRandomCode()).ch(',').unsignedInt(sat.Elevation());
      s.ch(',').unsignedInt(sat.Azimuth()).ch(',').unsignedInt(sat.SignalToNoiseRatio());
    }
    s.finish(out);
  }
}

void TTarnNMEAGenerator::appendGPZDA(std::string& out) const {
  const DateTimeParts now = decodeDateTime(GetUTCDateTime());
  Sentence s(fixTalker_, "ZDA,");
  s.time(now).ch(',');
  if (format_.zda == ZdaForm::standard) {
    s.two(now.day).ch(',').two(now.month).ch(',');  // fields 2 and 3
  } else {
    s.two(now.day).two(now.month);  // one field, ddmmyyyy
  }
  s.unsignedInt(yearDigits(now.year), 4);
  s.text(",00,00");
  s.finish(out);
}

namespace {

template <void (TTarnNMEAGenerator::*Append)(std::string&) const>
std::string build(const TTarnNMEAGenerator& generator) {
  std::string out;
  out.reserve(96);
  (generator.*Append)(out);
  return out;
}

}  // namespace

std::string TTarnNMEAGenerator::GetGPGGA() const {
  return build<&TTarnNMEAGenerator::appendGPGGA>(*this);
}
std::string TTarnNMEAGenerator::GetGPGLL() const {
  return build<&TTarnNMEAGenerator::appendGPGLL>(*this);
}
std::string TTarnNMEAGenerator::GetGPRMC() const {
  return build<&TTarnNMEAGenerator::appendGPRMC>(*this);
}
std::string TTarnNMEAGenerator::GetGPVTG() const {
  return build<&TTarnNMEAGenerator::appendGPVTG>(*this);
}
std::string TTarnNMEAGenerator::GetGPGSA() const {
  return build<&TTarnNMEAGenerator::appendGPGSA>(*this);
}
std::string TTarnNMEAGenerator::GetGPGSV() const {
  return build<&TTarnNMEAGenerator::appendGPGSV>(*this);
}
std::string TTarnNMEAGenerator::GetGPZDA() const {
  return build<&TTarnNMEAGenerator::appendGPZDA>(*this);
}

void TTarnNMEAGenerator::appendSentences(std::string& out) const {
  // Burst order differs from the declaration order of the identifiers.
  struct Step {
    TNMEACommand command;
    void (TTarnNMEAGenerator::*append)(std::string&) const;
  };
  static constexpr Step kBurst[] = {
      {TNMEACommand::GPZDA, &TTarnNMEAGenerator::appendGPZDA},
      {TNMEACommand::GPGGA, &TTarnNMEAGenerator::appendGPGGA},
      {TNMEACommand::GPGLL, &TTarnNMEAGenerator::appendGPGLL},
      {TNMEACommand::GPVTG, &TTarnNMEAGenerator::appendGPVTG},
      {TNMEACommand::GPRMC, &TTarnNMEAGenerator::appendGPRMC},
      {TNMEACommand::GPGSA, &TTarnNMEAGenerator::appendGPGSA},
      {TNMEACommand::GPGSV, &TTarnNMEAGenerator::appendGPGSV},
  };
  for (const Step& step : kBurst) {
    if (commands_.contains(step.command)) (this->*step.append)(out);
  }
}

std::string TTarnNMEAGenerator::GetSentences() const {
  std::string out;
  out.reserve(1024);  // a full burst with 12 satellites is about 560 bytes
  appendSentences(out);
  return out;
}

}  // namespace waymock::generator
