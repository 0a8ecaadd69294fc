#include <cmath>
#include <string>

#include "generator/nmea_generator.h"

namespace waymock::generator {

namespace {

constexpr long double kPi = 3.14159265358979323846264338327950288L;

// Nearest integer, halves to the even neighbour.
int roundHalfEven(long double value) {
  return static_cast<int>(std::nearbyint(value));
}

struct Point {
  int x;
  int y;
};

// The point on the outer ring at azimuth `degrees`, clockwise from north (up).
Point ringPoint(int radius, int degrees) {
  const long double a = degrees * kPi / 180.0L;
  return {roundHalfEven(radius * (1.0L + std::sin(a))),
          roundHalfEven(radius * (1.0L - std::cos(a)))};
}

}  // namespace

void TTarnNMEAGenerator::DrawSatellites(Canvas& canvas, int Radius, Rgb BrushColor,
                                        Rgb PenColor) const {
  const int r0 = Radius;
  canvas.setBrushColor(BrushColor);
  canvas.setPenColor(PenColor);
  canvas.setPenWidth(1);

  // Elevation rings at 15-degree steps, outermost first; each fill covers the
  // previous ring's inside.
  for (int i = 1; i <= 6; ++i) {
    const int lo = (i - 1) * r0 / 6;
    const int hi = (13 - i) * r0 / 6;
    canvas.ellipse(lo, lo, hi, hi);
  }

  for (int a : {0, 30, 60, 120, 150, 90}) {
    const Point from = ringPoint(r0, a);
    const Point to = ringPoint(r0, a + 180);
    canvas.line(from.x, from.y, to.x, to.y);
  }

  canvas.ellipse(r0 - 3, r0 - 3, r0 + 3, r0 + 3);

  for (std::size_t prn = 1; prn <= 32; ++prn) {
    const TSatellite* sat = satellites_[prn].get();
    if (!sat) continue;
    const long double r = r0 - static_cast<long double>(2 * r0 * sat->Elevation()) / 180.0L;
    const long double angle = kPi - sat->Azimuth() * kPi / 180.0L;
    const int x = r0 + roundHalfEven(std::sin(angle) * r);
    const int y = r0 + roundHalfEven(std::cos(angle) * r);
    canvas.setBrushColor(sat->SignalToNoiseRatio() <= 10 ? kRed : kGreen);
    canvas.ellipse(x - 12, y - 12, x + 12, y + 12);
    const int offset = prn < 10 ? 6 : 8;
    canvas.textOut(x - offset, y - offset, std::to_string(prn));
  }
}

}  // namespace waymock::generator
