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

class DecimalSpinEdit : public QDoubleSpinBox {
  Q_OBJECT
 public:
  using QDoubleSpinBox::QDoubleSpinBox;
  QValidator::State validate(QString& text, int& position) const override;
};

}  // namespace waymock::app
