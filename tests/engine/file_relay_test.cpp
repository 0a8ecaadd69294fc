#include "engine/file_relay.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "generator/nmea_generator.h"
#include "platform/clock.h"
#include "platform/udp_sender.h"
#include "receiver/custom_gps_receiver.h"
#include "receiver/file_gps_receiver.h"
#include "support/datetime.h"
#include "support/error.h"

namespace waymock {
namespace {

using generator::TTarnNMEAGenerator;
using receiver::TTarnCustomGPSReceiver;
using receiver::TTarnFileGPSReceiver;

// A serial line that records each write and takes all of it, or nothing.
struct AllOrNothingLine {
  std::vector<std::string> writes;
  bool accept = true;
};

class AllOrNothingDevice final : public SerialDevice {
 public:
  explicit AllOrNothingDevice(AllOrNothingLine& line) : line_(line) {}
  std::size_t write(std::string_view bytes, std::chrono::milliseconds) override {
    line_.writes.emplace_back(bytes);
    return line_.accept ? bytes.size() : 0;
  }
  void purge() noexcept override {}

 private:
  AllOrNothingLine& line_;
};

class AllOrNothingPorts final : public SerialPortOpener {
 public:
  explicit AllOrNothingPorts(AllOrNothingLine& line) : line_(line) {}
  std::unique_ptr<SerialDevice> open(const std::string&, int) override {
    return std::make_unique<AllOrNothingDevice>(line_);
  }

 private:
  AllOrNothingLine& line_;
};

std::string sentence(std::string_view body) {
  std::string text(body);
  text += '*';
  text += TTarnNMEAGenerator::CheckSum(body);
  text += "\r\n";
  return text;
}

// The sentence of `type` ("$GPGGA") in a burst, without its line end.
std::string find(const std::string& burst, const std::string& type) {
  const auto at = burst.find(type + ",");
  if (at == std::string::npos) return {};
  return burst.substr(at, burst.find("\r\n", at) - at);
}

std::vector<int> activePrns(const TTarnNMEAGenerator& g) {
  std::vector<int> prns;
  for (const auto* s : g.GetActiveSatellites()) prns.push_back(s->PseudoRandomCode());
  return prns;
}

const TDateTime kNow = encodeDateTime({2024, 3, 23, 12, 35, 19, 0});

struct Relay {
  AllOrNothingLine line;
  std::shared_ptr<FixedClock> clock = std::make_shared<FixedClock>(kNow);
  TTarnNMEAGenerator generator{clock, std::make_shared<AllOrNothingPorts>(line)};
  TTarnCustomGPSReceiver receiver;
  FileRelay relay{generator, receiver};
  std::vector<std::string> echoed;

  Relay() {
    EXPECT_TRUE(generator.OpenPort("/dev/ttyFake", 4800));
    relay.onTransmitted = [this](const std::string& burst) { echoed.push_back(burst); };
  }
};

TEST(FileRelay, CopiesTheFixThenSendsThenReplacesTheSatellites) {
  Relay t;
  t.generator.SetSatellite(3, true, 10, 20, 30);
  t.receiver.ReceiveData(
      sentence("$GPGGA,123519,4807.038,S,01131.000,W,1,08,0.9,545.4,M,46.9,M,,") +
      sentence("$GPRMC,123519,A,4807.038,S,01131.000,W,022.4,084.4,230394,003.1,W") +
      sentence("$GPGSV,1,1,02,12,40,083,46,07,17,308,41"));
  EXPECT_GT(t.relay.relay(), 0);

  const auto& g = t.generator;
  EXPECT_EQ(g.Latitude_Degree(), 48);
  EXPECT_EQ(g.Latitude_Minute(), 7);
  EXPECT_NEAR(static_cast<double>(g.Latitude_Second()), 2.28, 1e-9);
  EXPECT_EQ(g.Latitude_Direction(), TCardinalPoint::cpSouth);
  EXPECT_EQ(g.Longitude_Degree(), 11);
  EXPECT_EQ(g.Longitude_Minute(), 31);
  EXPECT_EQ(g.Longitude_Direction(), TCardinalPoint::cpWest);
  EXPECT_NEAR(static_cast<double>(g.Altitude()), 545.4, 1e-9);
  EXPECT_NEAR(static_cast<double>(g.Speed()), 22.4, 1e-9);
  EXPECT_NEAR(static_cast<double>(g.Heading()), 84.4, 1e-9);

  // One burst written, the same one echoed, still with the old satellites.
  ASSERT_EQ(t.line.writes.size(), 1u);
  ASSERT_EQ(t.echoed.size(), 1u);
  EXPECT_EQ(t.echoed[0], t.line.writes[0]);
  EXPECT_EQ(find(t.echoed[0], "$GPGGA").substr(0, 43),
            "$GPGGA,123519.000,4807.0380,S,01131.0000,W,");
  EXPECT_EQ(find(t.echoed[0], "$GPGSV").substr(0, 24), "$GPGSV,1,1,1,3,10,20,30*");

  // Now the received ones, and they go out with the next burst.
  EXPECT_EQ(activePrns(g), (std::vector<int>{7, 12}));
  const auto sats = g.GetSatellites();
  EXPECT_EQ(sats[12]->Elevation(), 40);
  EXPECT_EQ(sats[12]->Azimuth(), 83);
  EXPECT_EQ(sats[12]->SignalToNoiseRatio(), 46);
  EXPECT_EQ(sats[3]->Elevation(), 0);
}

TEST(FileRelay, NothingShownWhenThePortTookNothingButUdpStillSends) {
  test::UdpReceiver listener;
  UdpSender udp("127.0.0.1", listener.port());
  Relay t;
  t.relay.setUdp(&udp);
  t.generator.SetSatellite(3, true, 10, 20, 30);
  t.receiver.ReceiveData(sentence("$GPGSV,1,1,01,12,40,083,46"));
  t.line.accept = false;
  EXPECT_EQ(t.relay.relay(), 0);
  const auto datagram = listener.receive();
  ASSERT_TRUE(datagram.has_value());
  EXPECT_EQ(*datagram, t.generator.GetSentences());
  EXPECT_TRUE(t.echoed.empty());
  EXPECT_EQ(activePrns(t.generator), std::vector<int>{3});

  // No port at all: the same.
  t.generator.ClosePort();
  EXPECT_EQ(t.relay.relay(), 0);
  EXPECT_TRUE(listener.receive().has_value());
  EXPECT_TRUE(t.echoed.empty());
}

// A multi-constellation receiver's GLONASS, Galileo and BeiDou numbers are
// not GPS numbers: only the GPS satellites take the table's slots.
TEST(FileRelay, OnlyGpsSatellitesTakeTheTable) {
  Relay t;
  t.receiver.setModern(true);
  t.receiver.ReceiveData(sentence("$GPGSV,1,1,02,12,40,083,46,07,17,308,41,1") +
                         sentence("$GAGSV,1,1,02,12,10,010,20,05,40,100,36,7") +
                         sentence("$GBGSV,1,1,01,11,25,330,33,1"));
  ASSERT_EQ(t.receiver.Satellites().size(), 5u);
  EXPECT_GT(t.relay.relay(), 0);
  EXPECT_EQ(activePrns(t.generator), (std::vector<int>{7, 12}));
  EXPECT_EQ(t.generator.GetSatellites()[12]->Elevation(), 40);
}

// Real receivers report satellites the table cannot hold (SBAS PRNs above 32)
// and write placeholder positions while they have no fix. Such a satellite is
// left out; a fix the generator rejects is not sent at all, the generator keeps
// the last good one, and the front end hears of the first such burst once.
TEST(FileRelay, SkipsWhatTheGeneratorCannotHold) {
  Relay t;
  std::vector<std::string> skips;
  t.relay.onFirstSkipped = [&](const std::string& message, const std::string& value) {
    skips.push_back(message + " " + value);
  };
  t.receiver.ReceiveData(
      sentence("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,,") +
      sentence("$GPGSV,2,1,06,05,40,083,46,33,17,308,41,07,91,10,10,08,10,360,10") +
      sentence("$GPGSV,2,2,06,09,10,10,100,46,45,120,30"));
  EXPECT_GT(t.relay.relay(), 0);
  EXPECT_EQ(activePrns(t.generator), std::vector<int>{5});
  EXPECT_EQ(t.relay.skippedBursts(), 0u);

  struct Case {
    const char* sentence;
    const char* skip;
  };
  const Case cases[] = {
      {"$GPRMC,123520,V,36000.0000,N,01131.000,E,0,0,230394,,",
       "Latitude Degree must be between 0 and 90. Latitude_Degree 360"},
      {"$GPRMC,123521,V,4908.038,N,18960.0000,E,0,0,230394,,", ""},
      {"$GPRMC,123522,A,4807.038,N,01131.000,E,030.0,360.0,230394,,", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sentence);
    t.receiver.ReceiveData(sentence(c.sentence));
    EXPECT_EQ(t.relay.relay(), 0);
    EXPECT_EQ(t.line.writes.size(), 1u);  // nothing sent, nothing invented
    EXPECT_EQ(t.generator.Latitude_Degree(), 48);
    EXPECT_EQ(t.generator.Longitude_Degree(), 11);
    EXPECT_NEAR(static_cast<double>(t.generator.Heading()), 84.4, 1e-9);
    EXPECT_NEAR(static_cast<double>(t.generator.Speed()), 22.4, 1e-9);
  }
  EXPECT_EQ(skips, std::vector<std::string>{std::string(cases[0].skip)});
  EXPECT_EQ(t.relay.skippedBursts(), 3u);

  // The replay goes on with the next good fix; a new replay counts afresh.
  t.receiver.ReceiveData(sentence("$GPRMC,123523,A,4808.038,N,01131.000,E,022.4,084.4,230394,,"));
  EXPECT_GT(t.relay.relay(), 0);
  EXPECT_EQ(find(t.line.writes.back(), "$GPRMC").substr(20, 11), "4808.0380,N");
  t.relay.startReplay();
  EXPECT_EQ(t.relay.skippedBursts(), 0u);
  t.receiver.ReceiveData(sentence(cases[2].sentence));
  t.relay.relay();
  EXPECT_EQ(skips.size(), 2u);
  EXPECT_EQ(skips.back(), "Heading must be between 0 and 360. Heading 360");
}

// A log the generator wrote, replayed through the file receiver into another
// generator: every delivery ends with the head of the next burst, so each
// re-sent burst carries the position of the recorded burst of the same rank.
TEST(FileRelay, ReplaysALogWrittenByTheGenerator) {
  test::TempDir dir;
  auto sourceClock = std::make_shared<FixedClock>(kNow);
  TTarnNMEAGenerator source(sourceClock);
  source.SetSatellite(4, true, 45, 100, 40);
  source.SetSatellite(9, true, 12, 250, 33);
  source.SetLatitude_Degree(48);
  source.SetLongitude_Degree(11);
  std::vector<std::string> recorded;
  std::string log;
  for (int i = 0; i < 3; ++i) {
    source.MoveLatitude(7.5);
    source.MoveLongitude(-3.25);
    recorded.push_back(source.GetSentences());
    log += recorded.back() + "\r\n";  // an empty line after each, as the output log has
  }
  test::writeFile(dir / "drive.log", log);

  AllOrNothingLine line;
  TTarnNMEAGenerator target(std::make_shared<FixedClock>(kNow),
                            std::make_shared<AllOrNothingPorts>(line));
  ASSERT_TRUE(target.OpenPort("/dev/ttyFake", 4800));
  TTarnFileGPSReceiver replay;
  replay.SetDelay(0);
  replay.SetNMEALog(true);
  replay.setLogFileName((dir / "raw.log").string());
  FileRelay relay(target, replay);
  std::vector<std::string> echoed;
  relay.onTransmitted = [&](const std::string& burst) { echoed.push_back(burst); };
  // Which sentences each delivery held, from the receiver's raw log.
  std::vector<std::string> deliveries;
  std::size_t seen = 0;
  replay.OnReceive = [&](TTarnCustomGPSReceiver&) {
    const std::string raw = test::readFile(dir / "raw.log");
    std::string types;
    for (std::size_t end; (end = raw.find('\n', seen)) != std::string::npos; seen = end + 1) {
      if (!types.empty()) types += ' ';
      types += raw.substr(seen + 3, 3);
    }
    deliveries.push_back(types);
    relay.relay();
  };
  replay.SetFileName((dir / "drive.log").string());
  replay.Open();

  const std::vector<std::string> expected = {"ZDA GGA GLL VTG", "RMC GSA GSV ZDA GGA GLL VTG",
                                             "RMC GSA GSV ZDA GGA GLL VTG"};
  EXPECT_EQ(deliveries, expected);
  ASSERT_EQ(echoed.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    for (const char* type : {"$GPGGA", "$GPRMC", "$GPGLL"}) {
      EXPECT_EQ(find(echoed[i], type), find(recorded[i], type));
    }
  }
  // The satellites of the log came through, in time for the last burst.
  EXPECT_EQ(activePrns(target), (std::vector<int>{4, 9}));
  EXPECT_EQ(find(echoed[2], "$GPGSV"), find(recorded[2], "$GPGSV"));
  EXPECT_NE(find(echoed[0], "$GPGSV"), find(recorded[0], "$GPGSV"));
}

}  // namespace
}  // namespace waymock
