// Measures the window's weight: start-up to first paint, resident memory after
// 100 ticks with 32 active satellites turning, and CPU time per tick. The ticks
// write to a pseudo-terminal whose far side is drained, like a listening client.
// Then the output log over a day at 1 Hz: resident memory and CPU and wall time
// per burst shown, at its start, at 10,000 and at 86,400 bursts.
#include <pty.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QTimer>

#include "app/main_window.h"
#include "app/output_log.h"
#include "app/window_prompts.h"

namespace {

// Milliseconds since the process started, from the kernel's start time (in
// clock ticks since boot), so loading the libraries counts too.
double msSinceProcessStart() {
  std::ifstream statFile("/proc/self/stat");
  std::string stat((std::istreambuf_iterator<char>(statFile)), {});
  const auto afterName = stat.rfind(')');
  std::istringstream fields(stat.substr(afterName + 2));
  std::string field;
  for (int i = 3; i <= 22; ++i) fields >> field;  // field 22: starttime
  long long startTicks = 0;                       // whole clock ticks; no locale in the way
  std::from_chars(field.data(), field.data() + field.size(), startTicks);
  double uptime = 0;
  std::ifstream("/proc/uptime") >> uptime;
  return (uptime - static_cast<double>(startTicks) / static_cast<double>(sysconf(_SC_CLK_TCK))) *
         1000;
}

long residentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class FirstPaint : public QObject {
  Q_OBJECT

 public:
  double at = -1;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && at < 0) at = msSinceProcessStart();
    return QObject::eventFilter(watched, event);
  }
};

// Start's error box, on the standard error instead.
struct ErrorsToStderr : waymock::app::WindowPrompts {
  void showError(QWidget&, const QString& text) override {
    std::fprintf(stderr, "%s\n", qPrintable(text));
  }
};

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  ErrorsToStderr prompts;
  waymock::app::TfrmMain window(prompts);
  auto* mainTimer = window.findChild<QTimer*>("MainTimer");
  auto* log = window.findChild<waymock::app::OutputLog*>("MemoOut");
  FirstPaint paint;
  window.installEventFilter(&paint);
  window.show();
  QElapsedTimer wait;
  wait.start();
  while (paint.at < 0 && wait.elapsed() < 10000)
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  std::printf("start-up to first paint: %.0f ms (%s)\n", paint.at,
              qPrintable(QApplication::platformName()));

  int master = -1;
  int slave = -1;
  char name[256] = {};
  if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return 1;
  for (std::uint16_t prn = 1; prn <= 32; ++prn) {
    window.generator().SetSatellite(prn, true, prn % 90, static_cast<std::uint16_t>(prn * 11), 40);
  }
  window.findChild<QCheckBox*>("cbMove")->setChecked(true);
  auto* ports = window.findChild<QComboBox*>("cmbCom");
  ports->addItem(name);
  ports->setCurrentIndex(ports->count() - 1);
  window.findChild<QAction*>("btnStart")->trigger();
  mainTimer->stop();
  char drain[65536];
  const int ticks = 100;
  const double cpuBefore = cpuSeconds();
  for (int i = 0; i < ticks; ++i) {
    QMetaObject::invokeMethod(mainTimer, "timeout");
    QApplication::processEvents();  // the repaints a tick asks for
    while (read(master, drain, sizeof drain) == static_cast<ssize_t>(sizeof drain)) {
    }
  }
  const double perTick = (cpuSeconds() - cpuBefore) / ticks;
  std::printf(
      "CPU per tick (32 satellites, log, labels, sliders): %.3f ms = %.3f %% of a core at 1 Hz\n",
      perTick * 1000, perTick * 100);
  std::printf("resident memory after %d ticks: %.1f MB\n", ticks, residentKiB() / 1024.0);
  mainTimer->stop();
  window.generator().ClosePort();
  close(master);
  close(slave);

  // The output log over a day at 1 Hz: neither its memory nor its cost per
  // burst may grow with it. The whole log goes to disk, the window keeps a tail.
  const std::string burst = window.generator().GetSentences();
  struct Stage {
    double cpuUs;
    double wallUs;
    double residentMB;
  };
  const int sample = 200;
  long shown = 0;
  const auto run = [&](long until) {
    const long sampleFrom = until - sample;
    double cpuBefore = 0;
    QElapsedTimer wall;
    for (; shown < until; ++shown) {
      if (shown == sampleFrom) {
        cpuBefore = cpuSeconds();
        wall.start();
      }
      window.simulation().onTransmitted(burst);
      QApplication::processEvents();  // and its repaint, as after a tick
    }
    return Stage{(cpuSeconds() - cpuBefore) / sample * 1e6,
                 static_cast<double>(wall.nsecsElapsed()) / sample / 1e3, residentKiB() / 1024.0};
  };
  log->findChild<QAction*>("miClear")->trigger();
  const double empty = residentKiB() / 1024.0;
  const Stage first = run(sample);
  const Stage tenThousand = run(10000);
  const Stage day = run(86400);
  std::printf("output log, burst of %zu bytes (32 satellites), per burst shown (CPU / wall):\n",
              burst.size());
  std::printf(
      "  %.0f / %.0f us at the first %d, %.0f / %.0f us at 9,801-10,000, %.0f / %.0f us at "
      "86,201-86,400\n",
      first.cpuUs, first.wallUs, sample, tenThousand.cpuUs, tenThousand.wallUs, day.cpuUs,
      day.wallUs);
  std::printf(
      "output log, resident memory: %.1f MB empty, %.1f MB at 10,000 bursts, %.1f MB at 86,400 "
      "(goal 80 MB); %.0f MB of log on disk\n",
      empty, tenThousand.residentMB, day.residentMB,
      static_cast<double>(burst.size() + 2) * 86400 / (1024.0 * 1024.0));
  return 0;
}

#include "window_bench.moc"
