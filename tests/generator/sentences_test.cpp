#include <gtest/gtest.h>

#include <charconv>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "generator/nmea_generator.h"
#include "platform/clock.h"
#include "worked_example.h"

namespace waymock::generator {
namespace {

using C = TNMEACommand;

TDateTime at(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
  return encodeDateTime({y, mo, d, h, mi, s, ms});
}

// The reference burst, at 12:35:19 UTC on 23 March 2024.
class WorkedExample : public ::testing::Test {
 protected:
  WorkedExample()
      : clock(std::make_shared<FixedClock>(at(2024, 3, 23, 12, 35, 19))), gen(clock, nullptr) {
    setWorkedExample(gen);
  }

  // Text between the n-th comma (1-based field number) and the next separator.
  static std::string field(const std::string& sentence, int n) {
    std::size_t pos = 0;
    for (int i = 0; i < n; ++i) pos = sentence.find(',', pos) + 1;
    return sentence.substr(pos, sentence.find_first_of(",*", pos) - pos);
  }

  std::shared_ptr<FixedClock> clock;
  TTarnNMEAGenerator gen;
};

const char* const kReferenceBurst[] = {
    "$GPZDA,123519.000,23032024,00,00*5D\r\n",
    "$GPGGA,123519.000,4807.0380,N,01131.0000,E,1,4,0.9,545.4,M,46.9,M,,*65\r\n",
    "$GPGLL,4807.0380,N,01131.0000,E,123519.000,A,A*56\r\n",
    "$GPVTG,84.4,T,87.5,M,22.4,N,41.5045395590143,K,A*21\r\n",
    "$GPRMC,123519.000,A,4807.0380,N,01131.0000,E,22.4,84.4,230324,3.1,W,A*12\r\n",
    "$GPGSA,A,3,13,01,16,,24,,,,,,,,1.5,0.9,1.2*3E\r\n",
    "$GPGSV,2,1,5,3,45,120,40,7,20,300,35,12,60,45,44,19,15,210,9*48\r\n",
    "$GPGSV,2,2,5,28,5,80,30*78\r\n",
};

TEST_F(WorkedExample, EachBuilderMatchesTheReferenceLines) {
  EXPECT_EQ(gen.GetGPZDA(), kReferenceBurst[0]);
  EXPECT_EQ(gen.GetGPGGA(), kReferenceBurst[1]);
  EXPECT_EQ(gen.GetGPGLL(), kReferenceBurst[2]);
  EXPECT_EQ(gen.GetGPVTG(), kReferenceBurst[3]);
  EXPECT_EQ(gen.GetGPRMC(), kReferenceBurst[4]);
  EXPECT_EQ(gen.GetGPGSA(), kReferenceBurst[5]);
  EXPECT_EQ(gen.GetGPGSV(), std::string(kReferenceBurst[6]) + kReferenceBurst[7]);
}

TEST_F(WorkedExample, BurstIsTheLinesInFixedOrder) {
  std::string expected;
  for (const char* line : kReferenceBurst) expected += line;
  EXPECT_EQ(gen.GetSentences(), expected);
  std::string appended = "prefix";
  gen.appendSentences(appended);
  EXPECT_EQ(appended, "prefix" + expected);
}

TEST_F(WorkedExample, SameTextUnderADecimalCommaLocale) {
  test::LocaleGuard locale(test::kDecimalCommaLocale);
  ASSERT_TRUE(locale.ok()) << "locale " << test::kDecimalCommaLocale << " is not installed";
  std::string expected;
  for (const char* line : kReferenceBurst) expected += line;
  EXPECT_EQ(gen.GetSentences(), expected);
}

TEST_F(WorkedExample, BurstFollowsCommands) {
  gen.SetCommands({});
  EXPECT_EQ(gen.GetSentences(), "");
  gen.SetCommands({C::GPGLL, C::GPZDA});
  EXPECT_EQ(gen.GetSentences(), std::string(kReferenceBurst[0]) + kReferenceBurst[2]);
  gen.SetCommands({C::GPGSV});
  gen.ClearSatellites();
  EXPECT_EQ(gen.GetSentences(), "");
}

TEST_F(WorkedExample, CoordinateText) {
  struct Case {
    int deg, min;
    long double sec;
    TCardinalPoint dir;
    const char* lat;
    const char* lon;
  };
  const Case cases[] = {
      {5, 3, 0, TCardinalPoint::cpSouth, "0503.0000,S", "00503.0000,E"},
      {5, 3, 0, TCardinalPoint::cpWest, "0503.0000,S", "00503.0000,W"},
      {0, 0, 30, TCardinalPoint::cpNorth, "0000.5000,N", "00000.5000,E"},
      {0, 0, 0.006L, TCardinalPoint::cpNorth, "0000.0001,N", "00000.0001,E"},
      // 0.009 s is 1.5 ten-thousandths of a minute: halves go to the even neighbour.
      {1, 1, 0.009L, TCardinalPoint::cpNorth, "0101.0002,N", "00101.0002,E"},
      // Ties whose even neighbour lies below: 0.5 and 2.5 ten-thousandths.
      {0, 0, 0.003L, TCardinalPoint::cpNorth, "0000.0000,N", "00000.0000,E"},
      {0, 0, 0.015L, TCardinalPoint::cpNorth, "0000.0002,N", "00000.0002,E"},
      // A fraction that rounds to a whole minute carries into minutes and degrees.
      {10, 59, 59.99999L, TCardinalPoint::cpNorth, "1100.0000,N", "01100.0000,E"},
      {10, 20, 59.997L, TCardinalPoint::cpNorth, "1021.0000,N", "01021.0000,E"},
      {10, 20, 59.9969L, TCardinalPoint::cpNorth, "1020.9999,N", "01020.9999,E"},
      {90, 0, 0, TCardinalPoint::cpNorth, "9000.0000,N", "09000.0000,E"},
  };
  for (const Case& c : cases) {
    gen.SetLatitude_Degree(c.deg);
    gen.SetLatitude_Minute(c.min);
    gen.SetLatitude_Second(c.sec);
    gen.SetLongitude_Degree(c.deg);
    gen.SetLongitude_Minute(c.min);
    gen.SetLongitude_Second(c.sec);
    // Any hemisphere value other than north / east writes "S" / "W".
    gen.SetLatitude_Direction(c.dir == TCardinalPoint::cpNorth ? c.dir : TCardinalPoint::cpSouth);
    gen.SetLongitude_Direction(c.dir == TCardinalPoint::cpWest ? c.dir : TCardinalPoint::cpEast);
    const std::string gll = gen.GetGPGLL();
    EXPECT_EQ(gll.substr(7, 11), c.lat) << gll;
    EXPECT_EQ(gll.substr(19, 12), c.lon) << gll;
  }
  gen.SetLatitude_Direction(TCardinalPoint::cpWest);
  gen.SetLongitude_Direction(TCardinalPoint::cpNorth);
  EXPECT_EQ(gen.GetGPGLL().substr(17, 1), "S");
  EXPECT_EQ(gen.GetGPGLL().substr(30, 1), "W");
}

TEST_F(WorkedExample, NumberFields) {
  gen.SetHDOP(1.0);
  EXPECT_EQ(field(gen.GetGPGGA(), 8), "1");
  gen.SetHDOP(0.125);
  EXPECT_EQ(field(gen.GetGPGGA(), 8), "0.13");
  gen.SetHDOP(2.0000001);
  EXPECT_EQ(field(gen.GetGPGGA(), 8), "2");
  gen.SetAltitude(-12.345);
  EXPECT_EQ(field(gen.GetGPGGA(), 9), "-12.34");

  gen.SetSpeed(10);
  EXPECT_EQ(field(gen.GetGPRMC(), 7), "10");
  EXPECT_EQ(field(gen.GetGPVTG(), 5), "10");
  EXPECT_EQ(field(gen.GetGPVTG(), 7), "18.5288123031314");

  gen.SetHeading(84.456);
  EXPECT_EQ(field(gen.GetGPRMC(), 8), "84.46");
  EXPECT_EQ(field(gen.GetGPVTG(), 1), "84.456");

  gen.SetMagnetic_Variation_Direction(TCardinalPoint::cpNorth);
  EXPECT_NE(gen.GetGPRMC().find(",230324,3.1,,A*"), std::string::npos) << gen.GetGPRMC();
  gen.SetMagnetic_Variation_Direction(TCardinalPoint::cpSouth);
  EXPECT_NE(gen.GetGPRMC().find(",230324,3.1,,A*"), std::string::npos);
  gen.SetMagnetic_Variation_Direction(TCardinalPoint::cpEast);
  EXPECT_NE(gen.GetGPRMC().find(",230324,3.1,E,A*"), std::string::npos);
}

// VTG's km/h, the knots over 0.5397 to 15 significant digits, against the C
// library's text of the extended quotient (kmh_reference), for 400
// two-decimal speeds up to 20,000 knots: the quotient must not pass through a
// double, which misses the last digit of about one in 75.
TEST_F(WorkedExample, VtgKilometresPerHourAreTheExtendedQuotientRounded) {
  std::vector<std::string> speeds = {"8490.38", "5187.30"};
  std::mt19937 random(28);
  std::uniform_int_distribution<int> hundredths(0, 2'000'000);
  while (speeds.size() < 400) {
    const int h = hundredths(random);
    speeds.push_back(std::to_string(h / 100) + (h % 100 < 10 ? ".0" : ".") +
                     std::to_string(h % 100));
  }
  std::string input;
  for (const std::string& knots : speeds) input += knots + "\n";
  const test::ProcessResult reference = test::runProcess({WAYMOCK_KMH_REFERENCE}, input);
  ASSERT_EQ(reference.exitCode, 0) << reference.err;
  std::istringstream expected(reference.out);
  for (const std::string& knots : speeds) {
    long double value = 0;
    std::from_chars(knots.data(), knots.data() + knots.size(), value);
    gen.SetSpeed(value);
    std::string want;
    std::getline(expected, want);
    EXPECT_EQ(field(gen.GetGPVTG(), 7), want) << knots;
  }
}

TEST_F(WorkedExample, EveryLineCarriesItsOwnChecksum) {
  const std::string burst = gen.GetSentences();
  std::size_t start = 0;
  int lines = 0;
  while (start < burst.size()) {
    const std::size_t end = burst.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    const std::string line = burst.substr(start, end - start);
    const std::size_t star = line.find('*');
    ASSERT_EQ(star + 3, line.size()) << line;
    EXPECT_EQ(line.substr(star + 1), TTarnNMEAGenerator::CheckSum(line.substr(0, star)));
    start = end + 2;
    ++lines;
  }
  EXPECT_EQ(lines, 8);
  EXPECT_EQ(TTarnNMEAGenerator::CheckSum("$abc"), "60");
  EXPECT_EQ(TTarnNMEAGenerator::CheckSum("$"), "00");
}

TEST(GeneratorTime, MidnightRollOverRoundsIntoTheNextDay) {
  auto clock = std::make_shared<FixedClock>(at(2023, 12, 31, 23, 59, 59, 999) + 0.6 / 86'400'000);
  TTarnNMEAGenerator gen(clock, nullptr);
  gen.SetUseSystemDateTime(false);
  gen.SetUTCDateTime(at(2023, 12, 31, 23, 59, 59, 999) + 0.6 / 86'400'000);  // 23:59:59.9996
  EXPECT_EQ(gen.GetGPZDA().substr(0, 33), "$GPZDA,000000.000,01012024,00,00*");
  const std::string rmc = gen.GetGPRMC();
  EXPECT_EQ(rmc.substr(7, 10), "000000.000");
  EXPECT_NE(rmc.find(",010124,"), std::string::npos) << rmc;
}

TEST(GeneratorTime, MidnightRollOverFromTheClock) {
  auto clock = std::make_shared<FixedClock>(at(2023, 12, 31, 23, 59, 59, 999) + 0.6 / 86'400'000);
  TTarnNMEAGenerator gen(clock, nullptr);
  ASSERT_TRUE(gen.UseSystemDateTime());
  gen.SetCommands({C::GPZDA, C::GPRMC, C::GPGGA, C::GPGLL});
  const std::string burst = gen.GetSentences();
  EXPECT_EQ(burst.rfind("$GPZDA,000000.000,01012024,00,00*", 0), 0u) << burst;
  EXPECT_NE(burst.find("$GPGGA,000000.000,"), std::string::npos);
  EXPECT_NE(burst.find(",000000.000,A,A*"), std::string::npos);
  EXPECT_NE(burst.find("$GPRMC,000000.000,A,"), std::string::npos);
  EXPECT_NE(burst.find(",010124,"), std::string::npos);
  // Just before the half millisecond the time stays in the old day.
  clock->set(at(2023, 12, 31, 23, 59, 59, 999) + 0.4 / 86'400'000);
  EXPECT_EQ(gen.GetGPZDA().substr(7, 19), "235959.999,31122023");
}

// Moves on by one millisecond each time it is read.
class TickingClock final : public Clock {
 public:
  explicit TickingClock(TDateTime start) : next_(start) {}
  TDateTime utcNow() const override {
    ++reads;
    const TDateTime now = next_;
    next_ += 1.0 / 86'400'000;
    return now;
  }
  TDateTime localNow() const override { return utcNow(); }
  mutable int reads = 0;

 private:
  mutable TDateTime next_;
};

TEST(GeneratorTime, EachSentenceReadsTheClockOnceSoDateAndTimeAgree) {
  auto clock = std::make_shared<TickingClock>(at(2023, 12, 31, 23, 59, 59, 998));
  TTarnNMEAGenerator gen(clock, nullptr);  // construction reads 23:59:59.998
  const std::string rmc = gen.GetGPRMC();
  EXPECT_EQ(rmc.substr(7, 10), "235959.999");
  EXPECT_NE(rmc.find(",311223,"), std::string::npos) << rmc;
  const std::string zda = gen.GetGPZDA();
  EXPECT_EQ(zda.substr(7, 19), "000000.000,01012024");
  // A burst reads the clock anew for each timed sentence.
  const int before = clock->reads;
  gen.GetSentences();
  EXPECT_EQ(clock->reads - before, 4);  // GPZDA, GPGGA, GPGLL, GPRMC
}

TEST(GeneratorTime, FixedTimeIgnoresTheClockAndSystemTimeFollowsIt) {
  auto clock = std::make_shared<FixedClock>(at(2024, 1, 1, 12, 0, 0));
  TTarnNMEAGenerator gen(clock, nullptr);
  EXPECT_DOUBLE_EQ(gen.UTCDateTime(), at(2024, 1, 1, 12, 0, 0));  // taken at construction
  gen.SetUseSystemDateTime(false);
  clock->set(at(2025, 6, 30, 8, 1, 2, 345));
  EXPECT_EQ(gen.GetGPZDA().substr(7, 19), "120000.000,01012024");
  EXPECT_DOUBLE_EQ(gen.GetUTCDateTime(), at(2024, 1, 1, 12, 0, 0));
  gen.SetUseSystemDateTime(true);
  EXPECT_EQ(gen.GetGPZDA().substr(7, 19), "080102.345,30062025");
  EXPECT_DOUBLE_EQ(gen.UTCDateTime(), at(2024, 1, 1, 12, 0, 0));
}

TEST(GeneratorGsv, PagesOfFourSatellites) {
  struct Case {
    int active;
    int sentences;
    const char* firstStart;
  };
  const Case cases[] = {
      {0, 0, ""},
      {1, 1, "$GPGSV,1,1,1,1,"},
      {4, 1, "$GPGSV,1,1,4,1,"},
      {5, 2, "$GPGSV,2,1,5,1,"},
      {8, 2, "$GPGSV,2,1,8,1,"},
      {32, 8, "$GPGSV,8,1,32,1,"},
  };
  for (const Case& c : cases) {
    TTarnNMEAGenerator gen(std::make_shared<FixedClock>(45'000.0), nullptr);
    for (int prn = 1; prn <= c.active; ++prn) {
      gen.SetSatellite(static_cast<std::uint16_t>(prn), true, 10,
                       static_cast<std::uint16_t>(prn * 11), 20);
    }
    const std::string gsv = gen.GetGPGSV();
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < gsv.size();) {
      const std::size_t end = gsv.find("\r\n", start);
      ASSERT_NE(end, std::string::npos);
      lines.push_back(gsv.substr(start, end - start));
      start = end + 2;
    }
    ASSERT_EQ(static_cast<int>(lines.size()), c.sentences) << c.active;
    if (c.active == 0) continue;
    EXPECT_EQ(lines[0].rfind(c.firstStart, 0), 0u) << lines[0];
    // Each page holds four satellites, the last one only the rest, never padded.
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::string body = lines[i].substr(0, lines[i].find('*'));
      const auto commas = std::count(body.begin(), body.end(), ',');
      const int onPage = i + 1 < lines.size() ? 4 : c.active - 4 * static_cast<int>(i);
      EXPECT_EQ(commas, 3 + 4 * onPage - 1 + 1) << body;
    }
  }
  TTarnNMEAGenerator gen(std::make_shared<FixedClock>(45'000.0), nullptr);
  gen.SetSatellite(5, true, 0, 45, 7);
  gen.SetSatellite(3, false, 10, 10, 10);
  EXPECT_EQ(gen.GetGPGSV(), "$GPGSV,1,1,1,5,0,45,7*" +
                                TTarnNMEAGenerator::CheckSum("$GPGSV,1,1,1,5,0,45,7") + "\r\n");
}

}  // namespace
}  // namespace waymock::generator
