// A horizon profile file: azimuth and elevation in degrees, a point a line.
//   # north side of the street: a wall of 40 degrees from 60 to 120
//   0 10
//   60 10
//   60 40
//   120 40
//   120 10
#include "sky/horizon.h"

#include <algorithm>
#include <optional>

#include "sky/text_file.h"

namespace waymock::sky {

namespace {

// The two fields of a line, or nothing when it has another number of them.
std::optional<std::pair<std::string_view, std::string_view>> twoFields(std::string_view line) {
  constexpr std::string_view kSeparators = " \t,";
  const std::size_t firstEnd = line.find_first_of(kSeparators);
  if (firstEnd == std::string_view::npos) return std::nullopt;
  std::string_view rest = line.substr(firstEnd);
  const std::size_t comma = rest.find(',');
  if (comma != std::string_view::npos) rest.remove_prefix(comma + 1);
  rest.remove_prefix(std::min(rest.find_first_not_of(" \t"), rest.size()));
  if (rest.empty() || rest.find_first_of(kSeparators) != std::string_view::npos)
    return std::nullopt;
  return std::pair{line.substr(0, firstEnd), rest};
}

}  // namespace

HorizonProfile HorizonProfile::parse(std::string_view text, const std::string& source) {
  const LineErrors errors(source);
  HorizonProfile profile;
  Lines lines(text);
  std::string_view line;
  while (lines.next(line)) {
    line = line.substr(0, line.find('#'));
    line = line.substr(0, line.find_last_not_of(" \t") + 1);
    if (line.empty()) continue;
    const auto fields = twoFields(line);
    const auto azimuth = fields ? fileNumber(fields->first) : std::nullopt;
    const auto elevation = fields ? fileNumber(fields->second) : std::nullopt;
    if (!azimuth || !elevation) {
      errors.fail(lines.number(), "is not an azimuth and an elevation in degrees.");
    }
    if (*azimuth < 0 || *azimuth > 360)
      errors.fail(lines.number(), "has an azimuth outside 0 to 360.");
    if (*elevation < 0 || *elevation > 90) {
      errors.fail(lines.number(), "has an elevation outside 0 to 90.");
    }
    if (!profile.points_.empty() && *azimuth < profile.points_.back().first) {
      errors.fail(lines.number(), "has a smaller azimuth than the line before it.");
    }
    profile.points_.emplace_back(*azimuth, *elevation);
  }
  if (profile.points_.empty()) errors.failFile("the file holds no azimuth and elevation.");
  return profile;
}

double HorizonProfile::elevationAt(double azimuth) const {
  if (points_.empty()) return 0;
  const auto after = std::upper_bound(points_.begin(), points_.end(), azimuth,
                                      [](double a, const auto& point) { return a < point.first; });
  // The neighbours either side, the first and last points joining around north.
  auto before = after == points_.begin() ? points_.back() : *(after - 1);
  auto next = after == points_.end() ? points_.front() : *after;
  if (after == points_.begin()) before.first -= 360;
  if (after == points_.end()) next.first += 360;
  const double span = next.first - before.first;
  if (span <= 0) return before.second;  // both at 360: the last point's
  return before.second + (next.second - before.second) * (azimuth - before.first) / span;
}

HorizonProfile readHorizonFile(const std::string& path) {
  return HorizonProfile::parse(readSkyFile(path, "horizon"), path);
}

}  // namespace waymock::sky
