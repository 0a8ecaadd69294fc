// The Advanced page's Motion group: a fix that travels a route or by speed and
// heading, read from the virtual port, and the page's settings kept between
// runs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>
#include <QGroupBox>
#include <QSettings>
#include <QTest>
#include <chrono>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "app/form_storage.h"
#include "app/main_window.h"
#include "common/test_support.h"
#include "engine/position_text.h"
#include "motion/motion_settings.h"
#include "support/error.h"
#include "test_window.h"

namespace waymock::app {
namespace {

using namespace std::chrono_literals;
using test::namedChild;

// The Motion group's controls, found by their names.
struct MotionControls {
  explicit MotionControls(const QObject& w) : group(namedChild<QGroupBox>(w, "MotionGroup")) {}
  template <class T>
  T* get(const char* name) const {
    return namedChild<T>(*group, name);
  }
  QGroupBox* group;
  QComboBox* cmbMotion = get<QComboBox>("cmbMotion");
  QCheckBox* cbGeodesic = get<QCheckBox>("cbGeodesic");
  QLineEdit* efRouteFile = get<QLineEdit>("efRouteFile");
  QPushButton* btnRouteFile = get<QPushButton>("btnRouteFile");
  QDoubleSpinBox* efRouteSpeed = get<QDoubleSpinBox>("efRouteSpeed");
  QCheckBox* cbTrackTime = get<QCheckBox>("cbTrackTime");
  QDoubleSpinBox* efRouteRate = get<QDoubleSpinBox>("efRouteRate");
  QComboBox* cmbRouteEnd = get<QComboBox>("cmbRouteEnd");
  QCheckBox* cbUseTrackTime = get<QCheckBox>("cbUseTrackTime");
  QDoubleSpinBox* efNoise = get<QDoubleSpinBox>("efNoise");
  QSpinBox* efNoiseSeed = get<QSpinBox>("efNoiseSeed");
  QLabel* lblMotionProgress = get<QLabel>("lblMotionProgress");
  QSlider* trckMotion = get<QSlider>("trckMotion");
  std::string progress() const { return lblMotionProgress->text().toStdString(); }
};

// The RMC sentence of a burst as the fields a client reads.
struct Rmc {
  double latitudeMinutes = 0;   // signed: north positive
  double longitudeMinutes = 0;  // signed: east positive
  double course = 0;
};

std::vector<std::string> fields(const std::string& sentence) {
  std::vector<std::string> parts;
  std::istringstream in(sentence.substr(0, sentence.find('*')));
  for (std::string part; std::getline(in, part, ',');) parts.push_back(part);
  return parts;
}

// A window on the virtual port whose motion runs on a clock the test moves.
class MotionTest : public ::testing::Test {
 protected:
  MotionTest() {
    w.simulation().monotonicNow = [this] { return now; };
    ui.PageControl->setCurrentWidget(namedChild<QWidget>(w, "tabAdvanced"));
    ui.cmbCom->setCurrentIndex(ui.cmbCom->count() - 1);
  }
  ~MotionTest() override {
    if (client >= 0) ::close(client);
  }

  void start() {
    ui.btnStart->trigger();
    started();
  }
  // Once the run began: a route is read off the tick's thread first.
  void started() {
    (void)QTest::qWaitFor([&] { return !motion.cmbMotion->isEnabled() || !win.errors.isEmpty(); },
                          5000);
    ASSERT_TRUE(win.errors.isEmpty()) << win.errors.join(' ').toStdString();
    client =
        ::open(TfrmMain::virtualPortPath().toStdString().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(client, 0);
  }
  // One tick `seconds` after the last, and the RMC sentence it sent.
  Rmc tickAfter(std::chrono::seconds seconds) {
    now += seconds;
    win.tick();
    std::string sent;
    std::size_t at = std::string::npos;
    const bool read = QTest::qWaitFor(
        [&] {
          char buffer[4096];
          for (ssize_t n; (n = ::read(client, buffer, sizeof buffer)) > 0;) sent.append(buffer, n);
          at = sent.find("$GPRMC");
          return at != std::string::npos && sent.find("\r\n", at) != std::string::npos;
        },
        5000);
    EXPECT_TRUE(read) << sent;
    if (!read) return {};
    const auto f = fields(sent.substr(at, sent.find("\r\n", at) - at));
    const auto minutes = [](const std::string& text, int degreeDigits) {
      return std::stod(text.substr(0, degreeDigits)) * 60 + std::stod(text.substr(degreeDigits));
    };
    Rmc rmc;
    rmc.latitudeMinutes = minutes(f[3], 2) * (f[4] == "S" ? -1 : 1);
    rmc.longitudeMinutes = minutes(f[5], 3) * (f[6] == "W" ? -1 : 1);
    rmc.course = std::stod(f[8]);
    return rmc;
  }
  std::vector<bool> fixControlsEnabled() {
    return {ui.btnBack->isEnabled(), ui.btnForward->isEnabled(), ui.trckLatitude->isEnabled(),
            ui.trckLongitude->isEnabled()};
  }

  test::TempDir dir;
  test::TestWindow win;
  TfrmMain& w = win.w;
  test::WindowControls& ui = win.ui;
  MotionControls motion{w};
  std::chrono::steady_clock::time_point now{};
  int client = -1;
};

TEST_F(MotionTest, ARouteFromTheMotionGroupTravelsWithMatchingCourse) {
  // East along the equator for 0.01°, then north for 0.01°: 1113.19 m and
  // 1105.74 m on the ellipsoid.
  const auto route = dir / "corner.csv";
  test::writeFile(route, "lat,lon\n0,0\n0,0.01\n0.01,0.01\n");
  motion.cmbMotion->setCurrentIndex(motion.cmbMotion->findText("Route"));
  ASSERT_TRUE(motion.btnRouteFile->isEnabled());
  EXPECT_FALSE(motion.cbGeodesic->isEnabled()) << "speed and heading's only";
  win.prompts.chosen = QString::fromStdString(route.string());
  QTest::mouseClick(motion.btnRouteFile, Qt::LeftButton);
  EXPECT_EQ(motion.efRouteFile->text().toStdString(), route.string());
  EXPECT_EQ(win.prompts.fileMode, QFileDialog::ExistingFile);
  motion.efRouteSpeed->setValue(360);  // 100 m/s

  ui.btnStart->trigger();
  EXPECT_TRUE(motion.cmbMotion->isEnabled()) << "switched before the route was read";
  started();
  const std::vector<bool> off(4, false), on(4, true);
  EXPECT_EQ(fixControlsEnabled(), off);
  EXPECT_FALSE(motion.cmbMotion->isEnabled()) << "the choice waits for the next Start";
  EXPECT_EQ(motion.progress(), "0.00 of 2.22 km, 0:00:22 left");

  const Rmc first = tickAfter(0s);
  EXPECT_EQ(first.latitudeMinutes, 0);
  EXPECT_EQ(first.longitudeMinutes, 0);
  const Rmc east = tickAfter(5s);
  EXPECT_NEAR(east.longitudeMinutes, 500 / 111319.49 * 60, 0.0001);
  EXPECT_EQ(east.latitudeMinutes, 0);
  EXPECT_NEAR(east.course, 90, 0.1);
  // The slider shows the motion's position and does not round it.
  EXPECT_NE(win.g().Longitude_Second(), RoundTo2(win.g().Longitude_Second()));
  EXPECT_EQ(ui.trckLongitude->value(), sliderPosition(win.g().LongitudeDegrees()));

  const Rmc north = tickAfter(10s);
  EXPECT_NEAR(north.longitudeMinutes, 0.6, 0.0001);
  EXPECT_NEAR(north.latitudeMinutes, (1500 - 1113.19) / 110574.4 * 60, 0.0002);
  EXPECT_NEAR(std::fmod(north.course, 360), 0, 0.1);
  EXPECT_EQ(motion.progress(), "1.50 of 2.22 km, 0:00:07 left");
  EXPECT_EQ(motion.trckMotion->value(), 1500);

  ui.btnForward->trigger();
  EXPECT_EQ(tickAfter(0s).latitudeMinutes, north.latitudeMinutes) << "Forward does nothing";

  ASSERT_TRUE(motion.trckMotion->isEnabled());
  QTest::keyClick(motion.trckMotion, Qt::Key_End);
  EXPECT_EQ(motion.progress(), "2.22 of 2.22 km, 0:00:00 left");
  EXPECT_NEAR(tickAfter(1s).latitudeMinutes, 0.6, 0.0001) << "at the route's end";

  ui.btnStop->trigger();
  EXPECT_EQ(fixControlsEnabled(), on);
  EXPECT_TRUE(motion.cmbMotion->isEnabled());
  EXPECT_EQ(motion.progress(), "");
  EXPECT_FALSE(motion.trckMotion->isEnabled());
}

TEST_F(MotionTest, SpeedAndHeadingFollowTheSettingsPage) {
  motion.cmbMotion->setCurrentIndex(motion.cmbMotion->findText("Speed and heading"));
  ui.efSpeed->setValue(360);
  ui.efHeading->setValue(90);
  start();
  tickAfter(0s);
  EXPECT_NEAR(tickAfter(10s).course, 90, 0.1);
  EXPECT_EQ(motion.progress(), "1.00 km travelled");

  // A new heading reaches the motion as every setting reaches the generator:
  // at the next page switch.
  ui.efHeading->setValue(180);
  ui.PageControl->setCurrentIndex(1);
  const Rmc south = tickAfter(10s);
  EXPECT_NEAR(south.course, 180, 0.1);
  EXPECT_LT(south.latitudeMinutes, -0.5);
  EXPECT_EQ(motion.progress(), "2.00 km travelled");
}

TEST_F(MotionTest, ARouteThatCannotBeFollowedSaysWhyAndNothingStarts) {
  const auto route = dir / "missing.gpx";
  motion::MotionSettings chosen;
  chosen.model = motion::MotionModel::route;
  chosen.routeSpeedKmh = 20;
  chosen.routeFile = route.string();
  std::string message;
  try {
    motion::makeMotion(chosen, {});
  } catch (const Error& e) {
    message = e.what();
  }
  ASSERT_FALSE(message.empty());

  motion.cmbMotion->setCurrentIndex(motion.cmbMotion->findText("Route"));
  motion.efRouteFile->setText(QString::fromStdString(route.string()));
  ui.btnStart->trigger();
  (void)QTest::qWaitFor([&] { return !win.errors.isEmpty(); }, 5000);
  EXPECT_EQ(win.errors, QStringList{QString::fromStdString(message)});
  EXPECT_TRUE(win.g().PortName().empty()) << "the port goes as it came";
  EXPECT_EQ(fixControlsEnabled(), std::vector<bool>(4, true));
}

TEST(AdvancedSettings, TheMotionFileModeAndControlChoicesAreKeptInTheirOwnGroup) {
  QString file;
  {
    test::TestWindow win;
    file = win.w.formStorage()->fileName();
    QFile::remove(file);
    win.showAndWait();
    MotionControls motion(win.w);
    motion.cmbMotion->setCurrentIndex(2);
    motion.efRouteFile->setText("/tmp/route.gpx");
    motion.efRouteSpeed->setValue(12.5);
    motion.cbTrackTime->setChecked(true);
    motion.efRouteRate->setValue(3);
    motion.cmbRouteEnd->setCurrentIndex(2);
    motion.cbUseTrackTime->setChecked(true);
    motion.efNoise->setValue(2.5);
    motion.efNoiseSeed->setValue(42);
    motion.cbGeodesic->setChecked(true);
    namedChild<QCheckBox>(win.w, "cbFilePaced")->setChecked(true);
    namedChild<QDoubleSpinBox>(win.w, "efFileRate")->setValue(0.5);
    namedChild<QCheckBox>(win.w, "cbFileLoop")->setChecked(true);
    namedChild<QLineEdit>(win.w, "efScenario")->setText("/tmp/faults.json");
    win.w.close();
  }
  QSettings stored(file, QSettings::IniFormat);
  const std::vector<std::pair<const char*, const char*>> kept = {
      {"cmbMotion_ItemIndex", "2"},
      {"cbGeodesic_Checked", "True"},
      {"efRouteFile_Text", "/tmp/route.gpx"},
      {"efRouteSpeed_Value", "12.5"},
      {"cbTrackTime_Checked", "True"},
      {"efRouteRate_Value", "3"},
      {"cmbRouteEnd_ItemIndex", "2"},
      {"cbUseTrackTime_Checked", "True"},
      {"efNoise_Value", "2.5"},
      {"efNoiseSeed_Value", "42"},
      {"cbFilePaced_Checked", "True"},
      {"efFileRate_Value", "0.5"},
      {"cbFileLoop_Checked", "True"},
      {"cbControl_Checked", "False"},
      {"efScenario_Text", "/tmp/faults.json"},
  };
  for (const auto& [key, text] : kept) {
    EXPECT_EQ(stored.value(QString("Advanced/") + key).toString().toStdString(), text) << key;
    EXPECT_FALSE(stored.contains(QString("TfrmMain/") + key)) << key;
  }

  test::TestWindow again;
  again.showAndWait();
  MotionControls motion(again.w);
  EXPECT_EQ(motion.cmbMotion->currentText(), "Route");
  EXPECT_TRUE(motion.efRouteFile->isEnabled()) << "the enabling follows the restored model";
  EXPECT_EQ(motion.efRouteFile->text(), "/tmp/route.gpx");
  EXPECT_EQ(motion.efRouteSpeed->value(), 12.5);
  EXPECT_TRUE(motion.efRouteRate->isEnabled());
  EXPECT_FALSE(motion.efRouteSpeed->isEnabled()) << "the track's own times instead";
  EXPECT_EQ(motion.cmbRouteEnd->currentText(), "Turn back");
  EXPECT_EQ(motion.efNoiseSeed->value(), 42);
  EXPECT_EQ(namedChild<QDoubleSpinBox>(again.w, "efFileRate")->value(), 0.5);
  EXPECT_TRUE(namedChild<QCheckBox>(again.w, "cbFileLoop")->isChecked());
  EXPECT_EQ(namedChild<QLineEdit>(again.w, "efScenario")->text(), "/tmp/faults.json");
  QFile::remove(file);
}

}  // namespace
}  // namespace waymock::app
