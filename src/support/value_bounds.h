#pragma once

// The bounds of the values a fix may carry, wherever they come from (the
// command line, a route file, the window, the control channel). Beyond them
// no receiver reports a value, and a number would reach the sentences in an
// exponent form that no NMEA field has ("5.397E299" knots).

namespace waymock {

inline constexpr double kMaxSpeedKmh = 10'000;
inline constexpr double kMaxSpeedKnots = 5'000;
inline constexpr double kMinAltitude = -1'000;  // metres
inline constexpr double kMaxAltitude = 100'000;
// The typical error --noise adds, in metres.
inline constexpr double kMaxNoiseMetres = 10'000;

}  // namespace waymock
