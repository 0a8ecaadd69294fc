// Renders each page of the main window to a PNG, with a sample fix and some
// satellites shown, then the satellite editor, the window in file mode, the
// About box and the help viewer, so the look can be reviewed without a
// desktop: waymock-screenshots FOLDER
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <cstdio>
#include <fstream>

#include "app/about_dialog.h"
#include "app/help_viewer.h"
#include "app/main_window.h"
#include "app/satellites_dialog.h"
#include "app/window_prompts.h"
#include "platform/folders.h"
#include "support/units.h"

namespace {

bool save(QWidget& widget, const QDir& folder, const char* name) {
  QApplication::processEvents();
  const QString file = folder.filePath(QString("%1.png").arg(name));
  if (!widget.grab().save(file)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
    return false;
  }
  std::printf("%s (%dx%d)\n", qPrintable(file), widget.width(), widget.height());
  return true;
}

bool saveAboutBox(waymock::app::TfrmMain& window, const QDir& folder);
bool saveHelpViewer(waymock::app::TfrmMain& window, const QDir& folder);

// The dialogs answered here, each saved as it shows.
struct Answers : waymock::app::WindowPrompts {
  QDir folder;
  QString log;
  void runModal(QDialog& editor) override {
    // The editor as Set Satellites shows it, with the rows of the three
    // brightest satellites selected. There is no satellite file yet, so it
    // shows the generator's.
    editor.show();
    auto* list = editor.findChild<QTableWidget*>("lvSat");
    for (int row : {1, 11, 28}) {
      list->selectionModel()->select(list->model()->index(row, 0),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    save(editor, folder, "satellite-editor");
    editor.close();
  }
  QString chooseFile(QFileDialog&) override { return log; }
};

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: waymock-screenshots FOLDER\n");
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationDisplayName("Waymock");
  Answers answers;
  answers.folder = QDir(QString::fromLocal8Bit(argv[1]));
  waymock::app::TfrmMain window(answers);
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
  g.SetSpeed(40 * waymock::kKnotsPerKmh);
  g.SetHeading(87.5L);
  struct Sat {
    std::uint16_t prn, elevation, azimuth, snr;
  };
  for (const Sat& s :
       {Sat{2, 72, 40, 44}, Sat{5, 35, 110, 38}, Sat{9, 18, 200, 9}, Sat{12, 55, 255, 41},
        Sat{17, 8, 330, 6}, Sat{21, 48, 150, 35}, Sat{25, 25, 290, 30}, Sat{29, 62, 10, 47}}) {
    g.SetSatellite(s.prn, true, s.elevation, s.azimuth, s.snr);
  }
  // Show one transmitted burst the way a tick does.
  window.simulation().onTransmitted(g.GetSentences());
  window.show();
  const QDir& folder = answers.folder;
  const char* names[] = {"simulator", "settings", "satellites", "advanced"};
  auto* pages = window.findChild<QTabWidget*>("PageControl");
  for (int i = 0; i < pages->count(); ++i) {
    pages->setCurrentIndex(i);
    if (!save(window, folder, names[i])) return 1;
  }

  window.findChild<QPushButton*>("btnSat")->click();

  // File mode, with a recorded log loaded.
  const std::string log = waymock::userDataFolder() + "harbour-loop.log";
  std::ofstream(log, std::ios::binary) << g.GetSentences();
  answers.log = QString::fromStdString(log);
  window.findChild<QAction*>("btnLoad")->trigger();
  pages->setCurrentIndex(0);
  if (!save(window, folder, "file-mode")) return 1;
  if (!saveAboutBox(window, folder) || !saveHelpViewer(window, folder)) return 1;
  return 0;
}

namespace {

// The About box as btnAbout shows it, without its modal loop.
bool saveAboutBox(waymock::app::TfrmMain& window, const QDir& folder) {
  waymock::app::TfrmAbout about(&window);
  about.show();
  return save(about, folder, "about");
}

// The help viewer at the Simulator page's help, as F1 there opens it.
bool saveHelpViewer(waymock::app::TfrmMain& window, const QDir& folder) {
  window.showHelp(waymock::app::kHelpSimulator);
  auto* viewer = window.findChild<waymock::app::HelpViewer*>("HelpViewer");
  const bool saved = save(*viewer, folder, "help");
  viewer->close();
  return saved;
}

}  // namespace
