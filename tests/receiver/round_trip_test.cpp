// Fixes written by the generator come back through the receiver unchanged,
// within what the sentences carry (four decimals of a minute, two of a number).
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>

#include "generator/nmea_generator.h"
#include "platform/clock.h"
#include "receiver/custom_gps_receiver.h"

namespace waymock {
namespace {

using generator::TTarnNMEAGenerator;
using receiver::TTarnCustomGPSReceiver;

// Minutes travel with four decimals: 0.0001 minute is 0.006 seconds.
constexpr double kHalfStep = 0.003 + 1e-9;

TEST(RoundTrip, RandomFixesFromTheGenerator) {
  std::mt19937 rng(20261207);
  auto uniform = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  // Values with two decimals survive the generator's rounding exactly.
  auto hundredths = [&](int lo, int hi) { return uniform(lo * 100, hi * 100 - 1) / 100.0L; };

  auto clock = std::make_shared<FixedClock>(encodeDateTime({2026, 12, 7, 8, 15, 3, 250}));
  TTarnNMEAGenerator gen(clock);
  TTarnCustomGPSReceiver rcv;
  std::string burst;
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE(round);
    gen.SetLatitude_Degree(uniform(0, 89));
    gen.SetLatitude_Minute(uniform(0, 59));
    gen.SetLatitude_Second(uniform(0, 59989) / 1000.0L);
    gen.SetLatitude_Direction(uniform(0, 1) ? TCardinalPoint::cpNorth : TCardinalPoint::cpSouth);
    gen.SetLongitude_Degree(uniform(0, 179));
    gen.SetLongitude_Minute(uniform(0, 59));
    gen.SetLongitude_Second(uniform(0, 59989) / 1000.0L);
    gen.SetLongitude_Direction(uniform(0, 1) ? TCardinalPoint::cpEast : TCardinalPoint::cpWest);
    gen.SetAltitude(hundredths(0, 9000));
    gen.SetSpeed(hundredths(0, 300));
    gen.SetHeading(hundredths(0, 360));
    gen.ClearSatellites();
    const int count = uniform(0, 12);
    for (int i = 0; i < count; ++i) {
      gen.SetSatellite(static_cast<std::uint16_t>(uniform(1, 32)), true,
                       static_cast<std::uint16_t>(uniform(0, 90)),
                       static_cast<std::uint16_t>(uniform(0, 359)),
                       static_cast<std::uint16_t>(uniform(0, 99)));
    }

    burst.clear();
    gen.appendSentences(burst);
    // Cut the burst at a random place, as a serial port would.
    const auto cut = static_cast<std::size_t>(uniform(0, static_cast<int>(burst.size())));
    rcv.ReceiveData(std::string_view(burst).substr(0, cut));
    rcv.ReceiveData(std::string_view(burst).substr(cut));

    const auto& p = rcv.Position();
    EXPECT_EQ(p.Latitude_Degree, gen.Latitude_Degree());
    EXPECT_EQ(p.Latitude_Minute, gen.Latitude_Minute());
    EXPECT_NEAR(static_cast<double>(p.Latitude_Second), static_cast<double>(gen.Latitude_Second()),
                kHalfStep);
    EXPECT_EQ(p.Latitude_Direction, gen.Latitude_Direction());
    EXPECT_EQ(p.Longitude_Degree, gen.Longitude_Degree());
    EXPECT_EQ(p.Longitude_Minute, gen.Longitude_Minute());
    EXPECT_NEAR(static_cast<double>(p.Longitude_Second),
                static_cast<double>(gen.Longitude_Second()), kHalfStep);
    EXPECT_EQ(p.Longitude_Direction, gen.Longitude_Direction());
    EXPECT_NEAR(static_cast<double>(p.Altitude), static_cast<double>(gen.Altitude()), 1e-9);
    EXPECT_NEAR(static_cast<double>(p.Speed), static_cast<double>(gen.Speed()), 1e-9);
    EXPECT_NEAR(static_cast<double>(p.Heading), static_cast<double>(gen.Heading()), 1e-9);
    EXPECT_EQ(p.Date_Year, 2026);
    EXPECT_EQ(p.Time_Second, 3);

    const auto active = gen.GetActiveSatellites();
    if (active.empty()) continue;  // no GSV sentence: the last list stays
    ASSERT_EQ(p.Satellites.size(), active.size());
    for (std::size_t i = 0; i < active.size(); ++i) {
      EXPECT_EQ(p.Satellites[i].PseudoRandomCode, active[i]->PseudoRandomCode());
      EXPECT_EQ(p.Satellites[i].Elevation, active[i]->Elevation());
      EXPECT_EQ(p.Satellites[i].Azimuth, active[i]->Azimuth());
      EXPECT_EQ(p.Satellites[i].SignalToNoiseRatio, active[i]->SignalToNoiseRatio());
    }
  }
}

}  // namespace
}  // namespace waymock
