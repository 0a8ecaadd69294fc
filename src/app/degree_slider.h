#pragma once

#include <QSlider>

namespace waymock::app {

// The latitude and longitude sliders: positions in hundredths of an
// arc-second, which screen readers and other assistive tools read (and set)
// as the degrees they stand for, 52.5 rather than 18900000.
class DegreeSlider : public QSlider {
  Q_OBJECT
 public:
  explicit DegreeSlider(QWidget* parent = nullptr);
};

}  // namespace waymock::app
