#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "receiver/custom_gps_receiver.h"
#include "receiver/file_gps_receiver.h"
#include "receiver/receiver_test_support.h"
#include "receiver/replay_pacing.h"

namespace waymock::receiver {
namespace {

using test::line;

std::string talker(const TSatellite& s) {
  return std::string(s.Talker.data(), 2);
}

// Who talks in which mode; what modern mode takes is filtered by the GP
// sentence of the same type.
TEST(ModernMode, TalkersAccepted) {
  struct Case {
    const char* body;
    bool classic, modern;
  } const cases[] = {
      {"$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W", true, true},
      {"$GNRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W,A,V", false, true},
      {"$GNGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", false, true},
      {"$GNGLL,4916.45,N,12311.12,W,225444,A,A", false, true},
      {"$GNVTG,054.7,T,034.4,M,005.5,N,010.2,K,A", false, true},
      {"$GNZDA,201530.00,04,07,2002,00,00", false, true},
      {"$GNGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1,1", false, true},
      {"$GPGSV,1,1,01,03,45,120,40,1", true, true},
      {"$GLGSV,1,1,01,65,30,150,38,1", false, true},
      {"$GAGSV,1,1,01,05,40,100,36,7", false, true},
      {"$GBGSV,1,1,01,11,25,330,33,1", false, true},
      // GN stands for the combined fix, a system's own talker for its sky.
      {"$GNGSV,1,1,01,03,45,120,40,1", false, false},
      {"$GLRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W", false, false},
      {"$GAGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1,3", false, false},
      {"$GQGSV,1,1,01,03,45,120,40,1", false, false},
      {"$GNMSS,55,27,318.0,100,1", false, false},
      {"$GNBWC,220516,5130.02,N,00046.34,W,213.8,T,218.0,M,0004.6,N,EGLM", false, false},
      {"$gnrmc,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W", false, false},
  };
  for (const Case& c : cases) {
    for (const bool modern : {false, true}) {
      SCOPED_TRACE(std::string(c.body) + (modern ? " modern" : " classic"));
      TTarnCustomGPSReceiver r;
      r.setModern(modern);
      r.ReceiveData(line(c.body));
      EXPECT_EQ(r.sentenceCounts().accepted, (modern ? c.modern : c.classic) ? 1u : 0u);
    }
  }
  TTarnCustomGPSReceiver r;
  r.setModern(true);
  r.SetCommands({TNMEACommand::GPRMC});
  r.ReceiveData(line("$GNGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,") +
                line("$GLGSV,1,1,01,65,30,150,38,1"));
  EXPECT_EQ(r.sentenceCounts().accepted, 0u);
}

// The fix sentences of the hand-written 4.11 burst read as their GP forms
// do: the added fields (RMC's navigational status, GSA's system ID) change
// nothing, and the ZDA's three date fields give the date.
TEST(ModernMode, ReadsTheFixOfA411Burst) {
  TTarnCustomGPSReceiver r;
  r.setModern(true);
  std::vector<std::string> events;
  test::recordEvents(r, events);
  const std::string log = test::nmea411Log();
  r.ReceiveData(log.substr(0, log.find("$GNRMC", 1)));
  const TGPSPosition& p = r.Position();
  EXPECT_EQ(p.Latitude_Minute, 7);
  EXPECT_NEAR(static_cast<double>(p.Latitude_Second), 2.28, 1e-9);
  EXPECT_EQ(p.Longitude_Minute, 31);
  EXPECT_EQ(p.Longitude_Direction, TCardinalPoint::cpEast);
  EXPECT_EQ(p.Speed, 22.4L);
  EXPECT_EQ(p.Heading, 84.4L);
  EXPECT_EQ(p.Magnetic_Heading, 87.5L);
  EXPECT_EQ(p.Altitude, 545.4L);
  EXPECT_EQ(p.Satellites_Used, 9);
  EXPECT_EQ(p.Fix_Quality, 1);
  EXPECT_EQ(p.Fix_Type, 3);
  EXPECT_EQ(p.PDOP, 1.5L);
  EXPECT_EQ(p.VDOP, 1.2L);
  EXPECT_EQ(p.Time_Second, 19);
  EXPECT_EQ(p.Date_Day, 23);
  EXPECT_EQ(p.Date_Month, 3);
  EXPECT_EQ(p.Date_Year, 2024);
  // The ZDA's date alone, and a classic receiver that reads only its time.
  for (const bool modern : {true, false}) {
    TTarnCustomGPSReceiver zda;
    zda.setModern(modern);
    zda.ReceiveData(line("$GNZDA,201530.00,04,07,2002,00,00") +
                    line("$GPZDA,201531.00,05,08,2003,00,00"));
    EXPECT_EQ(zda.Position().Date_Day, modern ? 5 : 1);
    EXPECT_EQ(zda.Position().Date_Month, modern ? 8 : 1);
    EXPECT_EQ(zda.Position().Date_Year, modern ? 2003 : 0);
    EXPECT_EQ(zda.Position().Time_Second, 31);
  }
}

// Each system's GSV cycle adds to one list; the next burst's cycles replace
// it. The signal ID after the last group is no satellite, and the same system
// on a second signal (GPS L5) is a cycle of its own.
TEST(ModernMode, SatellitesOfEveryConstellationTogether) {
  TTarnCustomGPSReceiver r;
  r.setModern(true);
  std::vector<std::string> events;
  test::recordEvents(r, events);
  const std::string log = test::nmea411Log();
  const std::string burst = log.substr(0, log.find("$GNRMC", 1));
  for (int round = 0; round < 2; ++round) {
    events.clear();
    r.ReceiveData(burst);
    struct Expected {
      const char* talker;
      int number, elevation, azimuth, snr;
    } const expected[] = {
        {"GP", 3, 45, 120, 40}, {"GP", 7, 20, 300, 35},  {"GP", 12, 60, 45, 44},
        {"GP", 19, 15, 210, 9}, {"GP", 28, 5, 80, 30},   {"GP", 3, 45, 120, 38},
        {"GP", 7, 20, 300, 33}, {"GL", 65, 30, 150, 38}, {"GL", 72, 55, 260, 41},
        {"GA", 5, 40, 100, 36}, {"GB", 11, 25, 330, 33},
    };
    ASSERT_EQ(r.Satellites().size(), std::size(expected)) << round;
    for (std::size_t i = 0; i < std::size(expected); ++i) {
      const TSatellite& s = r.Satellites()[i];
      const Expected& e = expected[i];
      EXPECT_EQ(talker(s), e.talker) << i;
      EXPECT_EQ(s.PseudoRandomCode, e.number) << i;
      EXPECT_EQ(s.Elevation, e.elevation) << i;
      EXPECT_EQ(s.Azimuth, e.azimuth) << i;
      EXPECT_EQ(s.SignalToNoiseRatio, e.snr) << i;
    }
    // One end of cycle per system and signal.
    EXPECT_EQ(std::count(events.begin(), events.end(), "Satellites"), 5) << round;
  }
  // A receiver that sends GPS alone starts a new list with every cycle, as
  // the classic mode does.
  r.ReceiveData(line("$GPGSV,1,1,01,09,10,20,30,1"));
  r.ReceiveData(line("$GPGSV,1,1,01,10,10,20,30,1"));
  ASSERT_EQ(r.Satellites().size(), 1u);
  EXPECT_EQ(r.Satellites()[0].PseudoRandomCode, 10);
}

TEST(ModernMode, ClassicGsvStaysAsItWas) {
  TTarnCustomGPSReceiver r;
  r.ReceiveData(line("$GPGSV,1,1,01,09,10,20,30,1") + line("$GPGSV,1,1,01,03,45,120,38,7"));
  ASSERT_EQ(r.Satellites().size(), 1u);
  EXPECT_EQ(r.Satellites()[0].PseudoRandomCode, 3);
  EXPECT_EQ(talker(r.Satellites()[0]), "GP");
}

// The replay groups the bursts by the RMC of a talker it reads: the 4.11 log
// gives two fixes in modern mode and nothing without it.
TEST(ModernMode, ReplayGroupsByTheRmcOfAnyTalkerItReads) {
  waymock::test::TempDir dir;
  const auto file = dir / "drive.nmea";
  waymock::test::writeFile(file, test::nmea411Log());
  for (const bool modern : {false, true}) {
    TTarnFileGPSReceiver r;
    r.setModern(modern);
    r.SetDelay(0);
    r.SetFileName(file.string());
    std::vector<int> seconds;
    r.OnReceive = [&](TTarnCustomGPSReceiver& sender) {
      seconds.push_back(sender.Position().Time_Second);
    };
    r.Open();
    EXPECT_EQ(r.deliveredBursts(), modern ? 3u : 0u);
    EXPECT_EQ(r.sentenceCounts().accepted, modern ? 28u : 0u);
    // The empty delivery before the first RMC, then the first two bursts.
    EXPECT_EQ(seconds, modern ? std::vector<int>({0, 19, 20}) : std::vector<int>{});
  }
}

TEST(ModernMode, PacedReplayReadsTheTimesOfGnrmc) {
  const auto rmc = [](const char* time) {
    return line(std::string("$GNRMC,") + time + ",A,4807.0380,N,01131.0000,E,0,0,230324,,,A,V");
  };
  const auto modern = pacedWait(1, true);
  EXPECT_EQ(modern(rmc("123519.00") + line("$GNGGA,123519.00"), rmc("123521.50")),
            std::chrono::milliseconds(2500));
  EXPECT_EQ(modern(line("$GNGGA,123519.00"), rmc("123521.50")), std::chrono::nanoseconds(0));
  // Without modern mode the GN lines begin no burst and carry no time.
  EXPECT_EQ(pacedWait(1)(rmc("123519.00"), rmc("123521.50")), std::chrono::nanoseconds(0));
}

}  // namespace
}  // namespace waymock::receiver
