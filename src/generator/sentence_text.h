#pragma once

// The text of one sentence, shared by the builders of both output profiles.
// Inside the generator only.

#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "support/cardinal_point.h"
#include "support/datetime.h"
#include "support/nmea_checksum.h"
#include "support/number_text.h"

namespace waymock::generator::detail {

// One sentence assembled in a stack buffer and appended to the burst in one
// piece. Every field has a bounded width (numbers at most kGeneralMaxChars,
// coordinates and dates a few digits), so the longest sentence, GPRMC, stays
// far below the buffer size.
class Sentence {
 public:
  // "$", the talker and the type with its comma: "$GPGGA,".
  Sentence(std::array<char, 2> talker, std::string_view type) {
    buffer_[0] = '$';
    buffer_[1] = talker[0];
    buffer_[2] = talker[1];
    n_ = 3;
    text(type);
  }

  Sentence& text(std::string_view s) {
    for (char c : s) buffer_[n_++] = c;
    return *this;
  }
  Sentence& ch(char c) {
    buffer_[n_++] = c;
    return *this;
  }
  // The short fields by hand: writeUnsigned (std::to_chars and padding) for
  // them makes the burst about 40 % slower.
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

  // What has been written so far, from `from` on.
  std::size_t size() const { return n_; }
  std::string_view since(std::size_t from) const { return {buffer_ + from, n_ - from}; }

  // A value rounded to two decimals, then in the general decimal form.
  Sentence& number(long double value) { return raw(RoundTo2(static_cast<double>(value))); }
  template <typename Float>
  Sentence& raw(Float value) {
    n_ = static_cast<std::size_t>(writeGeneral(buffer_ + n_, value) - buffer_);
    return *this;
  }

  // `decimals` digits after the point; `value` must be below 1e17 in
  // magnitude, so the digits fit.
  Sentence& fixed(double value, int decimals) {
    n_ = static_cast<std::size_t>(std::to_chars(buffer_ + n_, buffer_ + sizeof buffer_, value,
                                                std::chars_format::fixed, decimals)
                                      .ptr -
                                  buffer_);
    return *this;
  }

  // Appends "*", the checksum, CR LF and hands the whole line to `out`.
  void finish(std::string& out) {
    const auto digits = upperHexDigits(nmeaChecksum(since(1)));
    const char tail[] = {'*', digits[0], digits[1], '\r', '\n'};
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
inline std::uint64_t yearDigits(int year) {
  return year < 0 ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(year))
                  : static_cast<std::uint64_t>(year);
}

inline char latitudeLetter(TCardinalPoint p) {
  return p == TCardinalPoint::cpNorth ? 'N' : 'S';
}
inline char longitudeLetter(TCardinalPoint p) {
  return p == TCardinalPoint::cpEast ? 'E' : 'W';
}

}  // namespace waymock::generator::detail
