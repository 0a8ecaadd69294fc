// The window's Satellites page and file mode: the satellite editor opened from
// the page, and recorded logs replayed to a pseudo-terminal and by UDP.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileDialog>
#include <QGroupBox>
#include <QTest>
#include <filesystem>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/satellites_dialog.h"
#include "common/test_support.h"
#include "error_log_watch.h"
#include "platform/folders.h"
#include "platform/pty_pair.h"
#include "receiver/receiver_test_support.h"
#include "test_window.h"

namespace waymock::app {
namespace {

constexpr int kCapMs = 10000;  // generous: only a hang runs into it

std::string sentence(std::string_view body) {
  return std::string(body) + '*' + generator::TTarnNMEAGenerator::CheckSum(body) + "\r\n";
}

// What the output log's "Save to file" writes: `bursts` bursts at 52° 10',
// 11', 12' N and on with satellites 3 and 7, each followed by an empty line.
std::string savedOutputLog(int bursts = 3) {
  generator::TTarnNMEAGenerator gen(systemClock(), nullptr);
  gen.SetCommands(generator::TNMEACommands::all());
  gen.SetSatellite(3, true, 30, 40, 45);
  gen.SetSatellite(7, true, 60, 200, 20);
  gen.SetLatitude_Degree(52);
  gen.SetAltitude(12);
  std::string log;
  for (int minute = 10; minute < 10 + bursts; ++minute) {
    gen.SetLatitude_Minute(minute);
    log += gen.GetSentences() + "\r\n";
  }
  return log;
}

// Bytes waiting on a non-blocking descriptor.
std::string drain(int fd) {
  std::string got;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
    got.append(buffer, static_cast<std::size_t>(n));
  }
  return got;
}

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::vector<int> activePrns(const generator::TTarnNMEAGenerator& g) {
  std::vector<int> prns;
  for (const auto* s : g.GetActiveSatellites()) prns.push_back(s->PseudoRandomCode());
  return prns;
}

// Without a satellite file from an earlier test, before and after.
struct NoSatelliteFile {
  NoSatelliteFile() { std::filesystem::remove(satelliteFilePath()); }
  ~NoSatelliteFile() { std::filesystem::remove(satelliteFilePath()); }
};

// A window whose boxes and open dialog are answered by the test.
class FileModeTest : public ::testing::Test {
 protected:
  FileModeTest() { test::writeFile(log, savedOutputLog()); }
  generator::TTarnNMEAGenerator& g() { return w.generator(); }
  void selectPort(const std::string& name) { win.selectPort(name); }
  void load(const std::filesystem::path& file) {
    win.prompts.chosen = QString::fromStdString(file.string());
    ui.btnLoad->trigger();
  }
  receiver::TTarnFileGPSReceiver& fileReceiver() { return ui.FileModeController->receiver(); }
  ReplayDriver& replayDriver() { return ui.FileModeController->driver(); }
  // The tray's once-a-second look at the window, at once; what it decided.
  TrayAnimation trayAnimation() {
    test::TestWindow::fire(ui.AnimateTimer);
    return ui.TrayController->animation();
  }
  // Start at full speed: the Delay is read after each burst.
  void startFast() {
    ui.btnStart->trigger();
    fileReceiver().SetDelay(0);
  }
  bool replayEnds() {
    return QTest::qWaitFor([this] { return !replayDriver().replaying(); }, kCapMs);
  }
  // Waits for the replay to end, reading the far side of the port meanwhile so
  // it never fills; returns all it got.
  std::string replayToTheEnd(int master) {
    std::string sent;
    const bool ended = QTest::qWaitFor(
        [&] {
          sent += drain(master);
          return !replayDriver().replaying();
        },
        kCapMs);
    EXPECT_TRUE(ended) << "the replay did not end";
    return sent + drain(master);
  }
  std::vector<bool> simulatorControlsEnabled() {
    return {ui.btnBack->isEnabled(),       ui.btnForward->isEnabled(), ui.trckLatitude->isEnabled(),
            ui.trckLongitude->isEnabled(), ui.btnSat->isEnabled(),     ui.cbMove->isEnabled()};
  }

  NoSatelliteFile noSatelliteFile;
  test::TempDir dir;
  std::filesystem::path log = dir / "track.log";
  test::TestWindow win;
  TfrmMain& w = win.w;
  test::WindowControls& ui = win.ui;
  QStringList& errors = win.errors;
  test::PtyPair pty;
};

const std::vector<bool> kAllEnabled(6, true), kAllDisabled(6, false);

TEST_F(FileModeTest, SatellitesStopTurningWhileTheEditorIsOpenButTheFixMoves) {
  test::writeFile(satelliteFilePath(),
                  "[1]\r\nActive=1\r\nElevation=45\r\nAzimuth=10\r\nSNR=30\r\n");
  ui.cbMove->setChecked(true);
  selectPort(pty.name());
  ui.btnStart->trigger();
  const auto azimuth = [this] { return g().GetSatellites()[1]->Azimuth(); };
  bool ran = false;
  win.prompts.modal = [&](QDialog& editor) {
    ran = true;
    editor.show();
    EXPECT_EQ(editor.parent(), &w);
    const long double second = g().Latitude_Second();
    win.tick();
    win.tick();
    EXPECT_EQ(azimuth(), 10) << "loaded on show, then left alone";
    EXPECT_NE(g().Latitude_Second(), second);
    QTest::keyClick(&editor, Qt::Key_F1);
    editor.close();
  };
  QTest::mouseClick(ui.btnSat, Qt::LeftButton);
  ASSERT_TRUE(ran);
  EXPECT_EQ(win.helpPageShown(), "satellites.html") << "F1 in the editor";
  EXPECT_EQ(w.findChildren<TfrmSatellites*>().size(), 0) << "destroyed on close";
  win.tick();
  EXPECT_EQ(azimuth(), 11);
}

TEST_F(FileModeTest, FileModeWithoutAFileSaysSoAndStaysOff) {
  QTest::mouseClick(ui.btnFile, Qt::LeftButton);
  EXPECT_EQ(errors, QStringList{"Select a file."});
  EXPECT_FALSE(ui.btnFile->isChecked());
  EXPECT_EQ(ui.lblSource->text(), "Simulator");
  EXPECT_EQ(simulatorControlsEnabled(), kAllEnabled);
  ui.btnLoad->trigger();  // cancelled
  EXPECT_FALSE(ui.btnFile->isChecked());
  EXPECT_EQ(errors.size(), 1);

  // A FIFO without a writer or a terminal would hold the window in a read:
  // no file either.
  const auto fifo = dir / "fifo.log";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::filesystem::path& file : {fifo, std::filesystem::path("/dev/tty")}) {
    load(file);
    EXPECT_FALSE(ui.btnFile->isChecked()) << file;
    EXPECT_EQ(ui.lblSource->text(), "Simulator");
  }
  EXPECT_EQ(errors, QStringList(3, "Select a file."));
}

TEST_F(FileModeTest, LoadSwitchesToFileModeAndSendsNothingUntilStart) {
  ui.efInterval->setValue(70);
  ui.PageControl->setCurrentIndex(1);
  selectPort(pty.name());
  ui.btnStart->trigger();
  EXPECT_EQ(trayAnimation(), (TrayAnimation{4464, true})) << "70 s is 4464 modulo 65536";
  EXPECT_EQ(ui.TrayController->interval(), 4464);
  EXPECT_TRUE(ui.TrayController->animated());

  load(log);
  EXPECT_EQ(win.prompts.filters,
            QStringList({"*.log (*.log)", "*.txt (*.txt)", "*.nmea (*.nmea)", "*.* (*)"}));
  EXPECT_EQ(win.prompts.selectedFilter, "*.log") << "the first, shown as its pattern";
  EXPECT_EQ(win.prompts.fileMode, QFileDialog::ExistingFile);
  EXPECT_TRUE(ui.btnFile->isChecked());
  for (const QString& text :
       {ui.lblSource->text(), ui.lblSource->toolTip(), ui.lblSource->statusTip()}) {
    EXPECT_EQ(text.toStdString(), log.string());
  }
  EXPECT_EQ(simulatorControlsEnabled(), kAllDisabled);
  EXPECT_FALSE(ui.MainTimer->isActive());
  EXPECT_EQ(fileReceiver().Delay(), 70000);
  EXPECT_FALSE(fileReceiver().Active());
  EXPECT_EQ(trayAnimation(), (TrayAnimation{4464, false})) << "the replay does not run";
  EXPECT_FALSE(ui.TrayController->animated());

  win.tick();
  const long double second = g().Latitude_Second();
  ui.btnForward->trigger();
  ui.btnBack->trigger();
  QTest::qWait(50);
  EXPECT_EQ(drain(pty.master()), "");
  EXPECT_EQ(g().Latitude_Second(), second);
  EXPECT_TRUE(ui.MemoOut->toPlainText().isEmpty());
}

TEST_F(FileModeTest, AReplayReachesThePortAndTheDisplayAndLeavingRestoresTheSatellites) {
  test::writeFile(satelliteFilePath(),
                  "[1]\r\nActive=1\r\nElevation=45\r\nAzimuth=10\r\nSNR=30\r\n");
  selectPort(pty.name());
  load(log);
  startFast();
  EXPECT_TRUE(errors.isEmpty());
  const std::string sent = replayToTheEnd(pty.master());
  // Three deliveries: the lines before the first RMC line, then two bursts;
  // the last burst is never delivered.
  EXPECT_EQ(count(sent, "$GPRMC"), 3u);
  EXPECT_NE(sent.find("$GPGLL,5212.0000,N"), std::string::npos);
  EXPECT_EQ(ui.lblLat->text().toStdString(), " 52\u00B0 12' 00.00\" N");
  EXPECT_EQ(ui.lblAltitude->text().toStdString(), "12 m = 39.37 feet");
  EXPECT_EQ(ui.trckLatitude->value(), 52 * 360000 + 12 * 6000);
  EXPECT_EQ(count(ui.MemoOut->toPlainText().toStdString(), "$GPRMC"), 3u);
  EXPECT_EQ(activePrns(g()), (std::vector<int>{3, 7})) << "the log's satellites";
  EXPECT_FALSE(ui.MainTimer->isActive());

  QTest::mouseClick(ui.btnFile, Qt::LeftButton);
  EXPECT_FALSE(ui.btnFile->isChecked());
  EXPECT_EQ(activePrns(g()), std::vector<int>{1}) << "the saved ones, and only those";
  EXPECT_EQ(simulatorControlsEnabled(), kAllEnabled);
  EXPECT_EQ(ui.lblSource->text(), "Simulator");
  EXPECT_EQ(ui.lblSource->statusTip(), "Simulator");
  EXPECT_FALSE(ui.MainTimer->isActive()) << "the simulator waits for Start";
}

TEST_F(FileModeTest, WithoutAPortOnlyUdpCarriesTheReplay) {
  test::UdpReceiver listener;
  ui.cbUDP->setChecked(true);
  ui.efIp->setText("127.0.0.1");
  ui.efUdpPort->setValue(listener.port());
  ui.PageControl->setCurrentIndex(1);
  selectPort("/nonexistent/ttyWAYM0");
  load(log);
  startFast();
  EXPECT_EQ(errors,
            QStringList{"Cannot connect to /nonexistent/ttyWAYM0.\nThere is no such device."});
  ASSERT_TRUE(replayEnds());
  std::vector<std::string> datagrams;
  while (auto datagram = listener.receive(0)) datagrams.push_back(*datagram);
  ASSERT_EQ(datagrams.size(), 3u);
  EXPECT_NE(datagrams[2].find("$GPGLL,5212.0000,N"), std::string::npos);
  EXPECT_TRUE(ui.MemoOut->toPlainText().isEmpty());
  EXPECT_TRUE(ui.lblLat->text().isEmpty());
  EXPECT_EQ(ui.trckLatitude->value(), 0);
  EXPECT_TRUE(activePrns(g()).empty()) << "the sky plot keeps what it showed";
}

TEST_F(FileModeTest, StartStopPauseAndCloseActAtOnceDuringALongDelay) {
  ui.efInterval->setValue(3600);
  selectPort(pty.name());
  load(log);
  const auto bursts = [this] { return count(ui.MemoOut->toPlainText().toStdString(), "$GPRMC"); };
  ui.btnStart->trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return bursts() == 1; }, kCapMs));
  ui.btnPause->trigger();
  EXPECT_TRUE(replayDriver().paused());
  ui.btnPause->trigger();
  EXPECT_FALSE(replayDriver().paused());
  ui.btnStart->trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return bursts() == 2; }, kCapMs))
      << "Start again replays from the top of the log";
  ui.btnPause->trigger();
  ui.btnStop->trigger();
  ASSERT_TRUE(replayEnds());
  EXPECT_FALSE(replayDriver().paused());
  EXPECT_TRUE(g().PortName().empty());
  EXPECT_EQ(bursts(), 2u);

  ui.btnStart->trigger();
  ASSERT_TRUE(replayDriver().replaying());
  w.show();
  w.close();
  ASSERT_TRUE(replayEnds());
  EXPECT_FALSE(fileReceiver().Active());
}

// Real receivers' logs hold values the simulator cannot send: a burst whose
// fix the generator refuses is skipped with one error-log line for the run,
// a satellite it has no slot for is left out, and the replay goes on.
TEST_F(FileModeTest, ABurstTheGeneratorRefusesIsSkippedAndTheReplayGoesOn) {
  test::writeFile(log, sentence("$GPRMC,120000,A,4807.038,N,01131.000,E,010.0,045.0,230394,,") +
                           sentence("$GPGSV,1,1,01,05,40,083,46") +
                           sentence("$GPRMC,120001,A,4807.138,N,01131.000,E,010.0,360.0,230394,,") +
                           sentence("$GPGSV,1,1,01,06,40,083,46") +
                           sentence("$GPRMC,120002,A,4807.238,N,01131.000,E,010.0,090.0,230394,,") +
                           sentence("$GPGSV,1,1,02,46,30,120,40,07,45,090,35") +
                           sentence("$GPRMC,120003,A,4807.338,N,01131.000,E,010.0,090.0,230394,,"));
  test::ErrorLogWatch errorLog;
  selectPort(pty.name());
  load(log);
  startFast();
  const std::string sent = replayToTheEnd(pty.master());
  EXPECT_EQ(fileReceiver().deliveredBursts(), 4u);
  EXPECT_EQ(count(sent, "$GPRMC"), 3u) << "the empty first delivery, the first and third bursts";
  EXPECT_EQ(g().Heading(), 90);
  EXPECT_EQ(activePrns(g()), std::vector<int>{7});
  EXPECT_EQ(errorLog.lines(),
            std::vector<std::string>{"TarnFileGPSReceiver Skipped a burst the simulator cannot "
                                     "send (Heading 360): Heading must be between 0 and 360."});
}

using test::namedChild;

// The file mode group of the Advanced page, found by its controls' names.
struct FileProgressControls {
  explicit FileProgressControls(const QObject& w)
      : group(namedChild<QGroupBox>(w, "FileProgressGroup")) {}
  QGroupBox* group;
  QLabel* lblFileProgress = namedChild<QLabel>(*group, "lblFileProgress");
  QSlider* trckFileBurst = namedChild<QSlider>(*group, "trckFileBurst");
  QCheckBox* cbFilePaced = namedChild<QCheckBox>(*group, "cbFilePaced");
  QDoubleSpinBox* efFileRate = namedChild<QDoubleSpinBox>(*group, "efFileRate");
  QCheckBox* cbFileLoop = namedChild<QCheckBox>(*group, "cbFileLoop");
  std::string progress() const { return lblFileProgress->text().toStdString(); }
};

TEST_F(FileModeTest, TheProgressLineFollowsTheReplayAndTheSliderJumps) {
  test::writeFile(log, savedOutputLog(6));
  ui.efInterval->setValue(3600);
  ui.PageControl->setCurrentWidget(namedChild<QWidget>(w, "tabAdvanced"));
  FileProgressControls file(w);
  EXPECT_EQ(file.progress(), "No log loaded");
  selectPort(pty.name());
  load(log);
  EXPECT_EQ(file.progress(), "0 of 6 bursts sent, 6:00:00 left");
  EXPECT_FALSE(file.trckFileBurst->isEnabled()) << "nothing to jump in before Start";

  ui.btnStart->trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return file.progress() == "1 of 6 bursts sent, 6:00:00 left"; },
                              kCapMs))
      << file.progress();
  ASSERT_TRUE(file.trckFileBurst->isEnabled());
  EXPECT_EQ(file.trckFileBurst->maximum(), 5);

  // The last burst holds the RMC line of 52° 14' and the rest of 52° 15'.
  QTest::keyClick(file.trckFileBurst, Qt::Key_End);
  ASSERT_TRUE(QTest::qWaitFor([&] { return file.progress() == "6 of 6 bursts sent, 1:00:00 left"; },
                              kCapMs))
      << file.progress();
  EXPECT_EQ(ui.lblLat->text().toStdString(), " 52\u00B0 15' 00.00\" N");
  std::string sent;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return (sent += drain(pty.master())).find("$GPGLL,5215.0000,N") != std::string::npos; },
      kCapMs));
  EXPECT_EQ(sent.find("$GPGLL,5211.0000,N"), std::string::npos) << "the bursts between are skipped";

  QTest::keyClick(file.trckFileBurst, Qt::Key_Home);
  ASSERT_TRUE(QTest::qWaitFor([&] { return file.progress() == "1 of 6 bursts sent, 6:00:00 left"; },
                              kCapMs))
      << file.progress();
  EXPECT_EQ(file.trckFileBurst->value(), 0);

  ui.btnStop->trigger();
  ASSERT_TRUE(replayEnds());
  EXPECT_FALSE(file.trckFileBurst->isEnabled());
  QTest::mouseClick(ui.btnFile, Qt::LeftButton);
  EXPECT_EQ(file.progress(), "No log loaded");
}

// A multi-constellation receiver's log begins its bursts with $GNRMC, which
// the GPS-only receiver does not read: the progress line says why it is empty.
TEST_F(FileModeTest, AModernLogSaysWhyItShowsNoBurstsAndReplaysWholeOnceModernIsOn) {
  test::writeFile(log, receiver::test::nmea411Log());
  ui.PageControl->setCurrentWidget(namedChild<QWidget>(w, "tabAdvanced"));
  FileProgressControls file(w);
  load(log);
  EXPECT_EQ(file.progress(),
            "No bursts: the log's 3 begin with $GNRMC; check \"Modern receiver in file mode\"");
  // Read by the modern receiver and sent in the Output group's nmea41
  // profile, the log's GLONASS satellites go out again.
  namedChild<QCheckBox>(w, "cbModern")->click();
  namedChild<QComboBox>(w, "cmbProfile")->setCurrentIndex(1);
  ui.PageControl->setCurrentIndex(0);
  selectPort(pty.name());
  load(log);
  EXPECT_EQ(file.progress(), "0 of 3 bursts sent, 0:00:03 left");
  startFast();
  const std::string sent = replayToTheEnd(pty.master());
  EXPECT_NE(sent.find("$GLGSV,1,1,02,65,30,150,38,72,55,260,41,1*"), std::string::npos) << sent;
}

TEST_F(FileModeTest, TheLogsOwnTimingAndLoopPaceTheReplay) {
  // RMC lines ten seconds apart by their own times.
  std::string timed;
  for (const char* time : {"120000", "120010", "120020", "120030"}) {
    timed +=
        sentence(std::string("$GPRMC,") + time + ",A,5210.000,N,00410.000,E,010.0,045.0,230394,,");
  }
  test::writeFile(log, timed);
  ui.PageControl->setCurrentWidget(namedChild<QWidget>(w, "tabAdvanced"));
  FileProgressControls file(w);
  selectPort(pty.name());
  load(log);
  EXPECT_EQ(file.progress(), "0 of 4 bursts sent, 0:00:04 left") << "the interval by default";
  EXPECT_FALSE(file.efFileRate->isEnabled());

  QTest::mouseClick(file.cbFilePaced, Qt::LeftButton);
  EXPECT_EQ(file.progress(), "0 of 4 bursts sent, 0:00:30 left");
  ASSERT_TRUE(file.efFileRate->isEnabled());
  file.efFileRate->selectAll();
  QTest::keyClicks(file.efFileRate, "1000");
  QTest::keyClick(file.efFileRate, Qt::Key_Enter);
  EXPECT_EQ(file.progress(), "0 of 4 bursts sent, 0:00:00 left");

  // Looped, the replay goes on past the end of the log until Stop.
  QTest::mouseClick(file.cbFileLoop, Qt::LeftButton);
  ui.btnStart->trigger();
  std::string sent;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        sent += drain(pty.master());
        return count(sent, "$GPRMC") > 5;
      },
      kCapMs));
  EXPECT_TRUE(replayDriver().replaying());
  ui.btnStop->trigger();
  ASSERT_TRUE(replayEnds());
}

}  // namespace
}  // namespace waymock::app
