#pragma once

namespace waymock {

// Knots per km/h, the factor both ways between what the user enters and what
// the generator and the receiver hold (not 1/1.852: the same factor is used in
// both directions, so a speed entered comes back unchanged).
inline constexpr long double kKnotsPerKmh = 0.5397L;

}  // namespace waymock
