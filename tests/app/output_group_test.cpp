// The Advanced page's Output group, driven through its controls: the sentence
// form, the TCP server and further UDP targets, ticks on the second, and the
// settings it keeps in [Advanced].
#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <QTest>
#include <chrono>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "app/form_storage.h"
#include "common/test_support.h"
#include "platform/pty_pair.h"
#include "test_window.h"

namespace waymock::app {
namespace {

struct OutputWindow : test::TestWindow {
  template <class T>
  T* get(const char* name) {
    return test::namedChild<T>(w, name);
  }
  QComboBox* cmbProfile = get<QComboBox>("cmbProfile");
  QComboBox* cmbZda = get<QComboBox>("cmbZda");
  QCheckBox* cbGlonass = get<QCheckBox>("cbGlonass");
  QCheckBox* cbGalileo = get<QCheckBox>("cbGalileo");
  QCheckBox* cbBeidou = get<QCheckBox>("cbBeidou");
  QLineEdit* efTalker = get<QLineEdit>("efTalker");
  QLabel* lblTalkerProblem = get<QLabel>("lblTalkerProblem");
  QCheckBox* cbTcp = get<QCheckBox>("cbTcp");
  QSpinBox* efTcpPort = get<QSpinBox>("efTcpPort");
  QLabel* lblTcpAddress = get<QLabel>("lblTcpAddress");
  QLabel* lblTcpClients = get<QLabel>("lblTcpClients");
  QTimer* TcpClientsTimer = get<QTimer>("TcpClientsTimer");
  QLineEdit* efUdpTargets = get<QLineEdit>("efUdpTargets");
  QLabel* lblUdpTargetsProblem = get<QLabel>("lblUdpTargetsProblem");
  QCheckBox* cbOnSecond = get<QCheckBox>("cbOnSecond");
  QSpinBox* efTickPhase = get<QSpinBox>("efTickPhase");
  QCheckBox* cbModern = get<QCheckBox>("cbModern");

  // The settings reach the simulator as the user's page switch applies them.
  void apply() {
    ui.PageControl->setCurrentIndex(3);
    ui.PageControl->setCurrentIndex(0);
  }
  // Types `text` over what the field holds, as the user does.
  static void retype(QLineEdit* field, const QString& text) {
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
  }
};

// Runs the event loop until `done` holds, a bounded number of times.
bool waitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 500 && !done(); ++i) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

TEST(OutputGroup, KeepsItsSettingsInTheAdvancedGroupAndReadsTheFormerOneOnce) {
  QString file;
  {
    OutputWindow win;
    file = win.w.formStorage()->fileName();
    QFile::remove(file);
    QSettings(file, QSettings::IniFormat).setValue("Extra/efTalker_Text", "XY");
    win.showAndWait();
    EXPECT_EQ(win.efTalker->text(), "XY") << "from the former group";
    EXPECT_EQ(win.cmbProfile->currentText(), "classic");
    EXPECT_EQ(win.efTickPhase->value(), 50);
    EXPECT_FALSE(win.cbOnSecond->isChecked());
    EXPECT_FALSE(win.cbGalileo->isEnabled()) << "the classic profile sends GPS alone";
    win.cmbProfile->setCurrentIndex(1);
    EXPECT_TRUE(win.cbGalileo->isEnabled());
    win.cbGalileo->click();
    EXPECT_EQ(win.cmbZda->currentText(), "standard") << "nmea41's own";
    win.cmbZda->setCurrentIndex(0);
    win.cbTcp->click();
    win.efTcpPort->setValue(2947);
    OutputWindow::retype(win.efUdpTargets, "[::1]:10110, gps.example:4000");
    win.efTickPhase->setValue(120);
    win.cbModern->click();
    win.apply();
    EXPECT_TRUE(win.ui.FileModeController->receiver().modern());
    win.w.close();
  }
  QSettings stored(file, QSettings::IniFormat);
  EXPECT_FALSE(stored.childGroups().contains("Extra"));
  EXPECT_FALSE(stored.contains("TfrmMain/cmbProfile_ItemIndex"));
  stored.beginGroup("Advanced");
  EXPECT_EQ(stored.childKeys().size(), 30) << "with the Motion, File mode and Control groups'";
  const std::pair<const char*, const char*> kept[] = {
      {"cmbProfile_ItemIndex", "1"},  {"cmbZda_ItemIndex", "0"},
      {"cbGalileo_Checked", "False"}, {"cbGps_Checked", "True"},
      {"efTalker_Text", "XY"},        {"cbTcp_Checked", "True"},
      {"efTcpPort_Value", "2947"},    {"efUdpTargets_Text", "[::1]:10110, gps.example:4000"},
      {"efTickPhase_Value", "120"},   {"cbOnSecond_Checked", "False"},
      {"cbModern_Checked", "True"}};
  for (const auto& [name, text] : kept) EXPECT_EQ(stored.value(name).toString(), text) << name;

  OutputWindow again;
  again.showAndWait();
  EXPECT_EQ(again.cmbProfile->currentText(), "nmea41");
  EXPECT_EQ(again.cmbZda->currentText(), "classic") << "the choice, not the profile's own";
  EXPECT_FALSE(again.cbGalileo->isChecked());
  EXPECT_EQ(again.efTalker->text(), "XY");
  EXPECT_TRUE(again.efTcpPort->isEnabled()) << "follows the restored cbTcp";
  EXPECT_EQ(again.efTickPhase->value(), 120);
  // One talker takes one system: with three it is left out, and says why.
  EXPECT_EQ(again.g().outputFormat().talker, "");
  EXPECT_EQ(again.lblTalkerProblem->text().toStdString(),
            "One talker for every sentence takes one satellite system: under one talker the "
            "satellites of several would share numbers in GSV. The talker is left out.");
  again.cbGlonass->click();
  again.cbBeidou->click();
  again.apply();
  EXPECT_EQ(again.g().outputFormat().talker, "XY");
  EXPECT_EQ(again.lblTalkerProblem->text(), "");
}

TEST(OutputGroup, TheDefaultsKeepTheClassicSentencesAndNmea41SendsGnOnTheVirtualPort) {
  OutputWindow win;
  win.apply();
  EXPECT_EQ(win.g().outputFormat(), generator::OutputFormat{});
  const std::string link = TfrmMain::virtualPortPath().toStdString();
  win.ui.cmbCom->setCurrentIndex(win.ui.cmbCom->count() - 1);
  win.ui.btnStart->trigger();
  ASSERT_TRUE(win.errors.isEmpty());
  const int client = ::open(link.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(client, 0);
  const auto burst = [&] {
    win.tick();
    return test::readAtLeast(client, 1);
  };
  const std::string classic = burst();
  EXPECT_NE(classic.find("$GPRMC,"), std::string::npos);
  EXPECT_EQ(classic.find("$GN"), std::string::npos);

  win.cmbProfile->setCurrentIndex(1);
  win.cmbZda->setCurrentIndex(1);
  win.apply();
  std::string modern = burst();
  modern += test::readAtLeast(client, 1, std::chrono::milliseconds(100));
  for (const char* sentence : {"$GNRMC,", "$GNGGA,", "$GNGLL,", "$GNVTG,", "$GNGSA,"}) {
    EXPECT_NE(modern.find(sentence), std::string::npos) << sentence;
  }
  EXPECT_EQ(modern.find("$GPRMC"), std::string::npos);
  EXPECT_TRUE(
      std::regex_search(modern, std::regex(R"(\$GNZDA,\d{6}\.\d{3},\d\d,\d\d,\d{4},00,00\*)")))
      << "the standard ZDA";
  ::close(client);
  win.ui.btnStop->trigger();
}

TEST(OutputGroup, TheTcpServerServesItsClientsAndShowsHowMany) {
  OutputWindow win;
  test::PtyPair pty;
  win.cbTcp->click();
  win.efTcpPort->setValue(0);
  win.selectPort(pty.name());
  win.ui.btnStart->trigger();
  ASSERT_TRUE(win.errors.isEmpty()) << win.errors.join('\n').toStdString();
  const QString address = win.lblTcpAddress->text();
  ASSERT_TRUE(address.startsWith("127.0.0.1:")) << address.toStdString();
  test::TcpClient client(address.section(':', 1).toInt());
  EXPECT_TRUE(waitFor([&] {
    test::TestWindow::fire(win.TcpClientsTimer);
    return win.lblTcpClients->text() == "1";
  }));
  win.tick();
  EXPECT_TRUE(client.readUntil(
      [](const std::string& got) { return got.find("$GPZDA") != std::string::npos; }));
  win.ui.btnStop->trigger();
  EXPECT_EQ(win.lblTcpClients->text(), "0");
  EXPECT_TRUE(win.lblTcpAddress->text().isEmpty());
  EXPECT_TRUE(client.readUntil([](const std::string&) { return false; }) || client.closed())
      << "Stop disconnects the clients";
}

TEST(OutputGroup, AFurtherUdpTargetGetsTheBurstAndABadOneIsRefusedWithWhy) {
  OutputWindow win;
  test::PtyPair pty;
  test::UdpReceiver receiver;
  OutputWindow::retype(win.efUdpTargets, QString("127.0.0.1:%1").arg(receiver.port()));
  EXPECT_TRUE(win.lblUdpTargetsProblem->isHidden());
  win.selectPort(pty.name());
  win.ui.btnStart->trigger();
  win.tick();
  const auto datagram = receiver.receive(2000);
  ASSERT_TRUE(datagram.has_value());
  EXPECT_EQ(datagram->rfind("$GPZDA", 0), 0u);
  win.ui.btnStop->trigger();

  const std::pair<const char*, const char*> bad[] = {
      {"nowhere", "UDP target: \"nowhere\" is not HOST:PORT with a port from 1 to 65535."},
      {"::1:10110",
       "UDP target: \"::1:10110\" is not HOST:PORT; an IPv6 host goes in brackets, as in "
       "[::1]:10110."},
      {"a:1 a:1", "UDP target: a:1 is given twice."}};
  for (const auto& [typed, message] : bad) {
    OutputWindow::retype(win.efUdpTargets, typed);
    EXPECT_EQ(win.lblUdpTargetsProblem->text(), message);
    EXPECT_FALSE(win.lblUdpTargetsProblem->isHidden());
  }
  win.errors.clear();
  win.ui.btnStart->trigger();
  EXPECT_EQ(win.errors, QStringList{"UDP target: a:1 is given twice."});
  win.ui.btnStop->trigger();
}

TEST(OutputGroup, TicksOnTheSecondCarryTheirWholeSecondInTheTimeFields) {
  OutputWindow win;
  test::PtyPair pty;
  win.ui.cbGPGSV->setChecked(false);
  win.cbOnSecond->click();
  win.apply();
  win.selectPort(pty.name());
  win.ui.btnStart->trigger();
  std::string sent;
  const std::regex rmc(R"(\$GPRMC,(\d{6})\.(\d{3}),)");
  std::vector<std::string> times;
  ASSERT_TRUE(waitFor([&] {
    sent += test::readAtLeast(pty.master(), 1, std::chrono::milliseconds(20));
    times.clear();
    for (std::sregex_iterator at(sent.begin(), sent.end(), rmc), end; at != end; ++at) {
      times.push_back((*at)[1].str() + "." + (*at)[2].str());
    }
    return times.size() >= 2;
  })) << sent;
  for (const std::string& time : times) EXPECT_TRUE(time.ends_with(".000")) << time;
  const auto seconds = [](const std::string& t) {
    return std::stoi(t.substr(0, 2)) * 3600 + std::stoi(t.substr(2, 2)) * 60 +
           std::stoi(t.substr(4, 2));
  };
  EXPECT_EQ((seconds(times[1]) - seconds(times[0]) + 86400) % 86400, 1);
  win.ui.btnStop->trigger();
}

}  // namespace
}  // namespace waymock::app
