#include "app/spin_edit.h"

#include <QLocale>

namespace waymock::app {

namespace {
// A number of the field's kind, whatever its range, is worth keeping for now.
QValidator::State outOfRangeAllowed(QValidator::State state, const QString& text, bool decimal,
                                    const QLocale& locale) {
  if (state != QValidator::Invalid) return state;
  bool ok = false;
  if (decimal) {
    locale.toDouble(text.trimmed(), &ok);
  } else {
    locale.toLongLong(text.trimmed(), &ok);
  }
  return ok ? QValidator::Intermediate : state;
}
}  // namespace

QValidator::State WholeSpinEdit::validate(QString& text, int& position) const {
  return outOfRangeAllowed(QSpinBox::validate(text, position), text, false, locale());
}

QValidator::State DecimalSpinEdit::validate(QString& text, int& position) const {
  return outOfRangeAllowed(QDoubleSpinBox::validate(text, position), text, true, locale());
}

}  // namespace waymock::app
