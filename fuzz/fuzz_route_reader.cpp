// Arbitrary bytes as the content of a route file, read as XML (GPX or KML),
// as CSV and as an NMEA log. Each read either gives a route that keeps the
// readers' promises (at least one point, positions in range, times that never
// go back) or raises waymock::IoError; anything else is a fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "motion/route.h"
#include "motion/route_reader.h"
#include "support/error.h"

namespace {

using waymock::motion::Route;
using waymock::motion::RouteFormat;

void check(const Route& route) {
  if (route.points.empty() || route.kind.empty()) std::abort();
  std::optional<waymock::motion::TrackTime> last;
  for (const auto& p : route.points) {
    if (!(p.latitude >= -90 && p.latitude <= 90 && p.longitude >= -180 && p.longitude <= 180))
      std::abort();
    if (p.time) {
      if (last && *p.time < *last) std::abort();
      last = p.time;
    }
  }
  const auto bounds = waymock::motion::routeBounds(route);
  if (bounds.south > bounds.north) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (const RouteFormat format : {RouteFormat::xml, RouteFormat::csv, RouteFormat::nmea}) {
    try {
      check(waymock::motion::parseRoute(text, format, "fuzz"));
    } catch (const waymock::IoError&) {
      // A clear refusal is a correct answer to a bad file.
    }
  }
  return 0;
}
