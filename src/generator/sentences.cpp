// Sentence text. Example burst line:
// $GPRMC,123519.000,A,4807.0380,N,01131.0000,E,22.4,84.4,230324,3.1,W,A*12
#include <cmath>
#include <cstdint>

#include "generator/nmea_generator.h"
#include "support/number_text.h"

namespace waymock::generator {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::uint8_t xorOf(std::string_view text) {
  if (!text.empty() && text.front() == '$') text.remove_prefix(1);
  std::uint8_t sum = 0;
  for (char c : text) sum ^= static_cast<std::uint8_t>(c);
  return sum;
}

// Closes the sentence that starts at `start` with "*", its checksum and CR LF.
void finishSentence(std::string& out, std::size_t start) {
  const std::uint8_t sum = xorOf(std::string_view(out).substr(start));
  const char tail[] = {'*', kHexDigits[sum >> 4], kHexDigits[sum & 0xF], '\r', '\n'};
  out.append(tail, sizeof tail);
}

void appendTwo(std::string& out, int value) {
  appendUnsigned(out, static_cast<unsigned>(value), 2);
}

// hhmmss.sss
void appendTime(std::string& out, const DateTimeParts& t) {
  appendTwo(out, t.hour);
  appendTwo(out, t.minute);
  appendTwo(out, t.second);
  out += '.';
  appendUnsigned(out, static_cast<unsigned>(t.millisecond), 3);
}

// A year outside 1..9999 cannot come out of a day count we accept, but keep
// the digits honest rather than wrap.
std::uint64_t yearDigits(int year) {
  return static_cast<std::uint64_t>(year < 0 ? -year : year);
}

// ddmm.mmmm,h (latitude) or dddmm.mmmm,h (longitude). The minute fraction is
// rounded half to even; a fraction that rounds up to a whole minute carries
// into minutes and degrees so the field always keeps four decimals.
void appendCoordinate(std::string& out, int degree, int minute, long double second, int degreeWidth,
                      char hemisphere) {
  const long double fraction = std::nearbyint(second / 60.0L * 10000.0L);
  std::int64_t tenThousandths =
      fraction >= 0 && fraction < 1e12L ? static_cast<std::int64_t>(fraction) : 0;
  std::int64_t minutes = minute + tenThousandths / 10000;
  tenThousandths %= 10000;
  const std::int64_t degrees = degree + minutes / 60;
  minutes %= 60;
  appendUnsigned(out, static_cast<std::uint64_t>(degrees < 0 ? 0 : degrees), degreeWidth);
  appendUnsigned(out, static_cast<std::uint64_t>(minutes < 0 ? 0 : minutes), 2);
  out += '.';
  appendUnsigned(out, static_cast<std::uint64_t>(tenThousandths), 4);
  out += ',';
  out += hemisphere;
}

// A value rounded to two decimals, then in the general decimal form.
void appendNumber(std::string& out, long double value) {
  appendGeneral(out, RoundTo2(static_cast<double>(value)));
}

}  // namespace

std::string TTarnNMEAGenerator::CheckSum(std::string_view text) {
  const std::uint8_t sum = xorOf(text);
  return {kHexDigits[sum >> 4], kHexDigits[sum & 0xF]};
}

void TTarnNMEAGenerator::appendGPGGA(std::string& out) const {
  const std::size_t start = out.size();
  out += "$GPGGA,";
  appendTime(out, decodeDateTime(GetUTCDateTime()));
  out += ',';
  appendCoordinate(out, latDeg_, latMin_, latSec_, 2,
                   latDir_ == TCardinalPoint::cpNorth ? 'N' : 'S');
  out += ',';
  appendCoordinate(out, lonDeg_, lonMin_, lonSec_, 3,
                   lonDir_ == TCardinalPoint::cpEast ? 'E' : 'W');
  out += ",1,4,";
  appendNumber(out, hdop_);
  out += ',';
  appendNumber(out, altitude_);
  out += ",M,";
  appendNumber(out, geoHeight_);
  out += ",M,,";
  finishSentence(out, start);
}

void TTarnNMEAGenerator::appendGPGLL(std::string& out) const {
  const std::size_t start = out.size();
  out += "$GPGLL,";
  appendCoordinate(out, latDeg_, latMin_, latSec_, 2,
                   latDir_ == TCardinalPoint::cpNorth ? 'N' : 'S');
  out += ',';
  appendCoordinate(out, lonDeg_, lonMin_, lonSec_, 3,
                   lonDir_ == TCardinalPoint::cpEast ? 'E' : 'W');
  out += ',';
  appendTime(out, decodeDateTime(GetUTCDateTime()));
  out += ",A,A";
  finishSentence(out, start);
}

void TTarnNMEAGenerator::appendGPRMC(std::string& out) const {
  const std::size_t start = out.size();
  // One clock reading for both the time and the date, so a sentence formatted
  // across midnight never pairs 23:59:59.999 with the next day's date.
  const DateTimeParts now = decodeDateTime(GetUTCDateTime());
  out += "$GPRMC,";
  appendTime(out, now);
  out += ",A,";
  appendCoordinate(out, latDeg_, latMin_, latSec_, 2,
                   latDir_ == TCardinalPoint::cpNorth ? 'N' : 'S');
  out += ',';
  appendCoordinate(out, lonDeg_, lonMin_, lonSec_, 3,
                   lonDir_ == TCardinalPoint::cpEast ? 'E' : 'W');
  out += ',';
  appendNumber(out, speed_);
  out += ',';
  appendNumber(out, heading_);
  out += ',';
  appendTwo(out, now.day);
  appendTwo(out, now.month);
  appendUnsigned(out, yearDigits(now.year) % 100, 2);
  out += ',';
  appendNumber(out, magVar_);
  out += ',';
  if (magVarDir_ == TCardinalPoint::cpEast) out += 'E';
  if (magVarDir_ == TCardinalPoint::cpWest) out += 'W';
  out += ",A";
  finishSentence(out, start);
}

void TTarnNMEAGenerator::appendGPVTG(std::string& out) const {
  const std::size_t start = out.size();
  out += "$GPVTG,";
  appendGeneral(out, heading_);
  out += ",T,";
  appendNumber(out, magHeading_);
  out += ",M,";
  const double knots = RoundTo2(static_cast<double>(speed_));
  appendGeneral(out, knots);
  out += ",N,";
  appendGeneral(out, KnotsToKmh(knots));
  out += ",K,A";
  finishSentence(out, start);
}

void TTarnNMEAGenerator::appendGPGSA(std::string& out) const {
  const std::size_t start = out.size();
  // The satellite slots are fixed text; they do not follow the table.
  out += "$GPGSA,A,3,13,01,16,,24,,,,,,,,";
  appendNumber(out, pdop_);
  out += ',';
  appendNumber(out, hdop_);
  out += ',';
  appendNumber(out, vdop_);
  finishSentence(out, start);
}

void TTarnNMEAGenerator::appendGPGSV(std::string& out) const {
  unsigned count = 0;
  for (std::size_t prn = 1; prn <= 32; ++prn) {
    if (satellites_[prn] && satellites_[prn]->Active()) ++count;
  }
  const unsigned total = count / 4 + (count % 4 != 0 ? 1 : 0);
  unsigned i = 0;
  std::size_t start = out.size();
  for (std::size_t prn = 1; prn <= 32; ++prn) {
    const TSatellite* sat = satellites_[prn].get();
    if (!sat || !sat->Active()) continue;
    if (i % 4 == 0) {
      start = out.size();
      out += "$GPGSV,";
      appendUnsigned(out, total);
      out += ',';
      appendUnsigned(out, i / 4 + 1);
      out += ',';
      appendUnsigned(out, count);
      out += ',';
    }
    appendUnsigned(out, sat->PseudoRandomCode());
    out += ',';
    appendUnsigned(out, sat->Elevation());
    out += ',';
    appendUnsigned(out, sat->Azimuth());
    out += ',';
    appendUnsigned(out, sat->SignalToNoiseRatio());
    if (i % 4 == 3 || i + 1 == count) {
      finishSentence(out, start);
    } else {
      out += ',';
    }
    ++i;
  }
}

void TTarnNMEAGenerator::appendGPZDA(std::string& out) const {
  const std::size_t start = out.size();
  const DateTimeParts now = decodeDateTime(GetUTCDateTime());
  out += "$GPZDA,";
  appendTime(out, now);
  out += ',';
  appendTwo(out, now.day);
  appendTwo(out, now.month);
  appendUnsigned(out, yearDigits(now.year), 4);
  out += ",00,00";
  finishSentence(out, start);
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
  out.reserve(512);
  appendSentences(out);
  return out;
}

}  // namespace waymock::generator
