#pragma once

// Dilution of precision from the geometry of the satellites a fix uses.

#include <array>
#include <optional>

#include "sky/gnss_system.h"

namespace waymock::sky {

struct Dops {
  double pdop = 0;
  double hdop = 0;
  double vdop = 0;
};

// Least squares for the position and one receiver clock per system used: the
// design matrix has a row (-east, -north, -up, the system's clock) per
// satellite, and the DOPs come from the position block of its inverse normal
// matrix. The clocks are eliminated system by system (the normal matrix's
// clock block is diagonal), which leaves a 3 x 3 matrix to invert.
class DopAccumulator {
 public:
  // A satellite the fix uses, by the unit vector towards it.
  void add(GnssSystem system, double east, double north, double up);
  // Nothing when there is no fix: fewer than 4 satellites, fewer than the
  // unknowns (3 and a clock per system), or a geometry that fixes nothing.
  std::optional<Dops> dops() const;
  unsigned count() const { return total_; }

 private:
  std::array<std::array<double, 3>, 3> normal_{};
  std::array<std::array<double, 3>, 4> sums_{};
  std::array<unsigned, 4> counts_{};
  unsigned total_ = 0;
};

}  // namespace waymock::sky
