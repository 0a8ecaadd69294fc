#include "app/sky_plot_widget.h"

#include <gtest/gtest.h>

#include <QImage>

#include "generator/nmea_generator.h"

namespace waymock::app {
namespace {

QRgb rgb(int r, int g, int b) {
  return qRgb(r, g, b);
}

// Renders the plot of a 326-pixel paint box (radius 163) over a blue image,
// so pixels the plot leaves alone stay blue.
QImage render(const generator::TTarnNMEAGenerator& gen) {
  SkyPlotWidget widget(gen);
  widget.setFixedSize(326, 326);
  QImage image(326, 326, QImage::Format_RGB32);
  image.fill(Qt::blue);
  widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
  return image;
}

TEST(SkyPlotWidget, DrawsTheGeneratorsSatellitesWhereAndHowTheyAre) {
  generator::TTarnNMEAGenerator gen(systemClock(), nullptr);
  gen.SetSatellite(5, true, 90, 0, 40);    // the centre, green
  gen.SetSatellite(1, true, 45, 270, 10);  // west, half way out: centre (81, 163), red
  gen.SetSatellite(2, true, 45, 0, 11);    // north, half way out: centre (163, 81), green
  for (std::uint16_t prn = 3; prn <= 32; ++prn) {
    if (prn != 5) gen.SetSatellite(prn, false, 90, 0, 40);  // all stacked on the centre
  }
  const QImage image = render(gen);
  const QRgb red = rgb(255, 0, 0), green = rgb(0, 128, 0), black = rgb(0, 0, 0);
  const QRgb white = rgb(255, 255, 255), blue = rgb(0, 0, 255);
  struct Probe {
    int x, y;
    QRgb expected;
    const char* what;
  } const probes[] = {
      {172, 163, green, "a satellite at elevation 90 sits on the centre"},
      {90, 163, red, "SNR 10 is red, azimuth 270 is on the left"},
      {172, 81, green, "SNR 11 is green, azimuth 0 is up"},
      {244, 163, white, "nothing at azimuth 90: the east-west line shows"},
      {150, 10, black, "inside the outer ring"},
      {163, 0, white, "the outer ring touches the top edge"},
      {0, 163, white, "and the left edge"},
      {96, 160, black, "just outside the red circle"},
      {5, 5, blue, "outside the plot"},
  };
  for (const auto& p : probes) {
    EXPECT_EQ(image.pixel(p.x, p.y), p.expected) << p.what << " at " << p.x << "," << p.y;
  }
}

}  // namespace
}  // namespace waymock::app
