#include "sky/dops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace waymock::sky {
namespace {

struct Seen {
  GnssSystem system;
  double elevation, azimuth;  // degrees
};

std::array<double, 3> towards(const Seen& s) {
  const double el = s.elevation * std::numbers::pi / 180;
  const double az = s.azimuth * std::numbers::pi / 180;
  return {std::cos(el) * std::sin(az), std::cos(el) * std::cos(az), std::sin(el)};
}

std::optional<Dops> accumulated(const std::vector<Seen>& satellites) {
  DopAccumulator accumulator;
  for (const Seen& s : satellites) {
    const auto u = towards(s);
    accumulator.add(s.system, u[0], u[1], u[2]);
  }
  return accumulator.dops();
}

// The textbook computation: the design matrix H with a row (-e, -n, -u, one
// clock column per system present) per satellite, Q = (H^T H)^-1 by
// Gauss-Jordan elimination; PDOP = sqrt(Q11 + Q22 + Q33).
std::array<double, 3> directDops(const std::vector<Seen>& satellites) {
  std::vector<GnssSystem> systems;
  for (const Seen& s : satellites) {
    if (std::find(systems.begin(), systems.end(), s.system) == systems.end())
      systems.push_back(s.system);
  }
  const std::size_t n = 3 + systems.size();
  std::vector<std::vector<double>> m(n, std::vector<double>(2 * n, 0));
  for (const Seen& s : satellites) {
    std::vector<double> row(n, 0);
    const auto u = towards(s);
    for (std::size_t i = 0; i < 3; ++i) row[i] = -u[i];
    row[3 + static_cast<std::size_t>(std::find(systems.begin(), systems.end(), s.system) -
                                     systems.begin())] = 1;
    for (std::size_t i = 0; i < n; ++i) {
      for (std::size_t j = 0; j < n; ++j) m[i][j] += row[i] * row[j];
    }
  }
  for (std::size_t i = 0; i < n; ++i) m[i][n + i] = 1;
  for (std::size_t c = 0; c < n; ++c) {
    std::size_t pivot = c;
    for (std::size_t r = c + 1; r < n; ++r) {
      if (std::fabs(m[r][c]) > std::fabs(m[pivot][c])) pivot = r;
    }
    std::swap(m[c], m[pivot]);
    const double p = m[c][c];
    for (double& x : m[c]) x /= p;
    for (std::size_t r = 0; r < n; ++r) {
      if (r == c) continue;
      const double f = m[r][c];
      for (std::size_t k = 0; k < 2 * n; ++k) m[r][k] -= f * m[c][k];
    }
  }
  const double e = m[0][n], no = m[1][n + 1], up = m[2][n + 2];
  return {std::sqrt(e + no + up), std::sqrt(e + no), std::sqrt(up)};
}

TEST(Dops, AgreeWithTheDirectLeastSquaresSolution) {
  constexpr auto G = GnssSystem::gps, R = GnssSystem::glonass, E = GnssSystem::galileo;
  const std::vector<Seen> geometries[] = {
      // Good: spread all round at all heights, two systems.
      {{G, 75, 30},
       {G, 40, 100},
       {G, 20, 170},
       {G, 35, 250},
       {G, 15, 320},
       {R, 55, 200},
       {R, 25, 60},
       {R, 10, 290}},
      // One satellite near the zenith, the others low.
      {{G, 88, 0}, {G, 8, 10}, {G, 9, 130}, {G, 7, 250}},
      // A street canyon running north-south: three systems, all along it.
      {{G, 70, 5},
       {G, 35, 175},
       {G, 20, 350},
       {G, 60, 190},
       {E, 45, 10},
       {E, 25, 185},
       {R, 50, 355},
       {R, 30, 170}},
  };
  for (const auto& satellites : geometries) {
    const auto dops = accumulated(satellites);
    ASSERT_TRUE(dops);
    const auto expected = directDops(satellites);
    EXPECT_NEAR(dops->pdop, expected[0], 1e-9);
    EXPECT_NEAR(dops->hdop, expected[1], 1e-9);
    EXPECT_NEAR(dops->vdop, expected[2], 1e-9);
  }
}

TEST(Dops, NoFixWithoutASatelliteForEveryUnknown) {
  const std::vector<Seen> cases[] = {
      {{GnssSystem::gps, 60, 0}, {GnssSystem::gps, 30, 120}, {GnssSystem::gps, 30, 240}},
      // Four, but two clocks to solve for.
      {{GnssSystem::gps, 60, 0},
       {GnssSystem::gps, 30, 120},
       {GnssSystem::gps, 30, 240},
       {GnssSystem::beidou, 45, 90}},
      // All on one cone around the zenith: the height and the clock are one.
      {{GnssSystem::gps, 40, 0},
       {GnssSystem::gps, 40, 90},
       {GnssSystem::gps, 40, 180},
       {GnssSystem::gps, 40, 270}},
  };
  for (const auto& satellites : cases) EXPECT_FALSE(accumulated(satellites));
}

}  // namespace
}  // namespace waymock::sky
