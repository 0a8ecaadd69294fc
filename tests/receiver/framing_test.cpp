#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "platform/clock.h"
#include "receiver/custom_gps_receiver.h"
#include "receiver/receiver_test_support.h"

namespace waymock::receiver {
namespace {

using test::line;
using test::withChecksum;

const std::string kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";
const std::string kRmc = "$GPRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,191194,020.3,E,A";

// Counts parsed sentences through the time they set: every test sentence
// carries a distinct time of day.
struct Counting {
  TTarnCustomGPSReceiver r;
  std::vector<std::string> events;
  Counting() {
    r.setLogFileName("/nonexistent-folder/NMEA.log");
    test::recordEvents(r, events);
  }
};

std::string zda(int second) {
  char body[64];
  std::snprintf(body, sizeof body, "$GPZDA,1200%02d,01022024,00,00", second);
  return line(body);
}

TEST(Framing, SentenceCutAcrossBlocksWaitsForTheRest) {
  // Cut at every position of the second sentence, including between CR and LF.
  const std::string first = zda(1);
  const std::string second = zda(2);
  for (std::size_t cut = 0; cut <= second.size(); ++cut) {
    SCOPED_TRACE(cut);
    TTarnCustomGPSReceiver r;
    r.ReceiveData(first + second.substr(0, cut));
    EXPECT_EQ(r.Position().Time_Second, cut == second.size() ? 2 : 1);
    r.ReceiveData(second.substr(cut));
    EXPECT_EQ(r.Position().Time_Second, 2);
    EXPECT_EQ(r.pendingSize(), 0u);
  }
}

TEST(Framing, ByteByByteGivesTheSameRecords) {
  const std::string text = line(kGga) + "noise\r\n" + line(kRmc) + zda(7);
  TTarnCustomGPSReceiver whole, bytes;
  whole.ReceiveData(text);
  for (char c : text) bytes.ReceiveData(std::string_view(&c, 1));
  EXPECT_EQ(bytes.Position().Latitude_Degree, 49);
  EXPECT_EQ(bytes.Position().Time_Second, 7);
  EXPECT_EQ(bytes.Position().Date_Year, 2024);
  EXPECT_EQ(bytes.Position().Altitude, whole.Position().Altitude);
  EXPECT_EQ(bytes.Position().Longitude_Second, whole.Position().Longitude_Second);
}

TEST(Framing, NoiseAndLineEnds) {
  struct Case {
    const char* name;
    std::string text;
    int parsedSecond;  // 0: nothing parsed
  } cases[] = {
      {"line without $ before a sentence", "garbage line\r\n" + zda(3), 3},
      {"text before $ on the same line", "xx" + zda(3), 3},
      {"lone LF does not end a sentence", withChecksum("$GPZDA,120003,01022024,00,00") + "\n", 0},
      {"lone CR does not end a sentence", withChecksum("$GPZDA,120003,01022024,00,00") + "\r", 0},
      {"CR CR LF ends a sentence", withChecksum("$GPZDA,120007,01022024,00,00") + "\r\r\n", 7},
      {"LF CR LF ends a sentence", withChecksum("$GPZDA,120008,01022024,00,00") + "\n\r\n", 8},
      {"no $ at all", "hello world\r\n", 0},
      // The second "$" stays inside the first sentence, whose checksum then fails.
      {"second $ inside a sentence", "$GPZDA,1" + zda(4), 0},
      {"two sentences, the last one wins", zda(5) + zda(6), 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Counting t;
    t.r.ReceiveData(c.text);
    EXPECT_EQ(t.r.Position().Time_Second, c.parsedSecond);
    EXPECT_EQ(t.events.back(), "Receive");
    EXPECT_EQ(std::count(t.events.begin(), t.events.end(), "Receive"), 1);
  }
}

TEST(Framing, OnReceiveFiresOncePerCallAfterAllSentences) {
  Counting t;
  t.r.ReceiveData("");
  t.r.ReceiveData(line(kGga) + line(kRmc));
  const std::vector<std::string> expected = {
      "Receive",
      "Position2D 48.1173 -11.5167",
      "Position3D 48.1173 -11.5167 545.4",
      "Latitude 48 7 2.28 cpNorth",
      "Longitude 11 31 0 cpEast",
      "Altitude 545.4",
      "Position2D 49.2742 123.185",
      "Position3D 49.2742 123.185 545.4",
      "Latitude 49 16 27 cpNorth",
      "Longitude 123 11 7.2 cpWest",
      "Speed 0.926441",
      "Heading 54.7",
      "Receive",
  };
  EXPECT_EQ(t.events, expected);
}

TEST(Acceptance, ChecksumAndIdentifier) {
  const std::string good = withChecksum("$GPZDA,120009,01022024,00,00");
  const std::string lower = "$GPZDA,120009,01022024,08,00*4d";
  struct Case {
    const char* name;
    std::string sentence;
    bool force;
    bool parsed;
    bool checksumValid;
  } cases[] = {
      {"valid", good, true, true, true},
      {"lower-case hex digits", lower, true, true, true},
      {"trailing space", good + " ", true, false, false},
      {"no asterisk", "$GPZDA,120009,01022024,00,00", true, false, false},
      {"wrong checksum", "$GPZDA,120009,01022024,00,00*00", true, false, false},
      {"wrong checksum, check off", "$GPZDA,120009,01022024,00,00*00", false, true, false},
      {"no asterisk, check off", "$GPZDA,120009,01022024,00,00", false, true, false},
      {"GN talker", withChecksum("$GNZDA,120009,01022024,00,00"), true, false, true},
      {"lower-case identifier", withChecksum("$gpzda,120009,01022024,00,00"), true, false, true},
      {"identifier runs on", withChecksum("$GPZDAX,120009,01022024,00,00"), true, true, true},
      {"unknown sentence", withChecksum("$GPXTE,120009,01022024,00,00"), true, false, true},
      {"too short", withChecksum("$GPZ"), true, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TTarnCustomGPSReceiver r;
    r.SetForceCheckSum(c.force);
    r.ReceiveData("noise\r\n" + c.sentence + "\r\n");
    EXPECT_EQ(r.Position().Time_Second, c.parsed ? 9 : 0);
    // What a front end tells the user: sentences read, with a valid checksum, accepted.
    EXPECT_EQ(r.sentenceCounts().framed, 1u);
    EXPECT_EQ(r.sentenceCounts().checksumValid, c.checksumValid ? 1u : 0u);
    EXPECT_EQ(r.sentenceCounts().accepted, c.parsed ? 1u : 0u);
  }
  // GPGGAX is a GGA: it reaches the GGA parser.
  TTarnCustomGPSReceiver r;
  r.ReceiveData(line("$GPGGAX,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"));
  EXPECT_EQ(r.Position().Altitude, 545.4L);
}

TEST(Acceptance, CommandsFilter) {
  TTarnCustomGPSReceiver r;
  EXPECT_EQ(r.Commands(), TNMEACommands::all());
  TNMEACommands commands = TNMEACommands::all();
  commands.erase(TNMEACommand::GPGGA);
  r.SetCommands(commands);
  r.ReceiveData(line(kGga) + zda(11));
  EXPECT_EQ(r.Position().Altitude, 0);
  EXPECT_EQ(r.Position().Time_Second, 11);
  r.SetCommands({TNMEACommand::GPGGA});
  r.ReceiveData(line(kGga) + zda(12));
  EXPECT_EQ(r.Position().Altitude, 545.4L);
  EXPECT_EQ(r.Position().Time_Second, 19);  // the GGA's time, not the ZDA's
}

TEST(RawLog, AcceptedSentencesOnlyWithDateAndTime) {
  waymock::test::TempDir dir;
  auto clock = std::make_shared<FixedClock>(encodeDateTime({2026, 12, 7, 8, 15, 3, 0}));
  TTarnCustomGPSReceiver r(clock);
  r.setLogFileName((dir / "NMEA.log").string());
  r.ReceiveData(zda(1));  // logging is off by default
  EXPECT_FALSE(std::filesystem::exists(dir / "NMEA.log"));

  r.SetNMEALog(true);
  TNMEACommands commands = TNMEACommands::all();
  commands.erase(TNMEACommand::GPRMC);
  r.SetCommands(commands);
  r.ReceiveData(zda(2) + line(kRmc) + "$GPZDA,bad*00\r\n" + withChecksum("$GNGGA,1") + "\r\n");
  r.SetLogDateTime(true);
  r.ReceiveData(line(kGga));
  const std::string expected = withChecksum("$GPZDA,120002,01022024,00,00") + "\n" +
                               "2026-12-07 08:15:03 " + withChecksum(kGga) + "\n";
  EXPECT_EQ(waymock::test::readFile(dir / "NMEA.log"), expected);
}

TEST(RawLog, WriteFailureIsIgnored) {
  waymock::test::TempDir dir;
  TTarnCustomGPSReceiver r;
  r.SetNMEALog(true);
  r.setLogFileName((dir / "missing" / "NMEA.log").string());
  r.ReceiveData(zda(4));
  EXPECT_EQ(r.Position().Time_Second, 4);
}

TEST(RawLog, DefaultsBesideTheProgram) {
  TTarnCustomGPSReceiver r;
  const std::string& name = r.logFileName();
  ASSERT_GE(name.size(), 9u);
  EXPECT_EQ(name.substr(name.size() - 9), "/NMEA.log");
}

TEST(Pending, TextWithoutLineEndIsBounded) {
  TTarnCustomGPSReceiver r;
  std::string junk = "$GPGGA,";
  junk.append(1 << 20, 'x');
  r.ReceiveData(junk);
  EXPECT_LE(r.pendingSize(), TTarnCustomGPSReceiver::kMaxPending);
  for (int i = 0; i < 64; ++i) r.ReceiveData(std::string(64 * 1024, 'y'));
  EXPECT_LE(r.pendingSize(), TTarnCustomGPSReceiver::kMaxPending);
  r.ReceiveData("\r\n" + zda(8));
  EXPECT_EQ(r.Position().Time_Second, 8);
  EXPECT_EQ(r.pendingSize(), 0u);

  // Many "$" in small blocks: the tail from the last one is kept.
  for (int i = 0; i < 2000; ++i) r.ReceiveData("$GPGGA,1,2,3,4,5,6,7,8,9,10,11");
  EXPECT_LE(r.pendingSize(), TTarnCustomGPSReceiver::kMaxPending);
  r.ReceiveData("\r\n" + zda(9));
  EXPECT_EQ(r.Position().Time_Second, 9);
}

TEST(Pending, SentenceJustUnderTheCapStillCompletes) {
  TTarnCustomGPSReceiver r;
  r.SetForceCheckSum(false);
  std::string longZda = "$GPZDA,120005,01022024" + std::string(60000, ',');
  r.ReceiveData(longZda.substr(0, 30000));
  r.ReceiveData(longZda.substr(30000));
  r.ReceiveData("\r\n");
  EXPECT_EQ(r.Position().Time_Second, 5);
}

TEST(Events, LatitudeAndAltitudeChangeInOrder) {
  Counting t;
  t.r.ReceiveData(line(kGga));
  t.events.clear();
  t.r.ReceiveData(line("$GPGGA,123520,4807.040,N,01131.000,E,1,08,0.9,546.0,M,46.9,M,,"));
  const std::vector<std::string> expected = {
      "Position2D 48.1173 -11.5167", "Position3D 48.1173 -11.5167 546", "Latitude 48 7 2.4 cpNorth",
      "Altitude 546", "Receive"};
  EXPECT_EQ(t.events, expected);
  // The same sentence again changes nothing.
  t.events.clear();
  t.r.ReceiveData(line("$GPGGA,123520,4807.040,N,01131.000,E,1,08,0.9,546.0,M,46.9,M,,"));
  EXPECT_EQ(t.events, std::vector<std::string>{"Receive"});
}

TEST(Events, HandlerErrorSkipsTheRestOfThatSentenceOnly) {
  Counting t;
  t.r.OnPosition3DChange = [](TTarnCustomGPSReceiver&, long double, long double, long double) {
    throw std::runtime_error("handler failed");
  };
  t.r.ReceiveData(line(kGga) + line(kRmc));
  const std::vector<std::string> expected = {"Position2D 48.1173 -11.5167",
                                             "Position2D 49.2742 123.185", "Receive"};
  EXPECT_EQ(t.events, expected);
  EXPECT_EQ(t.r.Position().Latitude_Degree, 49);  // both sentences were parsed
}

TEST(Events, OnReceiveErrorReachesTheCaller) {
  TTarnCustomGPSReceiver r;
  r.OnReceive = [](TTarnCustomGPSReceiver&) { throw std::runtime_error("stop"); };
  EXPECT_THROW(r.ReceiveData(zda(1)), std::runtime_error);
  EXPECT_EQ(r.Position().Time_Second, 1);
  r.OnReceive = nullptr;
  r.ReceiveData(zda(2));
  EXPECT_EQ(r.Position().Time_Second, 2);
}

TEST(Records, Defaults) {
  TTarnCustomGPSReceiver r;
  const TGPSPosition& p = r.Position();
  EXPECT_EQ(r.Latitude_Degree(), 0);
  EXPECT_EQ(r.Latitude_Direction(), TCardinalPoint::cpNorth);
  EXPECT_EQ(r.Longitude_Direction(), TCardinalPoint::cpWest);
  EXPECT_EQ(p.Magnetic_Variation_Direction, TCardinalPoint::cpWest);
  EXPECT_EQ(p.Date_Day, 1);
  EXPECT_EQ(p.Date_Month, 1);
  EXPECT_EQ(p.Date_Year, 0);
  EXPECT_EQ(p.Fix_Quality, 0);
  EXPECT_EQ(p.Selection_Mode, 1);
  EXPECT_EQ(p.Fix_Type, 1);
  EXPECT_EQ(r.Navigation().Distance, -1.0L);
  EXPECT_TRUE(r.Satellites().empty());
  EXPECT_TRUE(r.ForceCheckSum());
  EXPECT_FALSE(r.NMEALog());
  EXPECT_FALSE(r.LogDateTime());
}

TEST(Records, SignedDegrees) {
  EXPECT_EQ(signedDegrees(10, 30, 0, TCardinalPoint::cpSouth), -10.5L);
  EXPECT_EQ(signedDegrees(10, 30, 0, TCardinalPoint::cpEast), -10.5L);
  EXPECT_EQ(signedDegrees(10, 30, 0, TCardinalPoint::cpWest), 10.5L);
  EXPECT_EQ(signedDegrees(10, 30, 0, TCardinalPoint::cpNorth), 10.5L);
}

}  // namespace
}  // namespace waymock::receiver
