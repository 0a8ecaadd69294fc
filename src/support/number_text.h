#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace waymock {

// Rounds to two decimals the way the sentences need it: the value is taken as
// a double, worked on in extended precision and handed back as a double.
// Positive values round half up at the second decimal (0.125 -> 0.13);
// negative values are truncated there (-12.345 -> -12.34).
double RoundTo2(double value);

// General decimal form: 15 significant digits rounded at the fifteenth, no
// trailing zeros or point, "0" for zero. Magnitudes below 0.00001 or from 1e15
// on use the exponent form "1.5E-7" / "1E15" (no "+" and no leading zeros in
// the exponent). Not-a-number and infinities are written "NAN", "INF", "-INF".
// The decimal point is `decimalPoint`, never taken from the locale.
void appendGeneral(std::string& out, long double value, char decimalPoint = '.');
std::string formatGeneral(long double value, char decimalPoint = '.');
// The same into a caller's buffer of at least kGeneralMaxChars; returns the end.
inline constexpr std::size_t kGeneralMaxChars = 24;
char* writeGeneral(char* out, long double value, char decimalPoint = '.');
// Same text for a double; quicker for the usual two-decimal values.
char* writeGeneral(char* out, double value, char decimalPoint = '.');

// Plain decimal digits, zero-padded on the left to at least `minWidth`.
void appendUnsigned(std::string& out, std::uint64_t value, int minWidth = 0);
// Into a caller's buffer of at least max(20, minWidth) chars; returns the end.
char* writeUnsigned(char* out, std::uint64_t value, int minWidth = 0);

// One or more decimal digits and nothing else (no sign, no space) as a whole
// number; nothing otherwise, or past the type's range.
std::optional<unsigned> readDigits(std::string_view digits);
// The digits after a decimal point as a fraction: "250" is 0.25. Nothing when
// there are none or anything else is among them.
std::optional<long double> readFractionDigits(std::string_view digits);

// A byte as two uppercase hexadecimal digits. By hand: std::to_chars writes
// lowercase and drops the leading zero.
constexpr std::array<char, 2> upperHexDigits(std::uint8_t byte) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[byte >> 4], kDigits[byte & 0xF]};
}

// Nearest integer, halves to the even neighbour; `value` must lie in
// [0, 2^62).
std::uint64_t roundHalfEvenUnsigned(long double value);

}  // namespace waymock
