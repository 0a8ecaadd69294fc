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

// People type "." from numeric keypads and paste coordinates written with one;
// under a decimal-comma locale Qt would take it for a group separator and read
// "0.5" as 5. A "." is the decimal point where the text has no other; beside
// the locale's own point it can only be grouping, and grouping is dropped.
// The field keeps the text as typed until it is shown again from its value.
QString withLocalePoint(QString text, const QLocale& locale) {
  const QString point = locale.decimalPoint();
  if (point == QLatin1String(".") || !text.contains(QLatin1Char('.'))) return text;
  if (text.contains(point)) return text.remove(QLatin1Char('.'));
  return text.replace(QLatin1Char('.'), point);
}

QValidator::State WholeSpinEdit::validate(QString& text, int& position) const {
  return outOfRangeAllowed(QSpinBox::validate(text, position), text, false, locale());
}

QValidator::State DecimalSpinEdit::validate(QString& text, int& position) const {
  QString read = withLocalePoint(text, locale());
  return outOfRangeAllowed(QDoubleSpinBox::validate(read, position), read, true, locale());
}

double DecimalSpinEdit::valueFromText(const QString& text) const {
  return QDoubleSpinBox::valueFromText(withLocalePoint(text, locale()));
}

}  // namespace waymock::app
