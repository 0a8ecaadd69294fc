#pragma once

// The built-in almanacs: each system's nominal constellation, so that the sky
// works offline and with no file.

#include <vector>

#include "sky/gnss_system.h"
#include "sky/orbit.h"

namespace waymock::sky {

// The nominal satellites of `systems`:
// - GPS: the baseline 24-slot constellation of the GPS SPS Performance
//   Standard (slots A1 to F4 as PRN 1 to 24);
// - GLONASS: Walker 24/3/1 at 64.8 degrees, radius 25,510 km (slots 1 to 24);
// - Galileo: Walker 24/3/1 at 56 degrees, 29,600 km (PRN 1 to 24);
// - BeiDou: Walker 24/3/1 at 55 degrees, 27,906 km (PRN 19 to 37, 41 to 45),
//   geostationary PRN 1 to 3 at 140, 80 and 110.5 degrees east, and
//   inclined geosynchronous PRN 38 to 40 at 55 degrees, crossing the equator
//   at 118 degrees east.
std::vector<Almanac> nominalAlmanacs(GnssSystems systems);

}  // namespace waymock::sky
