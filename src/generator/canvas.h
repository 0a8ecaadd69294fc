#pragma once

#include <cstdint>
#include <string_view>

namespace waymock::generator {

struct Rgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  friend constexpr bool operator==(Rgb, Rgb) = default;
};

inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kGreen{0, 128, 0};

// The drawing surface the sky plot is drawn on; the window implements it with
// its painter, tests record the calls.
class Canvas {
 public:
  virtual ~Canvas() = default;
  virtual void setBrushColor(Rgb color) = 0;
  virtual void setPenColor(Rgb color) = 0;
  virtual void setPenWidth(int width) = 0;
  // Ellipse inside the bounding box, outlined with the pen, filled with the brush.
  virtual void ellipse(int x1, int y1, int x2, int y2) = 0;
  virtual void line(int x1, int y1, int x2, int y2) = 0;
  // Text in the current font, top-left corner at (x, y), on the brush colour.
  virtual void textOut(int x, int y, std::string_view text) = 0;
};

}  // namespace waymock::generator
