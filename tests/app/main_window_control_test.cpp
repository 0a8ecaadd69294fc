// The Advanced page's Control group: a script on the control socket steers
// the window as a user would, and a scenario's faults are listed as the run
// reaches them.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QListWidget>
#include <QTest>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/main_window.h"
#include "common/test_support.h"
#include "test_window.h"

namespace waymock::app {
namespace {

using test::namedChild;

// A script's connection to the control socket, read without blocking the
// window, which answers from its event loop.
class ControlClient {
 public:
  explicit ControlClient(const std::string& path) {
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~ControlClient() { ::close(fd_); }
  bool connected() const { return connected_; }

  // One request and its reply line, or "" when none came.
  std::string ask(const std::string& request) {
    const std::string line = request + "\n";
    if (::write(fd_, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return "";
    std::string got;
    const bool answered = QTest::qWaitFor(
        [&] {
          char buffer[4096];
          for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;) got.append(buffer, n);
          return got.find('\n') != std::string::npos;
        },
        5000);
    return answered ? got.substr(0, got.find('\n')) : "";
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
};

class ControlTest : public ::testing::Test {
 protected:
  ControlTest() {
    ui.PageControl->setCurrentWidget(namedChild<QWidget>(w, "tabAdvanced"));
    namedChild<QLineEdit>(w, "efControlSocket")->setText(QString::fromStdString(socket));
  }
  void turnOn() {
    QTest::mouseClick(namedChild<QCheckBox>(w, "cbControl"), Qt::LeftButton);
    ASSERT_TRUE(std::filesystem::exists(socket));
  }

  test::TempDir dir;
  const std::string socket = (dir / "control.sock").string();
  test::TestWindow win;
  TfrmMain& w = win.w;
  test::WindowControls& ui = win.ui;
};

TEST_F(ControlTest, AScriptSetsTheFixAndTheSettingsAndIsToldWhyItCannotStart) {
  EXPECT_FALSE(namedChild<QCheckBox>(w, "cbControl")->isChecked()) << "off by default";
  EXPECT_FALSE(std::filesystem::exists(socket));
  turnOn();
  ControlClient script(socket);
  ASSERT_TRUE(script.connected());

  EXPECT_EQ(script.ask(R"({"cmd":"set","lat":48.5,"lon":-11.25,"speed_kmh":40,"alt":12.5})"),
            R"({"ok":true})");
  EXPECT_EQ(win.g().Latitude_Degree(), 48);
  EXPECT_EQ(win.g().Latitude_Minute(), 30);
  EXPECT_EQ(win.g().Longitude_Minute(), 15);
  EXPECT_EQ(win.g().Longitude_Direction(), TCardinalPoint::cpWest);
  EXPECT_EQ(ui.efSpeed->value(), 40) << "the Settings page's field, as typed";
  EXPECT_EQ(ui.efAlt->value(), 12.5);
  EXPECT_EQ(win.g().Altitude(), 12.5L) << "applied as a page switch does";
  EXPECT_EQ(ui.efLtDeg->value(), 0) << "the start position stays";

  EXPECT_EQ(script.ask(R"({"cmd":"start"})"), R"({"error":"Select a serial port.","ok":false})");
  EXPECT_TRUE(win.errors.isEmpty()) << "never a box for a script";

  // A route is read off the window's thread; the reply comes once it is in use.
  test::writeFile(dir / "r.csv", "10,20\n10,20.01\n");
  EXPECT_EQ(script.ask(R"({"cmd":"move","speed_kmh":20,"route":")" + (dir / "r.csv").string() +
                       "\"}"),
            R"({"ok":true})");
  ASSERT_NE(w.simulation().motion(), nullptr);
  EXPECT_TRUE(w.simulation().motion()->progress().total.has_value());

  QTest::mouseClick(namedChild<QCheckBox>(w, "cbControl"), Qt::LeftButton);
  EXPECT_FALSE(std::filesystem::exists(socket)) << "off closes the channel";
}

TEST_F(ControlTest, AScenariosFaultsAreListedAsTheRunReachesThem) {
  const auto scenario = dir / "faults.json";
  test::writeFile(scenario, R"({"events": [{"at": 1, "type": "no-fix", "seconds": 1}]})");
  namedChild<QLineEdit>(w, "efScenario")->setText(QString::fromStdString(scenario.string()));
  ui.cmbCom->setCurrentIndex(ui.cmbCom->count() - 1);
  turnOn();
  ControlClient script(socket);
  ASSERT_EQ(script.ask(R"({"cmd":"start"})"), R"({"ok":true})");
  auto* events = namedChild<QListWidget>(w, "lvControlEvents");
  for (int tick = 0; tick < 3; ++tick) win.tick();
  ASSERT_EQ(events->count(), 2);
  EXPECT_EQ(events->item(0)->text(), "no-fix begins at 1 s of the run");
  EXPECT_EQ(events->item(1)->text(), "no-fix ends at 2 s of the run");
  EXPECT_EQ(script.ask(R"({"cmd":"stop"})"), R"({"ok":true})");
  EXPECT_TRUE(win.g().PortName().empty());

  // A scenario that is no scenario: Start says so and nothing starts.
  test::writeFile(scenario, "[]");
  ui.btnStart->trigger();
  (void)QTest::qWaitFor([&] { return !win.errors.isEmpty(); }, 5000);
  ASSERT_EQ(win.errors.size(), 1);
  EXPECT_NE(win.errors[0].toStdString().find(scenario.string()), std::string::npos)
      << win.errors[0].toStdString();
  EXPECT_TRUE(win.g().PortName().empty());
}

}  // namespace
}  // namespace waymock::app
