// The simulator's window program.
#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
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
          "port (or its own virtual one), by UDP and to TCP clients, once per interval.\n\n"
          "  -h, --help     show this text and exit\n"
          "  -V, --version  show the version and exit\n\n"
          "Without a display, use waymock-cli run.\n");
      return true;
    }
    if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-V") == 0) {
      std::printf("waymock %s\n", WAYMOCK_VERSION);
      return true;
    }
  }
  return false;
}

// While the application object starts, Qt's messages wait here. Without a
// display no platform can start, and Qt would end the program with a paragraph
// about reinstalling it and an abort; instead the program says in one line
// what is missing, and ends with 1.
QStringList startupMessages;

void startupMessageHandler(QtMsgType type, const QMessageLogContext& context,
                           const QString& message) {
  if (type == QtFatalMsg) {
    const char* display = std::getenv("DISPLAY");
    std::fprintf(stderr,
                 "waymock: no display answers (DISPLAY=\"%s\"); without a display, use "
                 "waymock-cli run.\n",
                 display != nullptr ? display : "");
    std::_Exit(1);
  }
  startupMessages << qFormatLogMessage(type, context, message);
}

// What Qt left of the command line once it took its own options: nothing is
// expected there. Said in waymock-cli's words.
int refusedArguments() {
  const QStringList arguments = QCoreApplication::arguments();
  if (arguments.size() <= 1) return 0;
  const QString& word = arguments.at(1);
  if (word.size() > 1 && word.startsWith('-')) {
    std::fprintf(stderr, "waymock: Unknown option \"%s\".\n",
                 qUtf8Printable(word.section('=', 0, 0)));
  } else {
    std::fprintf(stderr, "waymock: The following argument was not expected: %s\n",
                 qUtf8Printable(word));
  }
  std::fputs("Run with --help for more information.\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (answeredCommandLine(argc, argv)) return 0;
  qInstallMessageHandler(startupMessageHandler);
  QApplication app(argc, argv);
  qInstallMessageHandler(nullptr);
  for (const QString& line : std::as_const(startupMessages))
    std::fprintf(stderr, "%s\n", qUtf8Printable(line));
  if (const int refused = refusedArguments()) return refused;
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
