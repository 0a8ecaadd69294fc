#pragma once

namespace waymock {

namespace generator {
class TTarnNMEAGenerator;
}
namespace motion {
struct MotionFix;
}

// Writes a motion's fix into the generator whole: degrees, minutes and
// seconds with their hemispheres (so the fix may cross the equator and the
// 180th meridian, which the generator's own moves never do), speed in knots of
// 1852 m (the unit every receiver reads the sentences in), course as the
// heading, and altitude where the motion has one. The date and time are the
// simulation's to set.
void putMotionFix(const motion::MotionFix& fix, generator::TTarnNMEAGenerator& generator);

}  // namespace waymock
