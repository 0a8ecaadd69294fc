#include "sky/dops.h"

#include <cmath>

namespace waymock::sky {

void DopAccumulator::add(GnssSystem system, double east, double north, double up) {
  const std::array<double, 3> u = {east, north, up};
  const auto s = static_cast<std::size_t>(system);
  for (std::size_t i = 0; i < 3; ++i) {
    for (std::size_t j = 0; j < 3; ++j) normal_[i][j] += u[i] * u[j];
    sums_[s][i] += u[i];
  }
  ++counts_[s];
  ++total_;
}

std::optional<Dops> DopAccumulator::dops() const {
  // The position block after each system's clock is eliminated:
  // N_pp - sum over systems of s s^T / n.
  auto m = normal_;
  unsigned unknowns = 3;
  for (std::size_t s = 0; s < counts_.size(); ++s) {
    if (counts_[s] == 0) continue;
    ++unknowns;
    for (std::size_t i = 0; i < 3; ++i) {
      for (std::size_t j = 0; j < 3; ++j) m[i][j] -= sums_[s][i] * sums_[s][j] / counts_[s];
    }
  }
  if (total_ < 4 || total_ < unknowns) return std::nullopt;
  // Its inverse's diagonal, by cofactors.
  const double c00 = m[1][1] * m[2][2] - m[1][2] * m[2][1];
  const double c11 = m[0][0] * m[2][2] - m[0][2] * m[2][0];
  const double c22 = m[0][0] * m[1][1] - m[0][1] * m[1][0];
  const double det = m[0][0] * c00 - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                     m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  // Relative to the matrix's size, so that a nearly singular geometry (all
  // satellites on one cone) counts as none.
  const double scale = (m[0][0] + m[1][1] + m[2][2]) / 3;
  if (!(det > 1e-9 * scale * scale * scale)) return std::nullopt;
  const double east = c00 / det;
  const double north = c11 / det;
  const double up = c22 / det;
  return Dops{std::sqrt(east + north + up), std::sqrt(east + north), std::sqrt(up)};
}

}  // namespace waymock::sky
