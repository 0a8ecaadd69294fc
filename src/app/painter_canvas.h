#pragma once

#include <QColor>

#include "generator/canvas.h"

class QPainter;

namespace waymock::app {

// The generator's drawing surface on a QPainter. Drawing is aliased and an
// ellipse's bounding box leaves out its right and bottom edge, so a plot of
// radius R fills exactly the pixels 0 to 2R - 1 of its paint box.
class PainterCanvas final : public generator::Canvas {
 public:
  // The painter must outlive the canvas.
  explicit PainterCanvas(QPainter& painter);

  void setBrushColor(generator::Rgb color) override;
  void setPenColor(generator::Rgb color) override;
  void setPenWidth(int width) override;
  void ellipse(int x1, int y1, int x2, int y2) override;
  void line(int x1, int y1, int x2, int y2) override;
  // Black text in the painter's font on a box of the brush colour.
  void textOut(int x, int y, std::string_view text) override;

 private:
  QPainter& painter_;
  QColor brush_{Qt::black};
};

}  // namespace waymock::app
