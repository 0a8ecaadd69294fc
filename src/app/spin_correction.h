#pragma once

#include <QObject>

class QAbstractSpinBox;

namespace waymock::app {

// The numeric fields' own correction, which Qt's spin boxes lack: when a
// field loses the focus (or takes Enter), a value outside its range comes back
// to the nearest bound and text that is not a number reads as the minimum. Installed as an
// event filter on every spin box of a window.
class SpinCorrection : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;

  // Installs the filter on every spin box below `root`.
  void watchAll(QObject* root);
  // Brings the field's text to a value in range now; leaves acceptable text alone.
  static void correct(QAbstractSpinBox* spin);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace waymock::app
