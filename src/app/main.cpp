// The simulator's window program.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "app/app_icons.h"
#include "app/main_window.h"
#include "app/stop_signal_notifier.h"

namespace {

// --help and --version answer without a display, so they come before the
// application object, which needs one.
bool answeredCommandLine(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::printf(
          "Usage: waymock [Qt options]\n"
          "A GPS receiver simulator: sends a simulated fix as NMEA 0183 sentences to a serial\n"
          "port (or its own virtual one) and by UDP, once per interval.\n\n"
          "  -h, --help     show this text and exit\n"
          "  --version      show the version and exit\n\n"
          "Without a display, use waymock-cli run.\n");
      return true;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("waymock %s\n", WAYMOCK_VERSION);
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (answeredCommandLine(argc, argv)) return 0;
  QApplication app(argc, argv);
  QApplication::setApplicationName("waymock");
  QApplication::setApplicationDisplayName("Waymock");
  // Every window without an icon of its own, the main window first, shows the
  // program's icon in the task bar and the window manager's switcher.
  QApplication::setWindowIcon(waymock::app::applicationIcon());
  waymock::app::TfrmMain window;
  // A stop signal closes the window as its close button does; the loop then
  // ends even when the window was hidden in the tray or a dialog was open.
  waymock::app::StopSignalNotifier stopSignals;
  QObject::connect(&stopSignals, &waymock::app::StopSignalNotifier::stopRequested, &window, [&] {
    window.close();
    QCoreApplication::quit();
  });
  window.show();
  return app.exec();
}
