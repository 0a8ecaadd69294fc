#include "app/sky_plot_widget.h"

#include <QAccessibleWidget>
#include <QPainter>

#include "app/handler_guard.h"
#include "app/painter_canvas.h"
#include "engine/position_text.h"
#include "generator/nmea_generator.h"

namespace waymock::app {

namespace {

// A picture says nothing to a screen reader: its description is the active
// satellites in words, read from the generator whenever it is asked for.
class SkyPlotAccessible : public QAccessibleWidget {
 public:
  explicit SkyPlotAccessible(SkyPlotWidget* widget)
      : QAccessibleWidget(widget, QAccessible::Chart) {}

  QString text(QAccessible::Text kind) const override {
    const auto* plot = static_cast<const SkyPlotWidget*>(widget());
    if (kind == QAccessible::Description && plot->generator() != nullptr) {
      return QString::fromStdString(activeSatellitesText(*plot->generator()));
    }
    return QAccessibleWidget::text(kind);
  }
};

QAccessibleInterface* skyPlotAccessible(const QString& className, QObject* object) {
  auto* plot = qobject_cast<SkyPlotWidget*>(object);
  return plot != nullptr && className == QLatin1String(SkyPlotWidget::staticMetaObject.className())
             ? new SkyPlotAccessible(plot)
             : nullptr;
}

void installAccessible() {
  static const bool installed = [] {
    QAccessible::installFactory(skyPlotAccessible);
    return true;
  }();
  (void)installed;
}

}  // namespace

SkyPlotWidget::SkyPlotWidget(QWidget* parent) : QWidget(parent) {
  installAccessible();
}

SkyPlotWidget::SkyPlotWidget(const generator::TTarnNMEAGenerator& generator, QWidget* parent)
    : QWidget(parent), generator_(&generator) {
  installAccessible();
}

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
