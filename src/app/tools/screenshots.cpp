// Renders each page of the main window, the About box and the help viewer to
// PNGs, with a sample fix shown, so the look can be reviewed without a desktop:
// waymock-screenshots FOLDER
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>
#include <cstdio>

#include "app/about_dialog.h"
#include "app/help_viewer.h"
#include "app/main_window.h"
#include "ui_main_window.h"

namespace {
bool saveAboutBox(waymock::app::TfrmMain& window, const QDir& folder);
bool saveHelpViewer(waymock::app::TfrmMain& window, const QDir& folder);
}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: waymock-screenshots FOLDER\n");
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName("Waymock");
  waymock::app::TfrmMain window;
  waymock::SimulatorSettings sample;
  sample.latitudeDegree = 52;
  sample.latitudeMinute = 22;
  sample.latitudeSecond = 31.25L;
  sample.longitudeDegree = 4;
  sample.longitudeMinute = 53;
  sample.longitudeSecond = 42.5L;
  sample.altitude = 12.5L;
  sample.speed = 40;
  sample.heading = 87.5L;
  sample.hdop = 1.2L;
  sample.udp = true;
  sample.udpHost = "127.0.0.1";
  sample.udpPort = 10110;
  sample.serialPort = waymock::app::TfrmMain::virtualPortPath().toStdString();
  window.writeSettings(sample);
  auto& g = window.generator();
  g.SetLatitude_Degree(52);
  g.SetLatitude_Minute(22);
  g.SetLatitude_Second(31.25L);
  g.SetLongitude_Degree(4);
  g.SetLongitude_Minute(53);
  g.SetLongitude_Second(42.5L);
  g.SetAltitude(12.5L);
  g.SetSpeed(40 * 0.5397L);
  g.SetHeading(87.5L);
  // Show one transmitted burst the way a tick does.
  window.simulation().onTransmitted(g.GetSentences());
  window.show();
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  const char* names[] = {"simulator", "settings", "satellites"};
  auto* pages = window.ui().PageControl;
  for (int i = 0; i < pages->count(); ++i) {
    pages->setCurrentIndex(i);
    QApplication::processEvents();
    const QString file = folder.filePath(QString("%1.png").arg(names[i]));
    if (!window.grab().save(file)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
      return 1;
    }
    std::printf("%s (%dx%d)\n", qPrintable(file), window.width(), window.height());
  }
  if (!saveAboutBox(window, folder) || !saveHelpViewer(window, folder)) return 1;
  return 0;
}

namespace {

bool saveShot(QWidget& widget, const QDir& folder, const char* name) {
  QApplication::processEvents();
  const QString file = folder.filePath(QString("%1.png").arg(name));
  if (!widget.grab().save(file)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
    return false;
  }
  std::printf("%s (%dx%d)\n", qPrintable(file), widget.width(), widget.height());
  return true;
}

// The About box as btnAbout shows it, without its modal loop.
bool saveAboutBox(waymock::app::TfrmMain& window, const QDir& folder) {
  waymock::app::TfrmAbout about(&window);
  about.show();
  return saveShot(about, folder, "about");
}

// The help viewer at the Simulator page's help, as F1 there opens it.
bool saveHelpViewer(waymock::app::TfrmMain& window, const QDir& folder) {
  window.showHelp(waymock::app::kHelpSimulator);
  const bool saved = saveShot(*window.helpViewer(), folder, "help");
  window.helpViewer()->close();
  return saved;
}

}  // namespace
