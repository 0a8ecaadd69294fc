#include "engine/simulation.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include "common/test_support.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <numbers>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "generator/nmea_generator.h"
#include "motion/motion_settings.h"
#include "motion/route_motion.h"
#include "motion/speed_heading_motion.h"
#include "platform/clock.h"
#include "platform/tcp_server.h"
#include "platform/udp_sender.h"
#include "support/datetime.h"

namespace waymock {
namespace {

using generator::TNMEACommands;
using generator::TTarnNMEAGenerator;

// A serial line that records what is written and takes as many bytes as told;
// while held, a write waits, as on a device that takes nothing.
struct Line {
  std::vector<std::string> writes;
  std::optional<std::size_t> accept;  // nothing: everything
  std::mutex mutex;
  std::condition_variable released;
  bool held = false;

  void hold(bool value) {
    {
      std::lock_guard lock(mutex);
      held = value;
    }
    released.notify_all();
  }
};

class FakeDevice final : public SerialDevice {
 public:
  explicit FakeDevice(Line& line) : line_(line) {}
  std::size_t write(std::string_view bytes, std::chrono::milliseconds) override {
    std::unique_lock lock(line_.mutex);
    line_.writes.emplace_back(bytes);
    line_.released.wait(lock, [this] { return !line_.held; });
    return line_.accept ? std::min(*line_.accept, bytes.size()) : bytes.size();
  }
  void purge() noexcept override {}

 private:
  Line& line_;
};

class FakePorts final : public SerialPortOpener {
 public:
  explicit FakePorts(Line& line) : line_(line) {}
  std::unique_ptr<SerialDevice> open(const std::string& name, int) override {
    return name == "/dev/ttyFake" ? std::make_unique<FakeDevice>(line_) : nullptr;
  }

 private:
  Line& line_;
};

class SimulationTest : public ::testing::Test {
 protected:
  SimulationTest()
      : clock(std::make_shared<FixedClock>(encodeDateTime({2024, 3, 23, 12, 35, 19, 0}))),
        generator(clock, std::make_shared<FakePorts>(line)),
        udp("127.0.0.1", receiver.port()),
        simulation(generator, &udp) {
    generator.SetLatitude_Degree(48);
    generator.SetLatitude_Minute(7);
    generator.SetLatitude_Second(2.5L);
    generator.SetLongitude_Degree(11);
    generator.SetLongitude_Minute(31);
    simulation.onTransmitted = [this](const std::string& burst) {
      echoed.push_back(burst);
      latitudeSecondAtEcho = generator.Latitude_Second();
    };
  }

  Line line;
  std::shared_ptr<FixedClock> clock;
  TTarnNMEAGenerator generator;
  test::UdpReceiver receiver;
  UdpSender udp;
  Simulation simulation;
  std::vector<std::string> echoed;
  long double latitudeSecondAtEcho = -1;
};

TEST_F(SimulationTest, WithoutPortNothingHappens) {
  EXPECT_EQ(simulation.tick(), 0);
  EXPECT_TRUE(line.writes.empty());
  EXPECT_TRUE(echoed.empty());
  EXPECT_EQ(generator.Latitude_Second(), 2.5L);
  // The first datagram to arrive is that of the first tick with a port, whose
  // fix differs.
  generator.SetLatitude_Second(3.5L);
  ASSERT_TRUE(generator.OpenPort("/dev/ttyFake", 4800));
  const std::string burst = generator.GetSentences();
  simulation.tick();
  EXPECT_EQ(receiver.receive(), burst);
}

TEST_F(SimulationTest, TransmittingTickSendsEchoesThenMoves) {
  ASSERT_TRUE(generator.OpenPort("/dev/ttyFake", 4800));
  simulation.settings.latitudeShortStep = 1;
  simulation.settings.longitudeShortStep = -2;
  const std::string burst = generator.GetSentences();
  EXPECT_EQ(simulation.tick(), static_cast<int>(burst.size()));
  EXPECT_EQ(line.writes, std::vector<std::string>{burst});
  EXPECT_EQ(receiver.receive(), burst);
  // The echo shows the fix that was sent, before it moves.
  EXPECT_EQ(echoed, std::vector<std::string>{burst});
  EXPECT_EQ(latitudeSecondAtEcho, 2.5L);
  EXPECT_EQ(generator.Latitude_Second(), 3.5L);
  EXPECT_EQ(generator.Longitude_Minute(), 30);
  EXPECT_EQ(generator.Longitude_Second(), 58);
}

TEST_F(SimulationTest, NothingWrittenMeansNoEchoNoMoveButUdpStillGoes) {
  ASSERT_TRUE(generator.OpenPort("/dev/ttyFake", 4800));
  line.accept = 0;
  EXPECT_EQ(simulation.tick(), 0);
  EXPECT_EQ(line.writes.size(), 1u);
  EXPECT_EQ(receiver.receive(), generator.GetSentences());
  EXPECT_TRUE(echoed.empty());
  EXPECT_EQ(generator.Latitude_Second(), 2.5L);
}

TEST_F(SimulationTest, EveryNetworkTargetGetsTheBurstWhateverThePortDid) {
  test::UdpReceiver second;
  UdpSender secondUdp("127.0.0.1", second.port());
  TcpServer tcp("127.0.0.1", 0);
  simulation.addUdp(secondUdp);
  simulation.addTcp(tcp);
  test::TcpClient client(tcp.port());
  for (int i = 0; i < 500 && tcp.clientCount() == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(generator.OpenPort("/dev/ttyFake", 4800));
  const std::string burst = generator.GetSentences();
  simulation.tick();
  line.accept = 0;
  simulation.tick();
  EXPECT_EQ(echoed.size(), 1u);
  const std::string moved = generator.GetSentences();
  for (test::UdpReceiver* udp : {&receiver, &second}) {
    EXPECT_EQ(udp->receive(), burst);
    EXPECT_EQ(udp->receive(), moved);
  }
  EXPECT_TRUE(client.readUntil([&](const std::string& r) { return r == burst + moved; }))
      << client.received();
}

// The command line's order: the network gets each burst at once while the
// port's write waits; the port takes a burst only once it is free, and the
// report and the move follow its answer.
TEST_F(SimulationTest, OnAThreadTheNetworkDoesNotWaitForThePort) {
  Simulation apart(generator, &udp, Transmitter::PortWrite::onThread);
  std::vector<std::string> reported;
  apart.onTransmitted = [&](const std::string& burst) { reported.push_back(burst); };
  ASSERT_TRUE(generator.OpenPort("/dev/ttyFake", 4800));
  const std::string burst = generator.GetSentences();
  line.hold(true);
  EXPECT_EQ(apart.tick(), 0);
  EXPECT_EQ(apart.tick(), 0);
  EXPECT_EQ(receiver.receive(), burst);
  EXPECT_EQ(receiver.receive(), burst);
  EXPECT_EQ(apart.collectWrite(), std::nullopt);
  EXPECT_EQ(generator.Latitude_Second(), 2.5L);

  line.hold(false);
  pollfd ended{apart.writeEndedFd(), POLLIN, 0};
  ASSERT_EQ(poll(&ended, 1, 5000), 1);
  EXPECT_EQ(apart.collectWrite(), static_cast<int>(burst.size()));
  EXPECT_EQ(apart.collectWrite(), std::nullopt);
  apart.waitForWrite();
  EXPECT_EQ(line.writes, std::vector<std::string>{burst});  // the second tick's was not begun
  EXPECT_EQ(reported, std::vector<std::string>{burst});
  EXPECT_EQ(generator.Latitude_Second(), 3.5L);
}

TEST_F(SimulationTest, EmptyBurstSendsAnEmptyDatagramEveryTick) {
  ASSERT_TRUE(generator.OpenPort("/dev/ttyFake", 4800));
  generator.SetCommands(TNMEACommands::none());
  EXPECT_EQ(simulation.tick(), 0);
  EXPECT_EQ(simulation.tick(), 0);
  EXPECT_EQ(receiver.receive(), "");
  EXPECT_EQ(receiver.receive(), "");
  EXPECT_TRUE(echoed.empty());
  EXPECT_EQ(generator.Latitude_Second(), 2.5L);
}

TEST_F(SimulationTest, UdpErrorsNeverStopTheTick) {
  ASSERT_TRUE(generator.OpenPort("/dev/ttyFake", 4800));
  udp.setDestination("127.0.0.1", 0);
  int errors = 0;
  simulation.onUdpError = [&](const UdpSender& target, const std::exception&) {
    EXPECT_EQ(&target, &udp);
    ++errors;
  };
  EXPECT_GT(simulation.tick(), 0);
  simulation.onUdpError = nullptr;
  EXPECT_GT(simulation.tick(), 0);
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(echoed.size(), 2u);
}

TEST_F(SimulationTest, ActiveSatellitesTurnOneDegreeWhenAsked) {
  ASSERT_TRUE(generator.OpenPort("/dev/ttyFake", 4800));
  generator.SetSatellite(3, true, 45, 359, 40);
  generator.SetSatellite(7, true, 20, 120, 35);
  generator.SetSatellite(9, false, 10, 200, 5);
  simulation.tick();
  EXPECT_EQ(generator.GetSatellites()[3]->Azimuth(), 359);  // not asked yet
  simulation.settings.moveSatellites = true;
  simulation.tick();
  const auto s = generator.GetSatellites();
  EXPECT_EQ(s[3]->Azimuth(), 0);
  EXPECT_EQ(s[3]->Elevation(), 45);
  EXPECT_EQ(s[3]->SignalToNoiseRatio(), 40);
  EXPECT_TRUE(s[3]->Active());
  EXPECT_EQ(s[7]->Azimuth(), 121);
  EXPECT_EQ(s[9]->Azimuth(), 200);
  // The other constellations turn with them.
  generator.setSatellite(generator::Constellation::beidou, 63, true, 10, 359, 30);
  generator.setSatellite(generator::Constellation::glonass, 1, false, 10, 50, 30);
  simulation.tick();
  EXPECT_EQ(generator.satellite(generator::Constellation::beidou, 63)->Azimuth(), 0);
  EXPECT_EQ(generator.satellite(generator::Constellation::glonass, 1)->Azimuth(), 50);
  EXPECT_EQ(s[7]->Azimuth(), 122);
  // Not on a tick that wrote nothing.
  line.accept = 0;
  simulation.tick();
  EXPECT_EQ(s[7]->Azimuth(), 122);
}

// On the second, every copy of the burst carries the tick's epoch, in both
// write orders; after the tick the generator reads its clock again, and a
// time fixed in the generator (a track's) wins over the epoch.
TEST_F(SimulationTest, ATickOnTheSecondStampsItsEpoch) {
  ASSERT_TRUE(generator.OpenPort("/dev/ttyFake", 4800));
  generator.SetCommands(TNMEACommands{generator::TNMEACommand::GPZDA});
  const TDateTime epoch = encodeDateTime({2024, 3, 23, 12, 35, 21, 0});
  const std::string stamped = "$GPZDA,123521.000,23032024,00,00*56\r\n";
  simulation.tick(epoch);
  EXPECT_EQ(line.writes, std::vector<std::string>{stamped});
  EXPECT_EQ(receiver.receive(), stamped);
  EXPECT_EQ(echoed, std::vector<std::string>{stamped});
  EXPECT_TRUE(generator.UseSystemDateTime());
  EXPECT_EQ(generator.GetSentences(), "$GPZDA,123519.000,23032024,00,00*5D\r\n");

  Simulation apart(generator, nullptr, Transmitter::PortWrite::onThread);
  std::vector<std::string> reported;
  apart.onTransmitted = [&](const std::string& burst) { reported.push_back(burst); };
  apart.tick(epoch);
  apart.waitForWrite();
  EXPECT_EQ(apart.collectWrite(), static_cast<int>(stamped.size()));
  EXPECT_EQ(reported, std::vector<std::string>{stamped});

  generator.SetUseSystemDateTime(false);
  generator.SetUTCDateTime(encodeDateTime({2001, 2, 3, 4, 5, 6, 0}));
  simulation.tick(epoch);
  EXPECT_EQ(echoed.back(), "$GPZDA,040506.000,03022001,00,00*53\r\n");
  EXPECT_FALSE(generator.UseSystemDateTime());
}

TEST_F(SimulationTest, ForwardAndBackUseTheLongStepsByMagnitude) {
  simulation.settings.latitudeLongStep = -5;
  simulation.settings.longitudeLongStep = 5;
  simulation.forward();
  EXPECT_EQ(generator.Latitude_Second(), 7.5L);
  EXPECT_EQ(generator.Longitude_Second(), 5);
  simulation.back();
  simulation.back();
  EXPECT_EQ(generator.Latitude_Second(), 57.5L);
  EXPECT_EQ(generator.Latitude_Minute(), 6);
  EXPECT_EQ(generator.Longitude_Second(), 55);
  EXPECT_EQ(generator.Longitude_Minute(), 30);
}

// The RMC fields a motion sets: position in signed decimal degrees (north and
// east positive), speed in knots and course.
struct RmcFix {
  double latitude, longitude, knots, course;
  std::string time;
};
RmcFix rmcFix(const std::string& burst) {
  std::vector<std::string> f;
  std::size_t start = 0;
  for (std::size_t comma; (comma = burst.find(',', start)) != std::string::npos; start = comma + 1)
    f.push_back(burst.substr(start, comma - start));
  const auto degrees = [](const std::string& text, int width, const std::string& letter) {
    const double value = std::stod(text.substr(0, width)) + std::stod(text.substr(width)) / 60;
    return letter == "S" || letter == "W" ? -value : value;
  };
  return {degrees(f[3], 2, f[4]), degrees(f[5], 3, f[6]), std::stod(f[7]), std::stod(f[8]), f[1]};
}

class SimulationMotionTest : public SimulationTest {
 protected:
  SimulationMotionTest() {
    EXPECT_TRUE(generator.OpenPort("/dev/ttyFake", 4800));
    generator.SetCommands(TNMEACommands{generator::TNMEACommand::GPRMC});
    simulation.monotonicNow = [this] { return now; };
    // The real-time clock runs with the monotonic one from 2024-03-23T12:35:21Z.
    simulation.realtimeNow = [this] { return kStartTime + now.time_since_epoch(); };
  }
  static constexpr std::chrono::seconds kStartTime{1'711'197'321};
  std::chrono::steady_clock::time_point now{};
  // The tick's epoch `seconds` after the start, as the tick schedule gives it.
  static TDateTime epochAt(double seconds) {
    return encodeDateTime({2024, 3, 23, 12, 35, 21, 0}) + seconds / 86'400;
  }
};

// A minute of arc's ten-thousandth, as the sentences print positions.
constexpr double kPrinted = 0.0001 / 60;

TEST_F(SimulationMotionTest, TheMotionsFixCrossesTheEquatorAndThe180thMeridian) {
  simulation.settings.latitudeShortStep = 5;
  simulation.setMotion(std::make_unique<motion::SpeedHeadingMotion>(
      motion::GeoPoint{0.0001, 179.9999}, 100.0, 135.0, true));
  simulation.tick();
  now += std::chrono::seconds(10);
  simulation.tick();
  ASSERT_EQ(echoed.size(), 2u);
  const motion::MotionFix& fix = simulation.motion()->fix();
  EXPECT_LT(fix.position.latitude, 0);
  EXPECT_LT(fix.position.longitude, 0);
  const RmcFix first = rmcFix(echoed[0]);
  EXPECT_NEAR(first.latitude, 0.0001, kPrinted);
  EXPECT_NEAR(first.longitude, 179.9999, kPrinted);
  const RmcFix sent = rmcFix(echoed[1]);
  EXPECT_NEAR(sent.latitude, fix.position.latitude, kPrinted / 2);
  EXPECT_NEAR(sent.longitude, fix.position.longitude, kPrinted / 2);
  // 100 m/s in knots of 1852 m; the course of the great circle there.
  EXPECT_NEAR(sent.knots, 194.38, 0.005);
  EXPECT_NEAR(sent.course, fix.course, 0.005);
  // No steps on top of the motion, and the long steps do nothing.
  EXPECT_EQ(generator.Latitude_Direction(), TCardinalPoint::cpSouth);
  EXPECT_EQ(generator.Longitude_Direction(), TCardinalPoint::cpWest);
  const long double second = generator.Latitude_Second();
  simulation.forward();
  EXPECT_EQ(generator.Latitude_Second(), second);
}

TEST_F(SimulationMotionTest, PausedTimeDoesNotMoveItAndRestartGoesBackToTheStart) {
  simulation.setMotion(
      std::make_unique<motion::SpeedHeadingMotion>(motion::GeoPoint{48, 11}, 10.0, 0.0, false));
  simulation.tick();
  now += std::chrono::seconds(1);
  simulation.pause();
  now += std::chrono::seconds(100);
  simulation.resume();
  now += std::chrono::seconds(2);
  simulation.tick();
  EXPECT_NEAR(simulation.motion()->progress().done, 30, 1e-9);
  // Start and Stop: the start position is the generator's, and the first tick
  // after sends it.
  generator.SetLatitude_Degree(50);
  generator.SetLatitude_Minute(0);
  generator.SetLatitude_Second(0);
  simulation.restart();
  now += std::chrono::seconds(5);
  simulation.tick();
  EXPECT_EQ(simulation.motion()->progress().done, 0);
  EXPECT_EQ(rmcFix(echoed.back()).latitude, 50);
}

TEST_F(SimulationMotionTest, TheTracksTimeWinsOverTheClockAndTheEpoch) {
  motion::Route route;
  route.points = {{0, 0, std::nullopt, motion::trackTimeAt(1714555800)},
                  {0, 0.01, std::nullopt, motion::trackTimeAt(1714555900)}};
  simulation.setMotion(std::make_unique<motion::RouteMotion>(route, motion::RoutePace{true, 0, 2},
                                                             motion::RouteEnd::stop, true));
  simulation.tick(encodeDateTime({2024, 3, 23, 12, 35, 21, 0}));
  now += std::chrono::milliseconds(1500);
  simulation.tick();
  ASSERT_EQ(echoed.size(), 2u);
  EXPECT_EQ(rmcFix(echoed[0]).time, "093000.000");
  EXPECT_EQ(rmcFix(echoed[1]).time, "093003.000");
  EXPECT_NEAR(rmcFix(echoed[1]).longitude, 0.0003, kPrinted / 2);
  EXPECT_TRUE(generator.UseSystemDateTime());
}

// Ticks on the second: whenever the tick wakes, its fix is the one for its
// epoch, the time its fields carry. At 10 km/s east along the equator (a
// circle of radius a, 6378137 m) the fix is k x 10 km from the start at
// epoch k: longitude k x 10000 / a radians, to a centimetre.
TEST_F(SimulationMotionTest, ALateTickSendsThePositionOfItsEpoch) {
  simulation.setMotion(
      std::make_unique<motion::SpeedHeadingMotion>(motion::GeoPoint{0, 0}, 10'000.0, 90.0, false));
  const double late[] = {0.05, 0.45, 0.001, 0.3, 0.05};
  for (int k = 0; k < 5; ++k) {
    now =
        std::chrono::steady_clock::time_point(std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::duration<double>(k + late[k])));
    simulation.tick(epochAt(k));
    const double metres =
        simulation.motion()->fix().position.longitude * std::numbers::pi / 180 * 6'378'137;
    EXPECT_NEAR(metres, k * 10'000.0, 0.01) << k;
  }
}

// The error a seed gives a burst depends on its epoch alone: a run that skips
// ticks (or whose port took none) sends the same errors at the same epochs.
TEST_F(SimulationMotionTest, TheSameSeedGivesEachEpochTheSameError) {
  const auto positionsAt = [this](const std::vector<int>& epochs) {
    motion::MotionSettings noisy;
    noisy.model = motion::MotionModel::speedHeading;
    noisy.noiseMetres = 5;
    noisy.seed = 7;
    simulation.setMotion(motion::makeMotion(noisy, {48, 11}));
    std::map<int, motion::GeoPoint> positions;
    for (const int k : epochs) {
      now = std::chrono::steady_clock::time_point(std::chrono::seconds(k) +
                                                  std::chrono::milliseconds(k % 3 * 100));
      simulation.tick(epochAt(k * 0.01));
      positions[k] = simulation.motion()->fix().position;
    }
    return positions;
  };
  const auto every = positionsAt({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
  const auto some = positionsAt({0, 3, 4, 8});
  for (const auto& [k, position] : some) {
    EXPECT_EQ(position.latitude, every.at(k).latitude) << k;
    EXPECT_EQ(position.longitude, every.at(k).longitude) << k;
  }
  EXPECT_NE(every.at(3).latitude, every.at(4).latitude);
}

}  // namespace
}  // namespace waymock
