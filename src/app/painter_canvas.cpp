#include "app/painter_canvas.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <QString>

namespace waymock::app {

namespace {
QColor toQColor(generator::Rgb color) {
  return QColor(color.r, color.g, color.b);
}
}  // namespace

PainterCanvas::PainterCanvas(QPainter& painter) : painter_(painter) {
  painter_.setRenderHint(QPainter::Antialiasing, false);
  painter_.setBrush(brush_);
}

void PainterCanvas::setBrushColor(generator::Rgb color) {
  brush_ = toQColor(color);
  painter_.setBrush(brush_);
}

void PainterCanvas::setPenColor(generator::Rgb color) {
  QPen pen = painter_.pen();
  pen.setColor(toQColor(color));
  painter_.setPen(pen);
}

void PainterCanvas::setPenWidth(int width) {
  QPen pen = painter_.pen();
  pen.setWidth(width);
  painter_.setPen(pen);
}

void PainterCanvas::ellipse(int x1, int y1, int x2, int y2) {
  // An aliased QRect outline covers x .. x + width, so width is one less than
  // the box to leave its right and bottom edge out.
  if (x2 - x1 < 1 || y2 - y1 < 1) return;
  painter_.drawEllipse(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1));
}

void PainterCanvas::line(int x1, int y1, int x2, int y2) {
  painter_.drawLine(x1, y1, x2, y2);
}

void PainterCanvas::textOut(int x, int y, std::string_view text) {
  const QString label = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  const QFontMetrics metrics(painter_.font());
  const QRect box(x, y, metrics.horizontalAdvance(label), metrics.height());
  painter_.fillRect(box, brush_);
  const QPen pen = painter_.pen();
  painter_.setPen(Qt::black);
  painter_.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, label);
  painter_.setPen(pen);
}

}  // namespace waymock::app
