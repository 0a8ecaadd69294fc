#pragma once

// A horizon profile: the lowest elevation at which the sky is open, by
// azimuth, for a street, a harbour wall or a valley.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace waymock::sky {

class HorizonProfile {
 public:
  // An open horizon: nothing hidden.
  HorizonProfile() = default;

  // Points of `text`, a line each: azimuth (degrees clockwise from true north,
  // 0 to 360) and elevation (0 to 90), separated by blanks or a comma, the
  // azimuths not decreasing; "#" begins a comment. Two points at one azimuth
  // make a step, as at the edge of a building. Failures are IoErrors naming
  // `source` and the line.
  static HorizonProfile parse(std::string_view text, const std::string& source);

  bool open() const { return points_.empty(); }
  // Degrees, by linear interpolation between the points, around past 360.
  double elevationAt(double azimuth) const;

 private:
  std::vector<std::pair<double, double>> points_;  // azimuth, elevation
};

// The profile in the file at `path`; IoError for a file that cannot be read or
// is no profile.
HorizonProfile readHorizonFile(const std::string& path);

}  // namespace waymock::sky
