#pragma once

namespace waymock {

// Knots per km/h, the factor both ways between what the user enters and what
// the generator and the receiver hold (not 1/1.852: the same factor is used in
// both directions, so a speed entered comes back unchanged).
inline constexpr long double kKnotsPerKmh = 0.5397L;

// The km/h of a knot, for the sentences that relate the two exactly.
inline constexpr long double kKmhPerKnot = 1.852L;

// The nautical mile the sentences' knots count, and the hour of km/h and knots,
// for speeds a motion gives in metres per second.
inline constexpr double kMetresPerNauticalMile = 1852;
inline constexpr double kSecondsPerHour = 3600;
inline constexpr double kKmhPerMetrePerSecond = kSecondsPerHour / 1000;

}  // namespace waymock
