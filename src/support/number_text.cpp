#include "support/number_text.h"

#include <cmath>
#include <cstring>

namespace waymock {

namespace {

constexpr int kSignificant = 15;
constexpr std::uint64_t kLowest15 = 100'000'000'000'000;   // 10^14
constexpr std::uint64_t kAbove15 = 1'000'000'000'000'000;  // 10^15

// Powers of ten that a long double holds exactly (5^27 < 2^64).
constexpr int kExactPowers = 27;
constexpr auto kPowers = [] {
  struct Table {
    long double v[kExactPowers + 1];
  } t{};
  long double p = 1;
  for (int i = 0; i <= kExactPowers; ++i) {
    t.v[i] = p;
    p *= 10;
  }
  return t;
}();

// value × 10^shift with as few roundings as possible: one for the usual range.
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

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the digits of value right-aligned ending just before `end`; returns
// the first digit written.
char* writeDigits(char* end, std::uint64_t value) {
  while (value >= 100) {
    const auto pair = static_cast<unsigned>(value % 100) * 2;
    value /= 100;
    *--end = kDigitPairs[pair + 1];
    *--end = kDigitPairs[pair];
  }
  if (value >= 10) {
    const auto pair = static_cast<unsigned>(value) * 2;
    *--end = kDigitPairs[pair + 1];
    *--end = kDigitPairs[pair];
  } else {
    *--end = static_cast<char>('0' + value);
  }
  return end;
}

}  // namespace

double RoundTo2(double value) {
  const long double x = value;
  const long double whole = std::trunc(x);
  const long double hundredths = x * 100.0L;
  long double result = whole + std::trunc((x - whole) * 100.0L) / 100.0L;
  if (hundredths - std::trunc(hundredths) >= 0.5L) result += 0.01L;
  return static_cast<double>(result);
}

void appendUnsigned(std::string& out, std::uint64_t value, int minWidth) {
  char buffer[24];
  char* const end = buffer + sizeof buffer;
  char* first = writeDigits(end, value);
  while (end - first < minWidth && first > buffer) *--first = '0';
  out.append(first, end);
}

void appendGeneral(std::string& out, long double value, char decimalPoint) {
  if (std::isnan(value)) {
    out += "NAN";
    return;
  }
  if (std::isinf(value)) {
    out += value < 0 ? "-INF" : "INF";
    return;
  }
  if (value == 0) {
    out += '0';
    return;
  }
  if (value < 0) {
    out += '-';
    value = -value;
  }

  // Decimal exponent e with 10^e <= value < 10^(e+1): the binary exponent gives
  // it to within one, and the digit count of the rounded mantissa settles it
  // (this also moves 9.999...95 up to the next power of ten).
  int binaryExponent = 0;
  std::frexp(value, &binaryExponent);
  int e = static_cast<int>(std::floor((binaryExponent - 1) * 0.30102999566398119521L));
  std::uint64_t digits = 0;
  for (int attempt = 0; attempt < 4; ++attempt) {
    digits =
        static_cast<std::uint64_t>(std::llround(scaleByPowerOfTen(value, kSignificant - 1 - e)));
    if (digits >= kAbove15) {
      ++e;
    } else if (digits < kLowest15) {
      --e;
    } else {
      break;
    }
  }

  char text[kSignificant];
  writeDigits(text + kSignificant, digits);
  int length = kSignificant;
  while (length > 1 && text[length - 1] == '0') --length;

  if (e < -5 || e >= kSignificant) {
    out += text[0];
    if (length > 1) {
      out += decimalPoint;
      out.append(text + 1, text + length);
    }
    out += 'E';
    if (e < 0) out += '-';
    appendUnsigned(out, static_cast<std::uint64_t>(e < 0 ? -e : e));
  } else if (e >= 0) {
    const int integerDigits = e + 1;
    if (length <= integerDigits) {
      out.append(text, text + length);
      out.append(static_cast<std::size_t>(integerDigits - length), '0');
    } else {
      out.append(text, text + integerDigits);
      out += decimalPoint;
      out.append(text + integerDigits, text + length);
    }
  } else {
    out += '0';
    out += decimalPoint;
    out.append(static_cast<std::size_t>(-e - 1), '0');
    out.append(text, text + length);
  }
}

std::string formatGeneral(long double value, char decimalPoint) {
  std::string out;
  appendGeneral(out, value, decimalPoint);
  return out;
}

}  // namespace waymock
