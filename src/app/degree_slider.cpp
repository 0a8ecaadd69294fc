#include "app/degree_slider.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLocale>

#include "engine/position_text.h"

namespace waymock::app {

namespace {

constexpr double kUnitsPerDegree = kLatitudeSliderMax / 90.0;

// Qt's own slider interface serves the raw position; this one the degrees.
class DegreeSliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit DegreeSliderAccessible(QSlider* slider)
      : QAccessibleWidget(slider, QAccessible::Slider) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  QString text(QAccessible::Text kind) const override {
    if (kind != QAccessible::Value) return QAccessibleWidget::text(kind);
    return QLocale().toString(currentValue().toDouble(), 'g', 10) + QChar(0x00B0);
  }
  QVariant currentValue() const override { return slider().value() / kUnitsPerDegree; }
  void setCurrentValue(const QVariant& degrees) override {
    slider().setValue(qRound(degrees.toDouble() * kUnitsPerDegree));
  }
  QVariant maximumValue() const override { return slider().maximum() / kUnitsPerDegree; }
  QVariant minimumValue() const override { return slider().minimum() / kUnitsPerDegree; }
  QVariant minimumStepSize() const override { return slider().singleStep() / kUnitsPerDegree; }

 private:
  QSlider& slider() const { return *static_cast<QSlider*>(widget()); }
};

QAccessibleInterface* degreeSliderAccessible(const QString& className, QObject* object) {
  auto* slider = qobject_cast<DegreeSlider*>(object);
  if (slider == nullptr || className != QLatin1String(DegreeSlider::staticMetaObject.className()))
    return nullptr;
  return new DegreeSliderAccessible(slider);
}

}  // namespace

DegreeSlider::DegreeSlider(QWidget* parent) : QSlider(parent) {
  static const bool installed = [] {
    QAccessible::installFactory(degreeSliderAccessible);
    return true;
  }();
  (void)installed;
}

}  // namespace waymock::app
