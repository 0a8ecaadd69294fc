#include "app/field_wheel.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QEvent>
#include <QWidget>

namespace waymock::app {

namespace {

class FieldWheelGuard : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Wheel) return false;
    const auto* field = qobject_cast<QWidget*>(watched);
    if (field == nullptr || field->hasFocus()) return false;
    // Ignored and not delivered: the application hands the wheel on to the
    // field's parents, the page's scroll area among them.
    event->ignore();
    return true;
  }
};

}  // namespace

void guardFieldsFromWheel(QWidget& window) {
  auto* guard = new FieldWheelGuard(&window);
  const auto guardField = [guard](QWidget* field) {
    // Wheel focus would hand the field the focus, and the value, on the
    // first notch.
    field->setFocusPolicy(Qt::StrongFocus);
    field->installEventFilter(guard);
  };
  for (QAbstractSpinBox* field : window.findChildren<QAbstractSpinBox*>()) guardField(field);
  for (QComboBox* field : window.findChildren<QComboBox*>()) guardField(field);
}

}  // namespace waymock::app
