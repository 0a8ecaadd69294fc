#include "app/settings_table.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAccessible>
#include <QGroupBox>
#include <QLocale>
#include <QSet>
#include <QTest>
#include <QToolButton>
#include <climits>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>

#include "app/handler_guard.h"
#include "common/test_support.h"
#include "platform/folders.h"
#include "platform/pty_pair.h"
#include "platform/serial.h"
#include "platform/virtual_serial_port.h"
#include "support/error_log.h"
#include "test_window.h"

namespace waymock::app {
namespace {

using Window = test::TestWindow;

TEST(MainWindow, StartsWithEveryControlNamedAndTheBuiltInDefaults) {
  Window win;
  QStringList names;
  for (const app::SettingField& field : app::kSettingFields) {
    if (field.storedKey != nullptr) names << QString(field.storedKey).section('_', 0, 0);
  }
  names << "efGeoHeight"
        << "efMagneticVariation"
        << "efMagneticVariationDirection"
        << "efMagneticHeading"
        << "btnSat"
        << "PaintBox"
        << "lblLat"
        << "lblLong"
        << "lblAltitude"
        << "lblSpeed"
        << "lblHeading"
        << "lblSource"
        << "btnFile"
        << "trckLatitude"
        << "trckLongitude"
        << "btnBack"
        << "btnStart"
        << "btnPause"
        << "btnStop"
        << "btnForward"
        << "btnLoad"
        << "btnSave"
        << "btnHelp"
        << "btnAbout"
        << "MemoOut";
  ASSERT_EQ(names.size(), 88);
  for (const QString& name : names) {
    auto* widget = win.w.findChild<QWidget*>(name);
    ASSERT_NE(widget, nullptr) << name.toStdString();
    EXPECT_FALSE(widget->accessibleName().isEmpty()) << name.toStdString();
  }
  auto* start = win.w.findChild<QToolButton*>("btnStart");
  EXPECT_EQ(start->accessibleName(), "Start");
  EXPECT_EQ(win.w.windowTitle(), "Waymock");
  EXPECT_EQ(win.ui.cmbCom->itemText(win.ui.cmbCom->count() - 1), TfrmMain::virtualPortPath());
  EXPECT_EQ(win.ui.cmbCom->currentIndex(), -1);
  EXPECT_EQ(win.ui.cmbBaudRate->currentText(), "004800");
  EXPECT_EQ(win.ui.cmbBaudRate->count(), 15);
  EXPECT_EQ(win.ui.efUdpPort->maximum(), 65535);
  EXPECT_TRUE(win.ui.cbSerial->isChecked());
  EXPECT_FALSE(win.ui.cbSerial->isEnabled());
  EXPECT_TRUE(win.ui.lblLat->text().isEmpty());
  EXPECT_EQ(win.ui.lblSource->text(), "Simulator");
  EXPECT_EQ(win.ui.trckLatitude->maximum(), 32400000);
  EXPECT_EQ(win.ui.trckLongitude->pageStep(), 30000);
  EXPECT_TRUE(win.ui.MainTimer->isActive());
  EXPECT_EQ(win.ui.MainTimer->interval(), 1000);
  EXPECT_EQ(win.w.simulation().settings.latitudeLongStep, 5);
  EXPECT_EQ(win.g().Magnetic_Variation_Direction(), TCardinalPoint::cpEast);
  EXPECT_EQ(win.g().Commands(), generator::TNMEACommands::all());
}

TEST(MainWindow, PageSwitchAppliesSettingsButTheStartPositionWaitsForStartOrStop) {
  Window win;
  const int timerId = win.ui.MainTimer->timerId();
  win.ui.efSpeed->setValue(100);
  win.ui.efLtDeg->setValue(45);
  win.ui.efLnShortStep->setValue(-2.5);
  win.ui.PageControl->setCurrentIndex(1);
  EXPECT_EQ(win.g().Speed(), 100 * 0.5397L);
  EXPECT_EQ(win.w.simulation().settings.longitudeShortStep, -2.5L);
  EXPECT_EQ(win.g().Latitude_Degree(), 0);
  EXPECT_EQ(win.ui.MainTimer->timerId(), timerId) << "an unchanged interval keeps the countdown";
  win.ui.btnStop->trigger();
  EXPECT_EQ(win.g().Latitude_Degree(), 45);
  // The largest interval does not fit a timer in milliseconds: the longest wait it can do.
  win.ui.efInterval->setValue(INT_MAX);
  win.ui.PageControl->setCurrentIndex(0);
  EXPECT_EQ(win.ui.MainTimer->interval(), INT_MAX);
}

TEST(MainWindow, NumericFieldsBringBadTextBackOnFocusLoss) {
  Window win;
  struct Case {
    QAbstractSpinBox* spin;
    const char* typed;
    double expected;
  };
  for (const Case& c : {Case{win.ui.efInterval, "0", 1}, Case{win.ui.efLtShortStep, "", -59.99},
                        Case{win.ui.efHeading, "x", 0}, Case{win.ui.efHeading, "400", 359.99},
                        Case{win.ui.efLtDeg, "95", 89}, Case{win.ui.efLnMin, "999", 59},
                        Case{win.ui.efLtMin, "-5", 0}}) {
    c.spin->selectAll();
    QTest::keyClick(c.spin, Qt::Key_Backspace);
    QTest::keyClicks(c.spin, c.typed);
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(c.spin, &out);
    EXPECT_TRUE(c.spin->hasAcceptableInput()) << c.typed;
    EXPECT_DOUBLE_EQ(c.spin->property("value").toDouble(), c.expected) << c.typed;
  }
  // A number still being typed counts for the settings, and stays as typed.
  win.ui.efLtDeg->selectAll();
  QTest::keyClicks(win.ui.efLtDeg, "95");
  EXPECT_EQ(win.w.readSettings().latitudeDegree, 89);
  EXPECT_EQ(win.ui.efLtDeg->text(), "95");
}

// The box names the port and, on a second line, why it did not open.
TEST(MainWindow, StartSaysWhatIsWrongWithThePortAndWhy) {
  Window win;
  win.ui.btnStart->trigger();
  EXPECT_EQ(win.errors, QStringList{"Select a serial port."});
  test::PtyPair busy;
  const auto held = systemSerialPorts()->open(busy.name(), 4800);
  const std::string link = TfrmMain::virtualPortPath().toStdString();
  VirtualSerialPort otherRun(link);
  const std::pair<std::string, std::string> cases[] = {
      {" /nonexistent/ttyWAYM0 ",
       "Cannot connect to /nonexistent/ttyWAYM0.\nThere is no such device."},
      {"/dev/null",
       "Cannot connect to /dev/null.\nIt is not a terminal, so it is not a serial port."},
      {busy.name(), "Cannot connect to " + busy.name() + ".\nIt is in use by another program."},
      {link, "Cannot connect to " + link + ".\nCannot create the virtual serial port " + link +
                 ": it links to the pseudo-terminal " + otherRun.deviceName() +
                 ", which is in use."},
  };
  for (const auto& [port, message] : cases) {
    win.errors.clear();
    win.selectPort(port);
    win.ui.btnStart->trigger();
    EXPECT_EQ(win.errors, QStringList{QString::fromStdString(message)});
    EXPECT_TRUE(win.g().PortName().empty()) << port;
  }
  EXPECT_EQ(std::filesystem::read_symlink(link), otherRun.deviceName());
  win.ui.cmbBaudRate->setCurrentIndex(-1);
  win.errors.clear();
  win.ui.btnStart->trigger();
  EXPECT_EQ(win.errors, QStringList{QString::fromStdString("Cannot connect to " + link +
                                                           ".\nNo baud rate is selected.")});
  win.ui.miSerialRefresh->trigger();
  EXPECT_EQ(win.ui.cmbCom->currentIndex(), -1) << "a refresh drops the selection";
}

// Pause is down exactly while a started simulation is held.
TEST(MainWindow, PauseShowsWhetherTheStartedSimulationIsHeld) {
  Window win;
  test::PtyPair pty;
  QAction* pause = win.ui.btnPause;
  const auto press = [&](QAction* action, bool timer, bool down) {
    action->trigger();
    EXPECT_EQ(win.ui.MainTimer->isActive(), timer) << action->objectName().toStdString();
    EXPECT_EQ(pause->isChecked(), down) << action->objectName().toStdString();
  };
  press(pause, false, false);  // before any Start: nothing is held
  win.selectPort(pty.name());
  press(win.ui.btnStart, true, false);
  EXPECT_TRUE(win.errors.isEmpty());
  press(pause, false, true);
  press(pause, true, false);
  press(pause, false, true);
  press(win.ui.btnStart, true, false);
  press(pause, false, true);
  press(win.ui.btnStop, false, false);
}

// Keyboard users reach every command by Tab and by its key, named in the tool
// tip; the status bar keeps the hint alone.
TEST(MainWindow, TabAndKeysReachTheCommands) {
  Window win;
  win.w.show();
  QApplication::setActiveWindow(&win.w);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&win.w));
  win.ui.trckLongitude->setFocus();
  QStringList reached;
  for (int i = 0; i < 10; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    reached << QApplication::focusWidget()->objectName();
  }
  EXPECT_EQ(reached, QStringList({"btnBack", "btnStart", "btnPause", "btnStop", "btnForward",
                                  "btnLoad", "btnSave", "btnHelp", "btnAbout", "MemoOut"}));
  EXPECT_EQ(win.ui.btnStart->toolTip(), "Start (F5)");
  EXPECT_EQ(win.ui.btnStart->statusTip(), "Start");
  win.ui.PageControl->setCurrentIndex(1);  // the tool bar's page is hidden now
  QTest::keyClick(&win.w, Qt::Key_F5);
  EXPECT_EQ(win.errors, QStringList{"Select a serial port."});
  QTest::keyClick(&win.w, Qt::Key_O, Qt::AltModifier);  // the Simulator page's mnemonic
  EXPECT_EQ(win.ui.PageControl->currentIndex(), 0);
}

// Under a decimal-comma locale a typed "." is the decimal point, or grouping
// beside a comma; whole-number fields keep refusing it.
TEST(MainWindow, DecimalFieldsTakeATypedPointUnderADecimalCommaLocale) {
  Window win;
  struct Case {
    QAbstractSpinBox* spin;
    const char* typed;
    double expected;
  };
  for (const Case& c : {Case{win.ui.efPDOP, "0.5", 0.5}, Case{win.ui.efAlt, "1.234,5", 1234.5},
                        Case{win.ui.efAlt, "12,5", 12.5}, Case{win.ui.efLtDeg, "1.5", 15}}) {
    c.spin->setLocale(QLocale(QLocale::German, QLocale::Germany));
    c.spin->selectAll();
    QTest::keyClick(c.spin, Qt::Key_Backspace);
    QTest::keyClicks(c.spin, c.typed);
    QTest::keyClick(c.spin, Qt::Key_Return);
    EXPECT_DOUBLE_EQ(c.spin->property("value").toDouble(), c.expected) << c.typed;
  }
}

// What is typed stands as typed; only a whole dotted address is one, and a
// host name kept in the settings file stands.
TEST(MainWindow, TargetIpStandsForWhatWasTypedOnceItIsWhole) {
  Window win;
  win.ui.cbUDP->setChecked(true);
  win.ui.efIp->setEnabled(true);
  const std::pair<const char*, const char*> typed[] = {
      {"127.1", ""}, {"127.0.0.256", ""}, {"10.0.0.1", "10.0.0.1"}, {"localhost", ""}};
  for (const auto& [text, address] : typed) {
    win.ui.efIp->selectAll();
    QTest::keyClicks(win.ui.efIp, text);
    EXPECT_EQ(win.ui.efIp->text(), text);
    EXPECT_EQ(win.w.readSettings().udpHost, address) << text;
    EXPECT_EQ(win.ui.efIp->accessibleDescription().isEmpty(), *address != '\0') << text;
  }
  for (const auto& [kept, address] : {std::pair{"localhost", "localhost"}, std::pair{"10.1", ""}}) {
    win.ui.efIp->setText(kept);  // as read from a hand-edited settings file
    EXPECT_EQ(win.w.readSettings().udpHost, address) << kept;
  }
}

// Alt and a letter reach one control on each page: no two captions on a page
// (the tab bar's included) underline the same letter.
TEST(MainWindow, EveryPageUnderlinesEachLetterOnce) {
  Window win;
  const auto letterOf = [](const QString& caption) {
    return QKeySequence::mnemonic(caption).toString().section('+', -1);
  };
  QStringList tabLetters;
  for (int page = 0; page < win.ui.PageControl->count(); ++page)
    tabLetters << letterOf(win.ui.PageControl->tabText(page));
  for (int page = 0; page < win.ui.PageControl->count(); ++page) {
    QStringList letters = tabLetters;
    const QWidget* shown = win.ui.PageControl->widget(page);
    for (const QWidget* control : shown->findChildren<QWidget*>()) {
      QString caption;
      if (const auto* label = qobject_cast<const QLabel*>(control)) caption = label->text();
      if (const auto* button = qobject_cast<const QAbstractButton*>(control))
        caption = button->text();
      if (const auto* group = qobject_cast<const QGroupBox*>(control)) caption = group->title();
      if (const QString letter = letterOf(caption); !letter.isEmpty()) letters << letter;
    }
    const QStringList once(QSet<QString>(letters.begin(), letters.end()).values());
    EXPECT_EQ(letters.size(), once.size()) << page << ": " << letters.join(' ').toStdString();
  }
}

TEST(MainWindow, ThreeTicksOnAPseudoTerminalShowAndMoveTheFix) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  Window win;
  test::PtyPair pty;
  win.ui.efLtDeg->setValue(10);
  win.ui.efLtMin->setValue(20);
  win.ui.efLtSec->setValue(30.45);
  win.ui.efLnSec->setValue(1);
  win.ui.efAlt->setValue(100);
  win.ui.cbGPGSV->setChecked(false);
  win.g().ClearSatellites();
  win.g().SetSatellite(5, true, 45, 120, 40);
  win.selectPort(pty.name());
  win.ui.PageControl->setCurrentIndex(1);
  win.ui.btnStart->trigger();
  // The write-back: a transmitted 10° 20' 30.456" comes back as 30.46 before the step.
  win.g().SetLatitude_Second(30.456L);
  std::vector<std::string> glls;
  for (int tick = 0; tick < 3; ++tick) {
    win.tick();
    const std::string burst = test::readAtLeast(pty.master(), 1, std::chrono::seconds(2));
    ASSERT_NE(burst.find("$GPZDA"), std::string::npos) << tick;
    glls.push_back(burst.substr(burst.find("$GPGLL"), 26));
    if (tick == 0) {
      EXPECT_NEAR(double(win.g().Latitude_Second()), 31.46, 1e-9);
    }
  }
  EXPECT_EQ(glls[0], "$GPGLL,1020.5076,N,00000.0");
  EXPECT_EQ(glls[1], "$GPGLL,1020.5243,N,00000.0");
  EXPECT_EQ(glls[2], "$GPGLL,1020.5410,N,00000.0");
  EXPECT_EQ(win.ui.lblLat->text(), QString::fromUtf8(" 10\u00B0 20' 32,46\" N"));
  EXPECT_EQ(win.ui.lblLong->text(), QString::fromUtf8("  0\u00B0 00' 03,00\" E"));
  EXPECT_EQ(win.ui.lblAltitude->text(), "100 m = 328,08 feet");
  // What a screen reader hears: the caption and the value, the sky plot in
  // words, the latest burst at the end of the log.
  const auto spoken = [](QObject* object, QAccessible::Text kind) {
    return QAccessible::queryAccessibleInterface(object)->text(kind);
  };
  EXPECT_EQ(spoken(win.ui.lblLat, QAccessible::Name),
            QString::fromUtf8("Latitude: 10\u00B0 20' 32,46\" N"));
  EXPECT_EQ(spoken(win.ui.lblAltitude, QAccessible::Name), "Altitude: 100 m = 328,08 feet");
  EXPECT_EQ(spoken(win.ui.lblSource, QAccessible::Name), "Source: Simulator");
  EXPECT_TRUE(
      spoken(win.ui.PaintBox, QAccessible::Description)
          .startsWith(QString::fromUtf8("1 active satellite. PRN 5: elevation 45\u00B0, azimuth ")))
      << spoken(win.ui.PaintBox, QAccessible::Description).toStdString();
  QAccessibleTextInterface* log =
      QAccessible::queryAccessibleInterface(win.ui.MemoOut)->textInterface();
  ASSERT_NE(log, nullptr);
  EXPECT_TRUE(log->text(0, log->characterCount()).contains(QString::fromStdString(glls[2])));
  EXPECT_EQ(win.ui.trckLatitude->value(), 3723246);
  EXPECT_EQ(win.ui.trckLongitude->value(), 300);
  EXPECT_NEAR(double(win.g().Latitude_Second()), 33.46, 1e-9)
      << "moved after the third transmission";
  EXPECT_EQ(win.ui.MemoOut->blockCount(), 3 * 7) << "6 sentences and an empty line per burst";
  EXPECT_TRUE(win.ui.MainTimer->isActive());
  QLocale::setDefault(QLocale::c());
}

TEST(MainWindow, UdpCarriesTheBurstToLoopbackOnceTurnedOn) {
  Window win;
  test::PtyPair pty;
  const int receiver = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(receiver, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  socklen_t size = sizeof address;
  getsockname(receiver, reinterpret_cast<sockaddr*>(&address), &size);
  win.ui.cbUDP->setChecked(true);
  win.ui.efIp->setText("127.0.0.1");
  win.ui.efUdpPort->setValue(ntohs(address.sin_port));
  win.selectPort(pty.name());
  win.ui.btnStart->trigger();
  win.tick();
  pollfd p{receiver, POLLIN, 0};
  EXPECT_EQ(poll(&p, 1, 200), 0) << "the destination waits for a page switch";
  win.ui.PageControl->setCurrentIndex(2);
  win.tick();
  ASSERT_EQ(poll(&p, 1, 2000), 1);
  char datagram[4096];
  const ssize_t n = recv(receiver, datagram, sizeof datagram, 0);
  const std::string payload(datagram, static_cast<std::size_t>(n > 0 ? n : 0));
  EXPECT_EQ(payload.rfind("$GPZDA", 0), 0u);
  EXPECT_EQ(payload.substr(payload.size() - 2), "\r\n");
  close(receiver);
}

TEST(MainWindow, ForwardAndBackJumpByTheLongStepsMagnitudeAndStopAtTheEnds) {
  Window win;
  win.ui.efLtLongStep->setValue(-5);
  win.ui.efLnLongStep->setValue(30);
  win.ui.PageControl->setCurrentIndex(1);
  win.ui.btnForward->trigger();
  EXPECT_EQ(win.g().Latitude_Second(), 5);
  EXPECT_EQ(win.g().Longitude_Second(), 30);
  win.ui.btnBack->trigger();
  win.ui.btnBack->trigger();
  EXPECT_EQ(win.g().Latitude_Second(), 0) << "no crossing of the equator";
  EXPECT_EQ(win.g().Latitude_Direction(), TCardinalPoint::cpNorth);
  win.g().SetLatitude_Degree(89);
  win.g().SetLatitude_Minute(59);
  win.g().SetLatitude_Second(59);
  win.g().SetLongitude_Degree(179);
  win.g().SetLongitude_Minute(59);
  win.g().SetLongitude_Second(59);
  win.ui.btnForward->trigger();
  EXPECT_EQ(win.g().Latitude_Degree(), 90);
  EXPECT_EQ(win.g().Longitude_Degree(), 180);
  EXPECT_EQ(win.g().Longitude_Second(), 0);
}

TEST(MainWindow, ADraggedSliderMovesTheFixAndTheTimerRunsOn) {
  Window win;
  win.g().SetLatitude_Direction(TCardinalPoint::cpSouth);
  win.ui.trckLatitude->setValue(win.ui.trckLatitude->maximum());
  EXPECT_EQ(win.g().Latitude_Degree(), 90);
  EXPECT_EQ(win.g().Latitude_Direction(), TCardinalPoint::cpSouth);
  EXPECT_TRUE(win.ui.MainTimer->isActive());
  win.ui.btnPause->trigger();
  QTest::keyClick(win.ui.trckLongitude, Qt::Key_PageUp);
  EXPECT_EQ(win.g().Longitude_Minute(), 5);
  EXPECT_FALSE(win.ui.MainTimer->isActive()) << "a paused simulation stays paused";
  EXPECT_TRUE(win.ui.lblLat->text().isEmpty()) << "labels wait for a transmission";
}

TEST(MainWindow, VirtualPortLivesFromStartToStop) {
  Window win;
  const std::string link = TfrmMain::virtualPortPath().toStdString();
  win.ui.cmbCom->setCurrentIndex(win.ui.cmbCom->count() - 1);
  win.ui.btnStart->trigger();
  EXPECT_TRUE(win.errors.isEmpty());
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(win.g().PortName(), link);
  const int client = ::open(link.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(client, 0);
  win.tick();
  EXPECT_NE(test::readAtLeast(client, 6).find("$GPZDA"), std::string::npos)
      << "a client of the link reads the burst";
  ::close(client);
  win.ui.btnStop->trigger();
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
  win.ui.btnStart->trigger();
  win.w.close();
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)))
      << "closing the window removes the link";
}

TEST(MainWindow, ABadSatelliteFileCostsOneLogLineAndStartUpGoesOn) {
  const std::string file = satelliteFilePath();
  test::writeFile(file, "[1]\r\nActive=1\r\nElevation=45\r\nAzimuth=90\r\nSNR=30\r\n[33]\r\n");
  const std::string log = errorLogFile();
  std::filesystem::remove(log);
  Window win;
  std::istringstream lines(test::readFile(log));
  std::filesystem::remove(file);
  std::vector<std::string> startUp;
  for (std::string line; std::getline(lines, line);) {
    if (line.find(" - TfrmMain ") != std::string::npos) startUp.push_back(line);
  }
  ASSERT_EQ(startUp.size(), 1u);
  EXPECT_NE(startUp[0].find("between 1 and 32"), std::string::npos) << startUp[0];
  EXPECT_TRUE(win.g().GetSatellites()[1]->Active()) << "sections before the bad one stay";
  EXPECT_EQ(win.ui.lblSource->text(), "Simulator");
}

}  // namespace
}  // namespace waymock::app
