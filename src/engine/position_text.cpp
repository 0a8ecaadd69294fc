#include "engine/position_text.h"

#include <charconv>
#include <cmath>

#include "generator/nmea_generator.h"
#include "support/number_text.h"

namespace waymock {

std::string PadLeft(const std::string& text, int width, char fill) {
  const auto size = static_cast<std::size_t>(width < 0 ? 0 : width);
  if (text.size() >= size) return text.substr(0, size);
  return std::string(size - text.size(), fill) + text;
}

std::string FormatSeconds(const std::string& secondText, int width, char fill, int decimals,
                          char decimalPoint) {
  const auto count = static_cast<std::size_t>(decimals < 0 ? 0 : decimals);
  const auto separator = secondText.find(decimalPoint);
  if (separator == std::string::npos) {
    return PadLeft(secondText, width, fill) + decimalPoint + std::string(count, '0');
  }
  std::string fraction = secondText.substr(separator + 1, count);
  fraction.append(count - fraction.size(), '0');
  return PadLeft(secondText.substr(0, separator), width, fill) + decimalPoint + fraction;
}

long double RoundTo2(long double value) {
  long double whole = 0;
  const long double fraction = std::modf(value, &whole);
  long double hundredths = 0;
  std::modf(fraction * 100, &hundredths);
  const long double cut = whole + hundredths / 100;
  long double ignored = 0;
  return std::modf(value * 100, &ignored) >= 0.5L ? cut + 0.01L : cut;
}

std::string formatPlain(long double value, char decimalPoint) {
  const std::string general = formatGeneral(value, decimalPoint);
  const auto e = general.find('E');
  if (e == std::string::npos || !std::isfinite(value)) return general;
  // Move the point of the exponent form ("-1.5E-7") to where it belongs.
  const bool negative = general[0] == '-';
  std::string digits;
  int pointAfter = 0;  // digits before the point in the mantissa
  bool seenPoint = false;
  for (std::size_t i = negative ? 1 : 0; i < e; ++i) {
    if (general[i] == decimalPoint) {
      seenPoint = true;
    } else {
      digits += general[i];
      if (!seenPoint) ++pointAfter;
    }
  }
  int exponent = 0;
  std::from_chars(general.data() + e + 1, general.data() + general.size(), exponent);
  const int point = pointAfter + exponent;
  std::string plain;
  if (point <= 0) {
    plain = std::string("0") + decimalPoint + std::string(static_cast<std::size_t>(-point), '0') +
            digits;
  } else if (static_cast<std::size_t>(point) >= digits.size()) {
    plain = digits + std::string(static_cast<std::size_t>(point) - digits.size(), '0');
  } else {
    plain = digits.substr(0, static_cast<std::size_t>(point)) + decimalPoint +
            digits.substr(static_cast<std::size_t>(point));
  }
  return negative ? "-" + plain : plain;
}

DegreesMinutesSeconds SliderToDMS(int position) {
  const long double hundredths = static_cast<long double>(position) / 100;
  long double whole = 0;
  const long double fraction = std::modf(hundredths, &whole);
  const auto s = static_cast<long long>(whole);
  return {static_cast<int>(s / 3600), static_cast<int>((s % 3600) / 60),
          static_cast<long double>(s % 60) + fraction};
}

int sliderPosition(long double decimalDegrees) {
  return static_cast<int>(roundHalfEvenUnsigned(std::fabs(decimalDegrees) * 360000));
}

namespace {
std::string coordinateText(int degree, int minute, long double second, const char* hemisphere,
                           char decimalPoint) {
  return PadLeft(std::to_string(degree), 3, ' ') + "\u00B0 " +
         PadLeft(std::to_string(minute), 2, '0') + "' " +
         FormatSeconds(formatPlain(second, decimalPoint), 2, '0', 2, decimalPoint) + "\" " +
         hemisphere;
}
}  // namespace

PositionLabels positionLabels(const generator::TTarnNMEAGenerator& g, char decimalPoint) {
  using generator::TTarnNMEAGenerator;
  PositionLabels labels;
  labels.latitude =
      coordinateText(g.Latitude_Degree(), g.Latitude_Minute(), g.Latitude_Second(),
                     g.Latitude_Direction() == TCardinalPoint::cpNorth ? "N" : "S", decimalPoint);
  labels.longitude =
      coordinateText(g.Longitude_Degree(), g.Longitude_Minute(), g.Longitude_Second(),
                     g.Longitude_Direction() == TCardinalPoint::cpEast ? "E" : "W", decimalPoint);
  labels.altitude =
      formatPlain(g.Altitude(), decimalPoint) + " m = " +
      formatPlain(RoundTo2(TTarnNMEAGenerator::MetersToFeet(g.Altitude())), decimalPoint) + " feet";
  labels.speed = formatPlain(g.knotsToKmh(g.Speed()), decimalPoint) +
                 " km/h = " + formatPlain(RoundTo2(g.Speed()), decimalPoint) + " knots";
  labels.heading = formatPlain(g.Heading(), decimalPoint) + "\u00B0";
  return labels;
}

std::string activeSatellitesText(const generator::TTarnNMEAGenerator& generator) {
  const auto active = generator.GetActiveSatellites();
  if (active.empty()) return "No active satellites.";
  std::string text = std::to_string(active.size()) +
                     (active.size() == 1 ? " active satellite." : " active satellites.");
  for (const generator::TSatellite* satellite : active) {
    text += " PRN " + std::to_string(satellite->PseudoRandomCode()) + ": elevation " +
            std::to_string(satellite->Elevation()) + "\u00B0, azimuth " +
            std::to_string(satellite->Azimuth()) + "\u00B0, SNR " +
            std::to_string(satellite->SignalToNoiseRatio()) + ".";
  }
  return text;
}

}  // namespace waymock
