#pragma once

#include <cstdint>
#include <string>

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

// Plain decimal digits, zero-padded on the left to at least `minWidth`.
void appendUnsigned(std::string& out, std::uint64_t value, int minWidth = 0);

}  // namespace waymock
