#pragma once

#include <QDoubleSpinBox>
#include <QSpinBox>

namespace waymock::app {

// Numeric fields that let a number outside the range be typed (Qt's own spin
// boxes refuse the keystroke), so that SpinCorrection brings it back to the
// nearest bound when the field loses the focus.
class WholeSpinEdit : public QSpinBox {
  Q_OBJECT
 public:
  using QSpinBox::QSpinBox;
  QValidator::State validate(QString& text, int& position) const override;
};

// A decimal field also takes "." for the decimal point under a locale whose
// point is another (see withLocalePoint).
class DecimalSpinEdit : public QDoubleSpinBox {
  Q_OBJECT
 public:
  using QDoubleSpinBox::QDoubleSpinBox;
  QValidator::State validate(QString& text, int& position) const override;
  double valueFromText(const QString& text) const override;
};

// `text` as `locale` reads it, with a typed "." taken as the decimal point
// when the text has no other ("0.5" is 0,5 under a decimal-comma locale) and
// as grouping beside it ("1.234,5" is 1234,5).
QString withLocalePoint(QString text, const QLocale& locale);

}  // namespace waymock::app
