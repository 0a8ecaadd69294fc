#include "app/app_icons.h"

#include <QPainter>
#include <QPainterPath>

namespace waymock::app {

namespace {

const QColor kOcean(0x1e, 0x5a, 0xa8);
const QColor kPin(0xf0, 0x8c, 0x00);

// Drawn on a 64 by 64 grid, the same coordinates as packaging/waymock.svg.
void paintIcon(QPainter& painter, IconFrame frame) {
  painter.setRenderHint(QPainter::Antialiasing);

  painter.setPen(Qt::NoPen);
  painter.setBrush(kOcean);
  painter.drawEllipse(QPointF(28, 36), 24, 24);
  painter.setPen(QPen(Qt::white, 2));
  painter.setBrush(Qt::NoBrush);
  painter.drawEllipse(QPointF(28, 36), 10, 24);
  painter.drawLine(QPointF(5, 36), QPointF(51, 36));
  painter.drawLine(QPointF(28, 12), QPointF(28, 60));

  QPainterPath pin;
  pin.moveTo(44, 42);
  pin.arcTo(QRectF(34, 10, 20, 20), 225, -270);
  pin.closeSubpath();
  painter.setPen(QPen(Qt::white, 1.5));
  painter.setBrush(kPin);
  painter.drawPath(pin);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::white);
  painter.drawEllipse(QPointF(44, 20), 4, 4);

  // Arc angles in sixteenths of a degree, counter-clockwise from three o'clock.
  painter.setPen(QPen(kPin, 3, Qt::SolidLine, Qt::RoundCap));
  painter.setBrush(Qt::NoBrush);
  if (frame != IconFrame::Wave2) painter.drawArc(QRectF(31, 7, 26, 26), 20 * 16, 50 * 16);
  if (frame != IconFrame::Wave1) painter.drawArc(QRectF(25, 1, 38, 38), 20 * 16, 50 * 16);
}

}  // namespace

QPixmap drawWaymockIcon(int size, IconFrame frame) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.scale(size / 64.0, size / 64.0);
  paintIcon(painter, frame);
  return pixmap;
}

QIcon applicationIcon() {
  return trayIcon(IconFrame::Still);
}

QIcon trayIcon(IconFrame frame) {
  QIcon icon;
  for (const int size : {16, 22, 24, 32, 48, 64, 128}) icon.addPixmap(drawWaymockIcon(size, frame));
  return icon;
}

}  // namespace waymock::app
