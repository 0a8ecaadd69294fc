#pragma once

#include <QDoubleSpinBox>
#include <QSpinBox>

namespace waymock::app {

// Numeric fields that let a number outside the range be typed (Qt's own spin
// boxes refuse the keystroke) and bring it back to the nearest bound when the
// field loses the focus or takes Enter; text that is no number reads as the
// minimum.
class WholeSpinEdit : public QSpinBox {
  Q_OBJECT
 public:
  using QSpinBox::QSpinBox;
  QValidator::State validate(QString& text, int& position) const override;
  void fixup(QString& text) const override;
  // The value the field holds once its text is corrected, without correcting
  // it: a number still being typed counts.
  int typedValue() const;
};

// A decimal field also takes "." for the decimal point under a locale whose
// point is another (see withLocalePoint).
class DecimalSpinEdit : public QDoubleSpinBox {
  Q_OBJECT
 public:
  using QDoubleSpinBox::QDoubleSpinBox;
  QValidator::State validate(QString& text, int& position) const override;
  void fixup(QString& text) const override;
  double valueFromText(const QString& text) const override;
  double typedValue() const;
};

// `text` as `locale` reads it, with a typed "." taken as the decimal point
// when the text has no other ("0.5" is 0,5 under a decimal-comma locale) and
// as grouping beside it ("1.234,5" is 1234,5).
QString withLocalePoint(QString text, const QLocale& locale);

}  // namespace waymock::app
