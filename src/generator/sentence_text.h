#pragma once

// The text of one sentence, shared by the builders of both output profiles.
// Inside the generator only.

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "support/cardinal_point.h"
#include "support/datetime.h"
#include "support/nmea_checksum.h"
#include "support/number_text.h"

namespace waymock::generator::detail {

// NMEA 0183's longest sentence, from "$" to CR LF.
inline constexpr std::size_t kMaxSentenceChars = 82;

// How a sentence of the nmea41 profile keeps within kMaxSentenceChars, as a
// receiver with fixed field widths does: its numbers carry two decimals, all
// of them fewer when the sentence would be longer, and past that the widest
// are left empty, as a receiver leaves a field it cannot fill. Only values far
// beyond the options' bounds come to that.
struct NumberFit {
  int decimals = 2;
  std::size_t widest = kGeneralMaxChars;  // a number wider than this is left empty
  // The next tighter fit; false when there is none.
  bool tighten() {
    if (decimals > 0) {
      --decimals;
    } else if (widest > 0) {
      --widest;
    } else {
      return false;
    }
    return true;
  }
};

// One sentence assembled in a stack buffer and appended to the burst in one
// piece. Every field has a bounded width (numbers at most kGeneralMaxChars,
// coordinates and dates a few digits), so the longest sentence, GPRMC, stays
// far below the buffer size.
class Sentence {
 public:
  // "$", the talker and the type with its comma: "$GPGGA,". Numbers follow
  // `fit` when there is one (nmea41), the general form otherwise.
  Sentence(std::array<char, 2> talker, std::string_view type, const NumberFit* fit = nullptr)
      : fit_(fit) {
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

  // A value rounded to two decimals, then in the general decimal form; in a
  // fitted sentence never in the exponent form (see NumberFit).
  Sentence& number(long double value) {
    if (fit_ == nullptr) return raw(RoundTo2(static_cast<double>(value)));
    const std::size_t at = n_;
    const auto x = static_cast<double>(value);
    const double rounded = fit_->decimals >= 2 ? RoundTo2(x) : x;
    if (!(std::fabs(rounded) < 1e15)) return *this;  // no place for it, nor for NaN
    if (fit_->decimals >= 2) {
      raw(rounded);
    } else {
      fixed(rounded, fit_->decimals).trimZeros(at);
    }
    return keepWithin(at);
  }
  // A course: 0 up to, not including, 360 once rounded, so 359.999 is "0".
  Sentence& course(long double value) {
    const std::size_t at = n_;
    return number(value).wrapCourse(at);
  }
  Sentence& rawCourse(long double value) {
    const std::size_t at = n_;
    return raw(value).wrapCourse(at);
  }
  // Kilometres per hour from the knots written at [at, end): K = N × 1.852,
  // to as many decimals as N, halves away from zero. Worked in whole numbers,
  // so the two fields agree exactly; empty when the knots are.
  Sentence& kilometresOfKnots(std::size_t at, std::size_t end);
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
  // Drops trailing zeros after a point, and the point; "-0" becomes "0".
  Sentence& trimZeros(std::size_t at) {
    const std::string_view text = since(at);
    if (text.find('.') != std::string_view::npos) {
      while (buffer_[n_ - 1] == '0') --n_;
      if (buffer_[n_ - 1] == '.') --n_;
    }
    if (since(at) == "-0") {
      n_ = at;
      ch('0');
    }
    return *this;
  }
  Sentence& wrapCourse(std::size_t at) {
    if (since(at) == "360") {
      n_ = at;
      ch('0');
    }
    return *this;
  }
  // Leaves the number written from `at` out when the fit has no room for it.
  Sentence& keepWithin(std::size_t at) {
    if (fit_ != nullptr && n_ - at > fit_->widest) n_ = at;
    return *this;
  }

  const NumberFit* fit_;
  char buffer_[512];
  // An index rather than a pointer: stores through a char pointer could alias
  // the pointer itself and force a reload after every character.
  std::size_t n_ = 0;
};

// Builds one sentence with `fill` and appends it to `out`; a fitted one
// (nmea41) is built again, ever tighter, until it keeps within NMEA's length.
template <typename Fill>
void appendSentence(std::string& out, std::array<char, 2> talker, std::string_view type,
                    bool fitted, const Fill& fill) {
  if (!fitted) {
    Sentence s(talker, type);
    fill(s);
    s.finish(out);
    return;
  }
  constexpr std::size_t kChecksumAndEnd = 5;  // "*hh" CR LF
  NumberFit fit;
  for (;;) {
    Sentence s(talker, type, &fit);
    fill(s);
    if (s.size() + kChecksumAndEnd <= kMaxSentenceChars || !fit.tighten()) {
      s.finish(out);
      return;
    }
  }
}

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
