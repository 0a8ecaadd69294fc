// Sentence text. Example burst line:
// $GPRMC,123519.000,A,4807.0380,N,01131.0000,E,22.4,84.4,230324,3.1,W,A*12
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

// One sentence assembled in a stack buffer and appended to the burst in one
// piece. Every field has a bounded width (numbers at most kGeneralMaxChars,
// coordinates and dates a few digits), so the longest sentence, GPRMC, stays
// far below the buffer size.
class Sentence {
 public:
  explicit Sentence(std::string_view head) { text(head); }

  Sentence& text(std::string_view s) {
    for (char c : s) buffer_[n_++] = c;
    return *this;
  }
  Sentence& ch(char c) {
    buffer_[n_++] = c;
    return *this;
  }
  Sentence& unsignedInt(std::uint64_t value, int width = 0) {
    if (value < 10 && width <= 1) {
      buffer_[n_++] = static_cast<char>('0' + value);
    } else if (value < 100 && width <= 2) {
      buffer_[n_++] = static_cast<char>('0' + value / 10);
      buffer_[n_++] = static_cast<char>('0' + value % 10);
    } else if (value < 1000 && width <= 3) {
      buffer_[n_++] = static_cast<char>('0' + value / 100);
      buffer_[n_++] = static_cast<char>('0' + value / 10 % 10);
      buffer_[n_++] = static_cast<char>('0' + value % 10);
    } else {
      n_ = static_cast<std::size_t>(writeUnsigned(buffer_ + n_, value, width) - buffer_);
    }
    return *this;
  }
  Sentence& two(int value) { return unsignedInt(static_cast<std::uint64_t>(value), 2); }

  // hhmmss.sss
  Sentence& time(const DateTimeParts& t) {
    two(t.hour).two(t.minute).two(t.second).ch('.');
    return unsignedInt(static_cast<std::uint64_t>(t.millisecond), 3);
  }

  // ddmm.mmmm,h (latitude) or dddmm.mmmm,h (longitude). The minute fraction is
  // rounded half to even; a fraction that rounds up to a whole minute carries
  // into minutes and degrees so the field always keeps four decimals.
  Sentence& coordinate(int degree, int minute, long double second, int degreeWidth,
                       char hemisphere) {
    const long double fraction = second / 60.0L * 10000.0L;
    std::uint64_t tenThousandths =
        fraction >= 0 && fraction < 1e12L ? roundHalfEvenUnsigned(fraction) : 0;
    std::uint64_t minutes = static_cast<std::uint64_t>(minute < 0 ? 0 : minute);
    minutes += tenThousandths / 10000;
    tenThousandths %= 10000;
    const std::uint64_t degrees =
        static_cast<std::uint64_t>(degree < 0 ? 0 : degree) + minutes / 60;
    minutes %= 60;
    unsignedInt(degrees, degreeWidth).unsignedInt(minutes, 2).ch('.');
    return unsignedInt(tenThousandths, 4).ch(',').ch(hemisphere);
  }

  // A value rounded to two decimals, then in the general decimal form.
  Sentence& number(long double value) { return raw(RoundTo2(static_cast<double>(value))); }
  template <typename Float>
  Sentence& raw(Float value) {
    n_ = static_cast<std::size_t>(writeGeneral(buffer_ + n_, value) - buffer_);
    return *this;
  }

  // Appends "*", the checksum, CR LF and hands the whole line to `out`.
  void finish(std::string& out) {
    // Byte loads with four independent chains: the characters were just
    // stored one by one, and wider loads over them would stall until those
    // stores retire.
    unsigned a = 0, b = 0, c = 0, d = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(buffer_);
    std::size_t i = 1;  // after the "$"
    for (; i + 4 <= n_; i += 4) {
      a ^= bytes[i];
      b ^= bytes[i + 1];
      c ^= bytes[i + 2];
      d ^= bytes[i + 3];
    }
    for (; i < n_; ++i) a ^= bytes[i];
    const auto sum = static_cast<std::uint8_t>(a ^ b ^ c ^ d);
    const char tail[] = {'*', kHexDigits[sum >> 4], kHexDigits[sum & 0xF], '\r', '\n'};
    text(std::string_view(tail, sizeof tail));
    out.append(buffer_, n_);
  }

 private:
  char buffer_[512];
  // An index rather than a pointer: stores through a char pointer could alias
  // the pointer itself and force a reload after every character.
  std::size_t n_ = 0;
};

// A year outside 1..9999 cannot come out of a day count we accept, but keep
// the digits honest rather than wrap.
std::uint64_t yearDigits(int year) {
  return year < 0 ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(year))
                  : static_cast<std::uint64_t>(year);
}

char latitudeLetter(TCardinalPoint p) {
  return p == TCardinalPoint::cpNorth ? 'N' : 'S';
}
char longitudeLetter(TCardinalPoint p) {
  return p == TCardinalPoint::cpEast ? 'E' : 'W';
}

}  // namespace

std::string TTarnNMEAGenerator::CheckSum(std::string_view text) {
  const std::uint8_t sum = xorOf(text);
  return {kHexDigits[sum >> 4], kHexDigits[sum & 0xF]};
}

void TTarnNMEAGenerator::appendGPGGA(std::string& out) const {
  Sentence s("$GPGGA,");
  s.time(decodeDateTime(GetUTCDateTime())).ch(',');
  s.coordinate(latDeg_, latMin_, latSec_, 2, latitudeLetter(latDir_)).ch(',');
  s.coordinate(lonDeg_, lonMin_, lonSec_, 3, longitudeLetter(lonDir_)).text(",1,4,");
  s.number(hdop_).ch(',').number(altitude_).text(",M,").number(geoHeight_).text(",M,,");
  s.finish(out);
}

void TTarnNMEAGenerator::appendGPGLL(std::string& out) const {
  Sentence s("$GPGLL,");
  s.coordinate(latDeg_, latMin_, latSec_, 2, latitudeLetter(latDir_)).ch(',');
  s.coordinate(lonDeg_, lonMin_, lonSec_, 3, longitudeLetter(lonDir_)).ch(',');
  s.time(decodeDateTime(GetUTCDateTime())).text(",A,A");
  s.finish(out);
}

void TTarnNMEAGenerator::appendGPRMC(std::string& out) const {
  // One clock reading for both the time and the date, so a sentence formatted
  // across midnight never pairs 23:59:59.999 with the next day's date.
  const DateTimeParts now = decodeDateTime(GetUTCDateTime());
  Sentence s("$GPRMC,");
  s.time(now).text(",A,");
  s.coordinate(latDeg_, latMin_, latSec_, 2, latitudeLetter(latDir_)).ch(',');
  s.coordinate(lonDeg_, lonMin_, lonSec_, 3, longitudeLetter(lonDir_)).ch(',');
  s.number(speed_).ch(',').number(heading_).ch(',');
  s.two(now.day).two(now.month).unsignedInt(yearDigits(now.year) % 100, 2).ch(',');
  s.number(magVar_).ch(',');
  if (magVarDir_ == TCardinalPoint::cpEast) s.ch('E');
  if (magVarDir_ == TCardinalPoint::cpWest) s.ch('W');
  s.text(",A");
  s.finish(out);
}

void TTarnNMEAGenerator::appendGPVTG(std::string& out) const {
  const double knots = RoundTo2(static_cast<double>(speed_));
  Sentence s("$GPVTG,");
  s.raw(heading_).text(",T,").number(magHeading_).text(",M,");
  s.raw(knots).text(",N,").raw(KnotsToKmh(knots)).text(",K,A");
  s.finish(out);
}

void TTarnNMEAGenerator::appendGPGSA(std::string& out) const {
  // The satellite slots are fixed text; they do not follow the table.
  Sentence s("$GPGSA,A,3,13,01,16,,24,,,,,,,,");
  s.number(pdop_).ch(',').number(hdop_).ch(',').number(vdop_);
  s.finish(out);
}

void TTarnNMEAGenerator::appendGPGSV(std::string& out) const {
  const TSatellite* active[32];
  unsigned count = 0;
  for (std::size_t prn = 1; prn <= 32; ++prn) {
    if (satellites_[prn] && satellites_[prn]->Active()) active[count++] = satellites_[prn].get();
  }
  const unsigned total = count / 4 + (count % 4 != 0 ? 1 : 0);
  for (unsigned first = 0; first < count; first += 4) {
    Sentence s("$GPGSV,");
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
  Sentence s("$GPZDA,");
  s.time(now).ch(',').two(now.day).two(now.month).unsignedInt(yearDigits(now.year), 4);
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
