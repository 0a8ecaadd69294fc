#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "generator/canvas.h"
#include "generator/nmea_generator.h"
#include "platform/clock.h"

namespace waymock::generator {
namespace {

// Writes each drawing call down as one line of text.
class RecordingCanvas final : public Canvas {
 public:
  std::vector<std::string> calls;

  void setBrushColor(Rgb c) override { calls.push_back("brush " + rgb(c)); }
  void setPenColor(Rgb c) override { calls.push_back("pen " + rgb(c)); }
  void setPenWidth(int w) override { calls.push_back("width " + std::to_string(w)); }
  void ellipse(int x1, int y1, int x2, int y2) override {
    calls.push_back("ellipse " + box(x1, y1, x2, y2));
  }
  void line(int x1, int y1, int x2, int y2) override {
    calls.push_back("line " + box(x1, y1, x2, y2));
  }
  void textOut(int x, int y, std::string_view text) override {
    calls.push_back("text " + std::to_string(x) + " " + std::to_string(y) + " " +
                    std::string(text));
  }

 private:
  static std::string rgb(Rgb c) {
    return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
  }
  static std::string box(int x1, int y1, int x2, int y2) {
    return std::to_string(x1) + " " + std::to_string(y1) + " " + std::to_string(x2) + " " +
           std::to_string(y2);
  }
};

class SkyPlot : public ::testing::Test {
 protected:
  std::vector<std::string> draw(int radius) {
    RecordingCanvas canvas;
    gen.DrawSatellites(canvas, radius, kBlack, kWhite);
    return canvas.calls;
  }
  // The calls for one satellite: brush, circle, label.
  std::vector<std::string> satelliteCalls(int radius, int prn) {
    const auto calls = draw(radius);
    const std::size_t first = 16 + 3 * static_cast<std::size_t>(prn - 1);
    return {calls.begin() + first, calls.begin() + first + 3};
  }

  TTarnNMEAGenerator gen{std::make_shared<FixedClock>(45'000.0), nullptr};
};

TEST_F(SkyPlot, GridForRadius100) {
  const auto calls = draw(100);
  ASSERT_EQ(calls.size(), 16u + 32 * 3);
  const std::vector<std::string> grid = {
      "brush 0,0,0",           "pen 255,255,255",       "width 1",
      "ellipse 0 0 200 200",   "ellipse 16 16 183 183", "ellipse 33 33 166 166",
      "ellipse 50 50 150 150", "ellipse 66 66 133 133", "ellipse 83 83 116 116",
      "line 100 0 100 200",    "line 150 13 50 187",    "line 187 50 13 150",
      "line 187 150 13 50",    "line 150 187 50 13",    "line 200 100 0 100",
      "ellipse 97 97 103 103",
  };
  EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 16), grid);
}

TEST_F(SkyPlot, RingBoxesForRadius163) {
  const auto calls = draw(163);
  const std::vector<std::string> rings = {
      "ellipse 0 0 326 326",   "ellipse 27 27 298 298",   "ellipse 54 54 271 271",
      "ellipse 81 81 244 244", "ellipse 108 108 217 217", "ellipse 135 135 190 190",
  };
  EXPECT_EQ(std::vector<std::string>(calls.begin() + 3, calls.begin() + 9), rings);
}

TEST_F(SkyPlot, NewGeneratorDrawsThirtyTwoRedCirclesAtTheTop) {
  const auto calls = draw(100);
  for (int prn = 1; prn <= 32; ++prn) {
    const std::size_t i = 16 + 3 * static_cast<std::size_t>(prn - 1);
    EXPECT_EQ(calls[i], "brush 255,0,0");
    EXPECT_EQ(calls[i + 1], "ellipse 88 -12 112 12");
    const int offset = prn < 10 ? 6 : 8;
    EXPECT_EQ(calls[i + 2], "text " + std::to_string(100 - offset) + " " + std::to_string(-offset) +
                                " " + std::to_string(prn));
  }
  EXPECT_EQ(calls.back(), "text 92 -8 32");  // drawn last, so on top
}

TEST_F(SkyPlot, PositionsAndColours) {
  struct Case {
    int prn, elevation, azimuth, snr, radius;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {5, 90, 0, 40, 100, {"brush 0,128,0", "ellipse 88 88 112 112", "text 94 94 5"}},
      {5, 90, 0, 10, 100, {"brush 255,0,0", "ellipse 88 88 112 112", "text 94 94 5"}},
      {5, 90, 0, 11, 100, {"brush 0,128,0", "ellipse 88 88 112 112", "text 94 94 5"}},
      {9, 0, 90, 0, 100, {"brush 255,0,0", "ellipse 188 88 212 112", "text 194 94 9"}},
      {12, 0, 180, 50, 100, {"brush 0,128,0", "ellipse 88 188 112 212", "text 92 192 12"}},
      {12, 0, 270, 50, 100, {"brush 0,128,0", "ellipse -12 88 12 112", "text -8 92 12"}},
      // Elevation 45 lies half way out: r = 100 - 9000 / 180 = 50.
      {20, 45, 90, 99, 100, {"brush 0,128,0", "ellipse 138 88 162 112", "text 142 92 20"}},
      // r = 163 - 1956 / 180 = 152.13; at azimuth 45, 107.57 right and up: (271, 55).
      {3, 6, 45, 50, 163, {"brush 0,128,0", "ellipse 259 43 283 67", "text 265 49 3"}},
  };
  for (const Case& c : cases) {
    gen.ClearSatellites();
    gen.SetSatellite(static_cast<std::uint16_t>(c.prn), false,
                     static_cast<std::uint16_t>(c.elevation), static_cast<std::uint16_t>(c.azimuth),
                     static_cast<std::uint16_t>(c.snr));
    EXPECT_EQ(satelliteCalls(c.radius, c.prn), c.calls) << c.prn << " " << c.azimuth;
  }
}

}  // namespace
}  // namespace waymock::generator
