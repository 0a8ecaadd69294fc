#pragma once

#include <cstdint>
#include <string>

namespace waymock {

namespace generator {
class TTarnNMEAGenerator;
}

// The texts and slider scale of the simulator's position display. The decimal
// separator is the caller's (the user's locale); sentences never use these.

// `text` brought to exactly `width` characters: `fill` in front when shorter,
// else its first `width` characters.
std::string PadLeft(const std::string& text, int width, char fill);

// Seconds written as `width` whole digits (padded with `fill`), the separator
// and exactly `decimals` fraction digits, cut rather than rounded (59.999 gives
// 59.99). `secondText` is the number in the general form with `decimalPoint`.
std::string FormatSeconds(const std::string& secondText, int width, char fill, int decimals,
                          char decimalPoint);

// Rounds to hundredths: half up for positive values, cut towards zero for
// negative ones; kept in extended precision.
long double RoundTo2(long double value);

// General decimal form (15 significant digits, no trailing zeros) in plain
// notation, never with an exponent.
std::string formatPlain(long double value, char decimalPoint);

// One slider unit is a hundredth of an arc-second.
inline constexpr int kLatitudeSliderMax = 32400000;
inline constexpr int kLongitudeSliderMax = 64800000;
inline constexpr int kSliderArrowStep = 6000;    // one arc-minute
inline constexpr int kSliderPageStep = 30000;    // five arc-minutes
inline constexpr int kSliderTickStep = 1800000;  // five degrees

struct DegreesMinutesSeconds {
  int degree = 0;
  int minute = 0;
  long double second = 0;
};

// The degree, minute and second a slider position stands for.
DegreesMinutesSeconds SliderToDMS(int position);
// The slider position of a coordinate in decimal degrees (its magnitude, to the
// nearest unit, halves to even).
int sliderPosition(long double decimalDegrees);

// The five value labels of the position display for the generator's fix.
struct PositionLabels {
  std::string latitude;
  std::string longitude;
  std::string altitude;
  std::string speed;
  std::string heading;
};
PositionLabels positionLabels(const generator::TTarnNMEAGenerator& generator, char decimalPoint);

// The sky plot in words, for those who cannot see it: "No active satellites."
// or "2 active satellites. PRN 3: elevation 45°, azimuth 120°, SNR 40. PRN 7: …".
std::string activeSatellitesText(const generator::TTarnNMEAGenerator& generator);

}  // namespace waymock
