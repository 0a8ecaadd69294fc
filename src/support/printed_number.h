#pragma once

namespace waymock {

// A number for output that prints a double in the shortest form that reads
// back (JSON): the value rounded to 15 significant digits, all that arithmetic
// in doubles leaves meaningful, so that 30 km/h through knots and back prints
// as 30, not 30.000000000000004. Not-a-number and infinities stay as they are.
double printedNumber(long double value);

}  // namespace waymock
