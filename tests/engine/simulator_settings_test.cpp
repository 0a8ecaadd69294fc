#include "engine/simulator_settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <limits>

#include "engine/simulation.h"
#include "generator/nmea_generator.h"
#include "platform/udp_sender.h"

namespace waymock {
namespace {

TEST(SimulatorSettings, StartPositionReachesTheGeneratorAndARejectedPartBecomesZero) {
  generator::TTarnNMEAGenerator g;
  SimulatorSettings s;
  s.latitudeDegree = 89;
  s.latitudeMinute = 59;
  s.latitudeSecond = 59.99L;
  s.latitudeDirection = "South";
  s.longitudeDegree = 12;
  s.longitudeSecond = 60;  // beyond the generator's range
  s.longitudeDirection = "West";
  ApplyStartPosition(s, g);
  EXPECT_EQ(g.Latitude_Degree(), 89);
  EXPECT_EQ(g.Latitude_Minute(), 59);
  EXPECT_EQ(g.Latitude_Second(), 59.99L);
  EXPECT_EQ(g.Latitude_Direction(), TCardinalPoint::cpSouth);
  EXPECT_EQ(g.Longitude_Degree(), 12);
  EXPECT_EQ(g.Longitude_Second(), 0);
  EXPECT_EQ(g.Longitude_Direction(), TCardinalPoint::cpWest);
}

TEST(SimulatorSettings, SettingsWithTheirFallbacks) {
  generator::TTarnNMEAGenerator g;
  SimulationSettings steps;
  UdpSender udp;
  SimulatorSettings s;
  s.speed = 100;
  s.heading = 400;  // rejected by the generator
  s.latitudeShortStep = std::numeric_limits<long double>::quiet_NaN();
  s.longitudeLongStep = -3;
  s.gpgsv = false;
  s.udpHost = "127.0.0.1";
  s.udpPort = 10110;
  EXPECT_EQ(ApplySettings(s, g, steps, udp), 1000);
  EXPECT_EQ(g.Speed(), 100 * 0.5397L);
  EXPECT_EQ(g.Heading(), 0);
  EXPECT_EQ(steps.latitudeShortStep, 1);
  EXPECT_EQ(steps.longitudeLongStep, -3);
  EXPECT_FALSE(g.Commands().contains(generator::TNMEACommand::GPGSV));
  EXPECT_TRUE(g.Commands().contains(generator::TNMEACommand::GPZDA));
  EXPECT_EQ(udp.port(), 0) << "UDP off leaves the destination alone";
  s.udp = true;
  ApplySettings(s, g, steps, udp);
  EXPECT_EQ(udp.host(), "127.0.0.1");
  EXPECT_EQ(udp.port(), 10110);
  s.outputProfile = "nmea41";  // km/h become knots by the nautical mile
  ApplySettings(s, g, steps, udp);
  EXPECT_EQ(g.Speed(), 100 / 1.852L);
}

TEST(SimulatorSettings, TheOutputFormatFollowsTheAdvancedSettings) {
  using generator::Constellation;
  EXPECT_EQ(outputFormatOf(SimulatorSettings{}), generator::OutputFormat{}) << "the classic bytes";
  SimulatorSettings s;
  s.outputProfile = "nmea41";
  s.zdaForm = "standard";
  s.glonassSatellites = false;
  s.beidouSatellites = false;
  const generator::OutputFormat format = outputFormatOf(s);
  EXPECT_EQ(format.profile, generator::OutputProfile::nmea41);
  EXPECT_EQ(generator::zdaFormOf(format), generator::ZdaForm::standard);
  s.zdaForm = "classic";
  EXPECT_EQ(generator::zdaFormOf(outputFormatOf(s)), generator::ZdaForm::classic);
  EXPECT_EQ(format.constellations,
            (generator::Constellations{Constellation::gps, Constellation::galileo}));
  // A talker that is not two uppercase letters counts as none, and so does
  // one for several systems.
  s.galileoSatellites = false;
  for (const std::string talker : {"GP", "G", "gp", "GPS"}) {
    s.talker = talker;
    EXPECT_EQ(outputFormatOf(s).talker, talker == "GP" ? "GP" : "") << talker;
  }
  s.galileoSatellites = true;
  EXPECT_EQ(outputFormatOf(s).talker, "");
}

TEST(SimulatorSettings, AnIntervalBeyondTheTimerWaitsTheLongestItCan) {
  EXPECT_EQ(timerIntervalMilliseconds(1), 1000);
  EXPECT_EQ(timerIntervalMilliseconds(2.9L), 2000);
  EXPECT_EQ(timerIntervalMilliseconds(2147483), 2147483000);
  EXPECT_EQ(timerIntervalMilliseconds(2147484), INT_MAX);
  EXPECT_EQ(timerIntervalMilliseconds(2147483647), INT_MAX);
}

TEST(SimulatorSettings, TheMotionAndThePaceTheAdvancedPageChooses) {
  using motion::MotionModel;
  using motion::RouteEnd;
  struct Case {
    const char* model;
    const char* end;
    MotionModel expectedModel;
    RouteEnd expectedEnd;
  };
  const Case cases[] = {
      {"Steps", "Stop", MotionModel::steps, RouteEnd::stop},
      {"Speed and heading", "Loop", MotionModel::speedHeading, RouteEnd::loop},
      {"Route", "Turn back", MotionModel::route, RouteEnd::reverse},
      {"", "", MotionModel::steps, RouteEnd::stop},
  };
  for (const auto& c : cases) {
    SimulatorSettings s;
    s.motionModel = c.model;
    s.routeEnd = c.end;
    s.speed = 36;
    s.heading = 90.5L;
    s.routeSpeed = 12.5L;
    s.noiseSeed = 7;
    const motion::MotionSettings m = motionSettingsOf(s);
    EXPECT_EQ(m.model, c.expectedModel) << c.model;
    EXPECT_EQ(m.end, c.expectedEnd) << c.end;
    EXPECT_EQ(m.speedKmh, 36) << "the Settings page's speed and heading are its inputs";
    EXPECT_EQ(m.heading, 90.5);
    EXPECT_EQ(m.routeSpeedKmh, 12.5);
    EXPECT_EQ(m.seed, 7u);
  }
  SimulatorSettings s;
  s.interval = 3;
  s.replayPaced = true;
  s.replayRate = 2.5L;
  const receiver::ReplayPace pace = replayPaceOf(s);
  EXPECT_EQ(pace.delay, 3000);
  EXPECT_TRUE(pace.paced);
  EXPECT_EQ(pace.rate, 2.5L);
  EXPECT_FALSE(pace.loop);
}

}  // namespace
}  // namespace waymock
