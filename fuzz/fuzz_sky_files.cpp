// Arbitrary bytes as the content of an almanac file (YUMA or SEM) and of a
// horizon profile. Each read either gives what the readers promise (almanacs
// with IDs 1 to 32 whose orbits clear the Earth; a profile with elevations
// from 0 to 90 all round) or raises waymock::IoError; anything else is a
// fault. What is read is then put in a sky, whose angles must be finite.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "sky/almanac_file.h"
#include "sky/horizon.h"
#include "sky/sky_model.h"
#include "support/error.h"

using namespace waymock::sky;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<Almanac> almanacs;
  HorizonProfile horizon;
  try {
    almanacs = parseAlmanac(text, "fuzz");
    for (const Almanac& a : almanacs) {
      if (a.number < 1 || a.number > 32 || !(a.eccentricity >= 0 && a.eccentricity <= 0.9))
        std::abort();
    }
  } catch (const waymock::IoError&) {
  }
  try {
    horizon = HorizonProfile::parse(text, "fuzz");
    for (double azimuth = 0; azimuth <= 360; azimuth += 7.5) {
      const double elevation = horizon.elevationAt(azimuth);
      if (!(elevation >= 0 && elevation <= 90)) std::abort();
    }
  } catch (const waymock::IoError&) {
  }
  SkyModel sky(almanacs, {5, horizon, 1, 12});
  const SkyView& view = sky.compute({48.1, 11.5, 500}, 45'374.5);
  for (const SatelliteView& v : view.satellites) {
    if (!std::isfinite(v.elevation) || !(v.azimuth >= 0 && v.azimuth < 360)) std::abort();
  }
  return 0;
}
