#include "app/spin_edit.h"

#include <QLocale>
#include <algorithm>
#include <optional>

namespace waymock::app {

namespace {

std::optional<double> numberIn(const QString& text, bool decimal, const QLocale& locale) {
  bool ok = false;
  const double value = decimal ? locale.toDouble(text.trimmed(), &ok)
                               : static_cast<double>(locale.toLongLong(text.trimmed(), &ok));
  return ok ? std::optional(value) : std::nullopt;
}

// A number of the field's kind, whatever its range, is worth keeping for now;
// fixup brings it into the range.
QValidator::State outOfRangeAllowed(QValidator::State state, const QString& text, bool decimal,
                                    const QLocale& locale) {
  if (state != QValidator::Invalid) return state;
  // A sign alone is where a negative number starts, even in a field that
  // takes none.
  const QString typed = text.trimmed();
  if (typed == locale.negativeSign() || typed == QLatin1String("-"))
    return QValidator::Intermediate;
  return numberIn(text, decimal, locale) ? QValidator::Intermediate : state;
}

double clamped(const QString& text, bool decimal, const QLocale& locale, double minimum,
               double maximum) {
  return std::clamp(numberIn(text, decimal, locale).value_or(minimum), minimum, maximum);
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

void WholeSpinEdit::fixup(QString& text) const {
  text = textFromValue(static_cast<int>(clamped(text, false, locale(), minimum(), maximum())));
}

int WholeSpinEdit::typedValue() const {
  if (hasAcceptableInput()) return value();
  return static_cast<int>(clamped(text(), false, locale(), minimum(), maximum()));
}

QValidator::State DecimalSpinEdit::validate(QString& text, int& position) const {
  QString read = withLocalePoint(text, locale());
  return outOfRangeAllowed(QDoubleSpinBox::validate(read, position), read, true, locale());
}

void DecimalSpinEdit::fixup(QString& text) const {
  text =
      textFromValue(clamped(withLocalePoint(text, locale()), true, locale(), minimum(), maximum()));
}

double DecimalSpinEdit::valueFromText(const QString& text) const {
  return QDoubleSpinBox::valueFromText(withLocalePoint(text, locale()));
}

double DecimalSpinEdit::typedValue() const {
  if (hasAcceptableInput()) return value();
  const double typed =
      clamped(withLocalePoint(text(), locale()), true, locale(), minimum(), maximum());
  // As the field will show it, at its decimals.
  return valueFromText(textFromValue(typed));
}

}  // namespace waymock::app
