#pragma once

#include <QWidget>

namespace waymock::generator {
class TTarnNMEAGenerator;
}

namespace waymock::app {

// The sky plot of a generator's 32 satellites: the generator draws it with
// radius width / 2, black background and white lines. The owner gives the
// widget its fixed size and calls update() after changing the satellites.
class SkyPlotWidget : public QWidget {
  Q_OBJECT

 public:
  // For forms that place the widget before the generator is known.
  explicit SkyPlotWidget(QWidget* parent = nullptr);
  // The generator must outlive the widget, or be taken away first.
  explicit SkyPlotWidget(const generator::TTarnNMEAGenerator& generator, QWidget* parent = nullptr);

  // Paints nothing while there is none.
  void setGenerator(const generator::TTarnNMEAGenerator* generator);
  const generator::TTarnNMEAGenerator* generator() const { return generator_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void PaintBoxPaint();

  const generator::TTarnNMEAGenerator* generator_ = nullptr;
};

}  // namespace waymock::app
