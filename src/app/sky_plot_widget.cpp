#include "app/sky_plot_widget.h"

#include <QPainter>

#include "app/handler_guard.h"
#include "app/painter_canvas.h"
#include "generator/nmea_generator.h"

namespace waymock::app {

SkyPlotWidget::SkyPlotWidget(QWidget* parent) : QWidget(parent) {}

SkyPlotWidget::SkyPlotWidget(const generator::TTarnNMEAGenerator& generator, QWidget* parent)
    : QWidget(parent), generator_(&generator) {}

void SkyPlotWidget::setGenerator(const generator::TTarnNMEAGenerator* generator) {
  generator_ = generator;
  update();
}

void SkyPlotWidget::paintEvent(QPaintEvent* /*event*/) {
  runGuarded(this, [this] { PaintBoxPaint(); });
}

void SkyPlotWidget::PaintBoxPaint() {
  if (generator_ == nullptr) return;
  QPainter painter(this);
  PainterCanvas canvas(painter);
  generator_->DrawSatellites(canvas, width() / 2, generator::kBlack, generator::kWhite);
}

}  // namespace waymock::app
