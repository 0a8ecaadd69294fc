#include "support/number_text.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace waymock {

namespace {

constexpr int kSignificant = 15;
constexpr std::uint64_t kLowest15 = 100'000'000'000'000;   // 10^14
constexpr std::uint64_t kAbove15 = 1'000'000'000'000'000;  // 10^15

// The fast paths read the x87 80-bit layout: 64-bit significand with an
// explicit integer bit, then sign and 15-bit exponent.
constexpr bool kX87LongDouble = std::numeric_limits<long double>::digits == 64 &&
                                std::numeric_limits<long double>::max_exponent == 16384 &&
                                std::endian::native == std::endian::little;

// Powers of ten that a long double holds exactly (5^27 < 2^64).
constexpr int kExactPowers = 27;
struct PowerTable {
  long double v[kExactPowers + 1];
};
constexpr PowerTable kPowers = [] {
  PowerTable t{};
  long double p = 1;
  for (int i = 0; i <= kExactPowers; ++i) {
    t.v[i] = p;
    p *= 10;
  }
  return t;
}();

// k / 100 for k = 0..99, each rounded once to extended precision, so
// RoundTo2 needs no division at run time.
struct HundredthsTable {
  long double v[100];
};
constexpr HundredthsTable kHundredths = [] {
  HundredthsTable t{};
  for (int k = 0; k < 100; ++k) t.v[k] = static_cast<long double>(k) / 100.0L;
  return t;
}();

// value × 10^shift with one rounding for the usual range.
long double scaleByPowerOfTen(long double value, int shift) {
  while (shift > kExactPowers) {
    value *= kPowers.v[kExactPowers];
    shift -= kExactPowers;
  }
  while (shift < -kExactPowers) {
    value /= kPowers.v[kExactPowers];
    shift += kExactPowers;
  }
  return shift >= 0 ? value * kPowers.v[shift] : value / kPowers.v[-shift];
}

// The fifteen significant digits: value × 10^shift rounded to the nearest
// integer, halves to even, decided by the exact product. Scaling rounds once,
// and that rounding can land a value just beside a half exactly on it, so a
// result that reads as a tie is checked against the exact remainder.
std::uint64_t scaledDigits(long double value, int shift) {
  const long double scaled = scaleByPowerOfTen(value, shift);
  const long double below = std::floor(scaled);
  if (scaled - below != 0.5L) {
    if (shift <= kExactPowers && shift >= -kExactPowers) return roundHalfEvenUnsigned(scaled);
    // Several roundings: close to a half they may have crossed it; the C
    // library converts the exact value (rare: magnitudes below 1e-13 or
    // above 1e41 only).
    const long double off = scaled - below - 0.5L;
    if (off > 0.01L || off < -0.01L) return roundHalfEvenUnsigned(scaled);
  }
  if (shift > kExactPowers || shift < -kExactPowers) {
    // "d.dddddddddddddde+X": the exact value's digits, whatever the locale.
    char text[40];
    const char* const end =
        std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, 14).ptr;
    std::uint64_t first = 0, rest = 0;
    std::from_chars(text, text + 1, first);
    std::from_chars(text + 2, text + 16, rest);
    const std::uint64_t digits = first * kLowest15 + rest;
    // The conversion picked its own exponent; the caller's loop settles a mismatch.
    const char* sign = std::find(static_cast<const char*>(text), end, 'e') + 1;
    if (sign < end && *sign == '+') ++sign;
    int exponent = 0;
    std::from_chars(sign, end, exponent);
    const int wanted = kSignificant - 1 - shift;
    if (exponent > wanted) return kAbove15;
    if (exponent < wanted) return kLowest15 - 1;
    return digits;
  }
  // The remainder of one product or quotient is exact in the format, so fmal
  // gives it without rounding; its sign says on which side of the half the
  // exact value lies.
  const long double power = kPowers.v[shift >= 0 ? shift : -shift];
  const long double remainder =
      shift >= 0 ? std::fma(value, power, -scaled) : -std::fma(scaled, power, -value);
  const auto whole = static_cast<std::uint64_t>(below);
  if (remainder > 0) return whole + 1;
  if (remainder < 0) return whole;
  return roundHalfEvenUnsigned(scaled);
}

// The binary exponent b with value = f × 2^b, 0.5 <= f < 1 (value > 0).
int binaryExponent(long double value) {
  if constexpr (kX87LongDouble) {
    unsigned char bytes[sizeof(long double)];
    std::memcpy(bytes, &value, sizeof bytes);
    const int biased = (bytes[8] | (bytes[9] << 8)) & 0x7FFF;
    if (biased != 0) return biased - 16382;
  }
  int exponent = 0;
  std::frexp(value, &exponent);
  return exponent;
}

constexpr std::uint64_t kUnsignedPowers[20] = {1,
                                               10,
                                               100,
                                               1'000,
                                               10'000,
                                               100'000,
                                               1'000'000,
                                               10'000'000,
                                               100'000'000,
                                               1'000'000'000,
                                               10'000'000'000,
                                               100'000'000'000,
                                               1'000'000'000'000,
                                               10'000'000'000'000,
                                               100'000'000'000'000,
                                               1'000'000'000'000'000,
                                               10'000'000'000'000'000,
                                               100'000'000'000'000'000,
                                               1'000'000'000'000'000'000,
                                               10'000'000'000'000'000'000u};

// The pieces are a few characters long; a plain loop beats a library call.
char* copy(char* out, const char* text, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) out[i] = text[i];
  return out + n;
}

}  // namespace

std::uint64_t roundHalfEvenUnsigned(long double value) {
  if constexpr (kX87LongDouble) {
    // Adding 2^63 leaves no fraction bits, so the hardware rounds to the
    // nearest integer (ties to even) and the significand holds 2^63 + n.
    const long double shifted = value + 0x1p63L;
    std::uint64_t significand = 0;
    std::memcpy(&significand, &shifted, sizeof significand);
    return significand - (std::uint64_t{1} << 63);
  } else {
    return static_cast<std::uint64_t>(std::nearbyint(value));
  }
}

double RoundTo2(double value) {
  if (!std::isfinite(value)) return value;
  // value = ±m × 2^-s exactly. Int(x), Frac(x) × 100 and Frac(x × 100) are
  // then integer shifts and masks, exact as extended arithmetic would be.
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  const bool negative = (bits >> 63) != 0;
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  const std::uint64_t m = biased == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
  const int exponent = (biased == 0 ? 1 : biased) - 1075;
  if (exponent >= 0) return value;  // a whole number
  const int s = -exponent;
  // m × 100 < 2^60, so from s = 61 on x × 100 stays below 0.5 and both
  // integer parts are 0.
  if (s > 60) return negative ? -0.0 : 0.0;

  const std::uint64_t scaled = m * 100;  // |x| × 100 × 2^s
  const std::uint64_t half = std::uint64_t{1} << (s - 1);
  const std::uint64_t mask = (std::uint64_t{1} << s) - 1;
  const std::uint64_t wholePart = m >> s;
  const auto cents = static_cast<unsigned>((scaled >> s) - wholePart * 100);
  long double result = static_cast<long double>(wholePart) + kHundredths.v[cents];
  // Negative values have a negative fraction, which never reaches 0.5.
  if (!negative && (scaled & mask) >= half) result += 0.01L;
  return static_cast<double>(negative ? -result : result);
}

char* writeUnsigned(char* out, std::uint64_t value, int minWidth) {
  if (minWidth <= 1) return std::to_chars(out, out + 20, value).ptr;
  char digits[20];
  char* const last = std::to_chars(digits, digits + sizeof digits, value).ptr;
  const auto length = static_cast<int>(last - digits);
  if (length < minWidth) out = std::fill_n(out, minWidth - length, '0');
  return std::copy(digits, last, out);
}

void appendUnsigned(std::string& out, std::uint64_t value, int minWidth) {
  const std::size_t at = out.size();
  out.resize(at + static_cast<std::size_t>(std::max(minWidth, 20)));
  out.resize(
      static_cast<std::size_t>(writeUnsigned(out.data() + at, value, minWidth) - out.data()));
}

std::optional<unsigned> readDigits(std::string_view digits) {
  const char* const end = digits.data() + digits.size();
  unsigned value = 0;
  const auto [stop, error] = std::from_chars(digits.data(), end, value);
  if (error != std::errc() || stop != end) return std::nullopt;
  return value;
}

std::optional<long double> readFractionDigits(std::string_view digits) {
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos)
    return std::nullopt;
  std::string text(1, '.');  // std::from_chars reads ".250"
  text += digits;
  long double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

namespace {

// Most numbers in sentences went through RoundTo2. When the value is the
// double nearest to k / 100 (k below 10^14), it lies within 2^-53 of k / 100
// relatively, far inside half a unit of the fifteenth digit, so the 15-digit
// form is k / 100 itself and the digits come straight from k.
bool tryWriteHundredths(char*& out, double value, char decimalPoint) {
  const double magnitude = value < 0 ? -value : value;
  if (!(magnitude < 1e12)) return false;
  const auto k = static_cast<std::uint64_t>(magnitude * 100 + 0.5);
  if (k == 0 || static_cast<double>(k) / 100 != magnitude) return false;
  if (value < 0) *out++ = '-';
  out = writeUnsigned(out, k / 100);
  const auto cents = static_cast<unsigned>(k % 100);
  if (cents != 0) {
    *out++ = decimalPoint;
    *out++ = static_cast<char>('0' + cents / 10);
    if (cents % 10 != 0) *out++ = static_cast<char>('0' + cents % 10);
  }
  return true;
}

char* writeExtended(char* out, long double value, char decimalPoint) {
  if (std::isnan(value)) return copy(out, "NAN", 3);
  if (std::isinf(value)) return value < 0 ? copy(out, "-INF", 4) : copy(out, "INF", 3);
  if (value == 0) {
    *out++ = '0';
    return out;
  }
  if (value < 0) {
    *out++ = '-';
    value = -value;
  }

  // Decimal exponent e with 10^e <= value < 10^(e+1): the binary exponent
  // gives it to within one (78913 / 2^18 is log10(2) from below), and the digit
  // count of the rounded mantissa settles it; this also moves 9.999...95 up to
  // the next power of ten.
  int e = ((binaryExponent(value) - 1) * 78913) >> 18;
  std::uint64_t digits = 0;
  for (int attempt = 0; attempt < 4; ++attempt) {
    digits = scaledDigits(value, kSignificant - 1 - e);
    if (digits >= kAbove15) {
      ++e;
    } else if (digits < kLowest15) {
      --e;
    } else {
      break;
    }
  }

  // Drop trailing zeros; `length` significant digits remain.
  int length = kSignificant;
  for (int step : {8, 4, 2, 1}) {
    while (length > step && digits % kUnsignedPowers[step] == 0) {
      digits /= kUnsignedPowers[step];
      length -= step;
    }
  }

  if (e < -5 || e >= kSignificant) {
    const std::uint64_t tailPower = kUnsignedPowers[length - 1];
    *out++ = static_cast<char>('0' + digits / tailPower);
    if (length > 1) {
      *out++ = decimalPoint;
      out = writeUnsigned(out, digits % tailPower, length - 1);
    }
    *out++ = 'E';
    if (e < 0) *out++ = '-';
    return writeUnsigned(out, static_cast<std::uint64_t>(e < 0 ? -e : e));
  }
  if (e >= 0) {
    const int integerDigits = e + 1;
    if (length <= integerDigits) {
      out = writeUnsigned(out, digits, length);
      for (int i = length; i < integerDigits; ++i) *out++ = '0';
      return out;
    }
    const std::uint64_t fractionPower = kUnsignedPowers[length - integerDigits];
    out = writeUnsigned(out, digits / fractionPower, integerDigits);
    *out++ = decimalPoint;
    return writeUnsigned(out, digits % fractionPower, length - integerDigits);
  }
  *out++ = '0';
  *out++ = decimalPoint;
  for (int i = 0; i < -e - 1; ++i) *out++ = '0';
  return writeUnsigned(out, digits, length);
}

}  // namespace

char* writeGeneral(char* out, long double value, char decimalPoint) {
  const auto asDouble = static_cast<double>(value);
  if (static_cast<long double>(asDouble) == value &&
      tryWriteHundredths(out, asDouble, decimalPoint)) {
    return out;
  }
  return writeExtended(out, value, decimalPoint);
}

char* writeGeneral(char* out, double value, char decimalPoint) {
  if (tryWriteHundredths(out, value, decimalPoint)) return out;
  return writeExtended(out, value, decimalPoint);
}

void appendGeneral(std::string& out, long double value, char decimalPoint) {
  char buffer[kGeneralMaxChars];
  out.append(buffer, writeGeneral(buffer, value, decimalPoint));
}

std::string formatGeneral(long double value, char decimalPoint) {
  std::string out;
  appendGeneral(out, value, decimalPoint);
  return out;
}

}  // namespace waymock
