// Sentence text. Example burst line:
// $GPRMC,123519.000,A,4807.0380,N,01131.0000,E,22.4,84.4,230324,3.1,W,A*12
#include <cstdint>
#include <optional>

#include "generator/nmea_generator.h"
#include "generator/sentence_text.h"
#include "support/error.h"
#include "support/nmea_checksum.h"
#include "support/number_text.h"

namespace waymock::generator {

using detail::appendSentence;
using detail::latitudeLetter;
using detail::longitudeLetter;
using detail::Sentence;
using detail::yearDigits;

namespace detail {

Sentence& Sentence::kilometresOfKnots(std::size_t at, std::size_t end) {
  const std::size_t from = n_;
  if (at == end) return *this;
  bool negative = false;
  bool point = false;
  int decimals = 0;
  std::uint64_t units = 0;  // the knots in units of their last decimal
  for (std::size_t i = at; i < end; ++i) {
    const char c = buffer_[i];
    if (c == '-') {
      negative = true;
    } else if (c == '.') {
      point = true;
    } else {
      units = units * 10 + static_cast<std::uint64_t>(c - '0');
      if (point) ++decimals;
    }
  }
  // units × 1852 / 1000, rounded; split as units = 1000 a + b so that no
  // product overflows for knots below 1e15, the most a fitted number holds.
  const std::uint64_t a = units / 1000;
  const std::uint64_t b = units % 1000;
  const std::uint64_t kmh = units + 852 * a + (852 * b + 500) / 1000;
  std::uint64_t scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  if (negative && kmh != 0) ch('-');
  unsignedInt(kmh / scale);
  if (decimals > 0) ch('.').unsignedInt(kmh % scale, decimals);
  return keepWithin(from);
}

}  // namespace detail

std::string TTarnNMEAGenerator::CheckSum(std::string_view text) {
  if (!text.empty() && text.front() == '$') text.remove_prefix(1);
  const auto digits = upperHexDigits(nmeaChecksum(text));
  return {digits.begin(), digits.end()};
}

void TTarnNMEAGenerator::appendGPGGA(std::string& out) const {
  const bool nmea41 = format_.profile == OutputProfile::nmea41;
  const DateTimeParts now = decodeDateTime(GetUTCDateTime());
  // Field 7, satellites in use: nmea41 counts those its GSA sentences name,
  // in at least two digits.
  unsigned used = 0;
  if (nmea41) {
    for (const Constellation c : kConstellations) {
      if (format_.constellations.contains(c)) used += usedSatellites(c, nullptr, 0);
    }
  }
  appendSentence(out, fixTalker_, "GGA,", nmea41, [&](Sentence& s) {
    s.time(now).ch(',');
    s.coordinate(latDeg_, latMin_, latSec_, 2, latitudeLetter(latDir_)).ch(',');
    s.coordinate(lonDeg_, lonMin_, lonSec_, 3, longitudeLetter(lonDir_));
    if (nmea41) {
      s.text(",1,").unsignedInt(used, 2).ch(',');
    } else {
      s.text(",1,4,");
    }
    s.number(hdop_).ch(',').number(altitude_).text(",M,").number(geoHeight_).text(",M,,");
  });
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
  const bool nmea41 = format_.profile == OutputProfile::nmea41;
  // One clock reading for both the time and the date, so a sentence formatted
  // across midnight never pairs 23:59:59.999 with the next day's date.
  const DateTimeParts now = decodeDateTime(GetUTCDateTime());
  appendSentence(out, fixTalker_, "RMC,", nmea41, [&](Sentence& s) {
    s.time(now).text(",A,");
    s.coordinate(latDeg_, latMin_, latSec_, 2, latitudeLetter(latDir_)).ch(',');
    s.coordinate(lonDeg_, lonMin_, lonSec_, 3, longitudeLetter(lonDir_)).ch(',');
    s.number(speed_).ch(',').course(heading_).ch(',');
    s.two(now.day).two(now.month).unsignedInt(yearDigits(now.year) % 100, 2).ch(',');
    s.number(magVar_).ch(',');
    if (magVarDir_ == TCardinalPoint::cpEast) s.ch('E');
    if (magVarDir_ == TCardinalPoint::cpWest) s.ch('W');
    s.text(",A");  // field 12, mode: autonomous
    // Field 13, navigational status (NMEA 4.10): "V", no integrity
    // monitoring, as receivers without it send.
    if (nmea41) s.text(",V");
  });
}

void TTarnNMEAGenerator::appendGPVTG(std::string& out) const {
  const bool nmea41 = format_.profile == OutputProfile::nmea41;
  const std::optional<long double> magnetic = magneticCourse();
  appendSentence(out, fixTalker_, "VTG,", nmea41, [&](Sentence& s) {
    // The classic profile writes the true course unrounded and the km/h as
    // the knots over 0.5397 in the general form, from the extended quotient;
    // nmea41 both courses as RMC's, and the km/h as the knots × 1.852.
    if (nmea41) {
      s.course(heading_);
    } else {
      s.rawCourse(heading_);
    }
    s.text(",T,");
    if (magnetic) s.course(*magnetic);
    s.text(",M,");
    const std::size_t knotsAt = s.size();
    s.number(speed_);
    const std::size_t knotsEnd = s.size();
    s.text(",N,");
    if (nmea41) {
      s.kilometresOfKnots(knotsAt, knotsEnd);
    } else {
      s.raw(KnotsToKmh(RoundTo2(static_cast<double>(speed_))));
    }
    s.text(",K,A");
  });
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
  if (zdaFormOf(format_) == ZdaForm::standard) {
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
