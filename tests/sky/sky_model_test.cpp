#include "sky/sky_model.h"

#include <gtest/gtest.h>
#include <GeographicLib/Geocentric.hpp>
#include <GeographicLib/LocalCartesian.hpp>

#include <cmath>
#include <map>
#include <numbers>

#include "sky/gps_time.h"
#include "sky/nominal_constellations.h"

namespace waymock::sky {
namespace {

constexpr double kToDegrees = 180 / std::numbers::pi;
const TDateTime kNoon = encodeDateTime({2024, 3, 23, 12, 0, 0, 0});
const GeodeticPosition kMunich{48.1173, 11.5167, 545};

TEST(SkyModel, ElevationsAndAzimuthsAgreeWithGeographicLibsLocalFrame) {
  const std::vector<Almanac> almanacs = nominalAlmanacs(GnssSystems::all());
  const GeodeticPosition places[] = {
      kMunich, {-33.86, 151.21, 40}, {78.22, 15.65, 0}, {0.5, -90, 3000}};
  for (const GeodeticPosition& place : places) {
    SkyModel sky(almanacs, {});
    std::map<std::pair<GnssSystem, int>, SatelliteView> seen;
    for (const SatelliteView& v : sky.compute(place, kNoon).satellites)
      seen[{v.system, v.number}] = v;
    const GeographicLib::LocalCartesian local(place.latitude, place.longitude, place.height);
    for (const Almanac& a : almanacs) {
      const Ecef s = Orbit(a).at(gpsSecondsFromUtc(kNoon));
      double lat = 0, lon = 0, h = 0, east = 0, north = 0, up = 0;
      GeographicLib::Geocentric::WGS84().Reverse(s.x, s.y, s.z, lat, lon, h);
      local.Forward(lat, lon, h, east, north, up);
      const double elevation = std::atan2(up, std::hypot(east, north)) * kToDegrees;
      const double azimuth = std::fmod(std::atan2(east, north) * kToDegrees + 360, 360);
      const auto found = seen.find({a.system, a.number});
      ASSERT_EQ(found != seen.end(), elevation >= 0) << place.latitude << " " << a.number;
      if (found == seen.end()) continue;
      EXPECT_NEAR(found->second.elevation, elevation, 0.01);
      EXPECT_NEAR(std::remainder(found->second.azimuth - azimuth, 360), 0, 0.01);
    }
  }
}

// A day in steps of a minute: every GPS satellite of the nominal constellation
// rises and sets, 6 to 12 are above 5 degrees all the time, and the
// geostationary BeiDou satellites stay where they are.
TEST(SkyModel, ADayOfTheNominalConstellationAtOnePlace) {
  SkyModel sky(nominalAlmanacs(GnssSystems::all()), {});
  std::map<int, int> risings, settings;
  std::map<int, bool> wasUp;
  std::optional<double> geostationary;
  for (int minute = 0; minute <= 1440; ++minute) {
    std::map<int, bool> up;
    int above = 0;
    for (const SatelliteView& v : sky.compute(kMunich, kNoon + minute / 1440.0).satellites) {
      if (v.system == GnssSystem::gps && v.elevation >= 5) {
        up[v.number] = true;
        ++above;
      }
      if (v.system == GnssSystem::beidou && v.number == 1) {
        if (!geostationary) geostationary = v.elevation;
        EXPECT_NEAR(v.elevation, *geostationary, 1e-6);
      }
    }
    EXPECT_GE(above, 6);
    EXPECT_LE(above, 12);
    for (int prn = 1; minute > 0 && prn <= 24; ++prn) {
      risings[prn] += up[prn] && !wasUp[prn];
      settings[prn] += !up[prn] && wasUp[prn];
    }
    wasUp = up;
  }
  for (int prn = 1; prn <= 24; ++prn) {
    EXPECT_GE(risings[prn], 1) << prn;
    EXPECT_GE(settings[prn], 1) << prn;
  }
}

TEST(SkyModel, BlocksBelowTheMaskAndBehindTheHorizonAndUsesTheStrongest) {
  // A street running north to south between walls of 50 degrees.
  const HorizonProfile street = HorizonProfile::parse(
      "0 0\n30 0\n30 50\n150 50\n150 0\n210 0\n210 50\n330 50\n330 0\n", "street");
  const struct {
    double mask;
    const HorizonProfile* horizon;
    unsigned cap;
  } cases[] = {{5, nullptr, 12}, {20, nullptr, 3}, {0, &street, 12}};
  for (const auto& c : cases) {
    SkyOptions options{c.mask, c.horizon ? *c.horizon : HorizonProfile(), {}, c.cap};
    SkyModel sky(nominalAlmanacs(GnssSystems::all()), options);
    const SkyView& view = sky.compute(kMunich, kNoon);
    std::map<GnssSystem, std::vector<int>> used, heard;
    for (const SatelliteView& v : view.satellites) {
      const double wall = c.horizon ? c.horizon->elevationAt(v.azimuth) : 0;
      EXPECT_EQ(v.snr.has_value(), v.elevation >= c.mask && v.elevation >= wall);
      if (v.snr) heard[v.system].push_back(*v.snr);
      if (v.used) used[v.system].push_back(*v.snr);
    }
    for (auto& [system, signals] : heard) {
      std::sort(signals.rbegin(), signals.rend());
      signals.resize(std::min<std::size_t>(signals.size(), c.cap));
      std::sort(used[system].rbegin(), used[system].rend());
      EXPECT_EQ(used[system], signals);
    }
  }
  // Walls of 70 degrees all round leave no fix.
  SkyModel walled(nominalAlmanacs(GnssSystems::all()),
                  {5, HorizonProfile::parse("0 70", "well"), {}, 12});
  EXPECT_FALSE(walled.compute(kMunich, kNoon).dops);
}

TEST(SignalToNoise, FollowsTheElevationWithReproducibleNoise) {
  EXPECT_EQ(signalToNoise(0, {}, GnssSystem::gps, 1, kNoon), 25);
  EXPECT_EQ(signalToNoise(30, {}, GnssSystem::gps, 1, kNoon), 38);  // 37.5
  EXPECT_EQ(signalToNoise(90, {}, GnssSystem::gps, 1, kNoon), 50);
  std::map<int, int> spread;
  for (int i = 0; i < 600; ++i) {
    const TDateTime t = kNoon + i / 86'400.0;
    const int snr = signalToNoise(30, 7, GnssSystem::galileo, 5, t);
    EXPECT_EQ(snr, signalToNoise(30, 7, GnssSystem::galileo, 5, t));
    ++spread[snr];
  }
  EXPECT_EQ(spread.begin()->first, 35);  // 37.5 - 3, rounded
  EXPECT_EQ(spread.rbegin()->first, 40);
}

}  // namespace
}  // namespace waymock::sky
