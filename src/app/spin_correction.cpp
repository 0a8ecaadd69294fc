#include "app/spin_correction.h"

#include <QDoubleSpinBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QSpinBox>
#include <algorithm>

#include "app/spin_edit.h"

namespace waymock::app {

namespace {
// The field's text as a number in the field's locale; a decimal field also
// takes a "." for its point.
bool readNumber(const QAbstractSpinBox& spin, double& value) {
  const QLocale locale = spin.locale();
  const QString text = spin.text().trimmed();
  bool ok = false;
  value = locale.toDouble(
      qobject_cast<const QDoubleSpinBox*>(&spin) ? withLocalePoint(text, locale) : text, &ok);
  return ok;
}
}  // namespace

void SpinCorrection::watchAll(QObject* root) {
  for (auto* spin : root->findChildren<QAbstractSpinBox*>()) spin->installEventFilter(this);
}

void SpinCorrection::correct(QAbstractSpinBox* spin) {
  if (spin->hasAcceptableInput()) return;
  double value = 0;
  const bool number = readNumber(*spin, value);
  if (auto* whole = qobject_cast<QSpinBox*>(spin)) {
    const double clamped =
        number ? std::clamp(value, double(whole->minimum()), double(whole->maximum()))
               : whole->minimum();
    whole->setValue(static_cast<int>(clamped));
  } else if (auto* decimal = qobject_cast<QDoubleSpinBox*>(spin)) {
    decimal->setValue(number ? std::clamp(value, decimal->minimum(), decimal->maximum())
                             : decimal->minimum());
  }
}

bool SpinCorrection::eventFilter(QObject* watched, QEvent* event) {
  const bool enter = event->type() == QEvent::KeyPress &&
                     (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return ||
                      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Enter);
  if (event->type() == QEvent::FocusOut || enter) {
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(watched)) correct(spin);
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace waymock::app
