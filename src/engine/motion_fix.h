#pragma once

namespace waymock {

namespace generator {
class TTarnNMEAGenerator;
}
namespace motion {
struct GeoPoint;
struct MotionFix;
}  // namespace motion

// Writes a motion's fix into the generator whole: degrees, minutes and
// seconds with their hemispheres (so the fix may cross the equator and the
// 180th meridian, which the generator's own moves never do), speed in knots of
// 1852 m (the unit every receiver reads the sentences in), course as the
// heading, which the magnetic course follows from then on, and altitude where
// the motion has one. The date and time are the simulation's to set.
void putMotionFix(const motion::MotionFix& fix, generator::TTarnNMEAGenerator& generator);

// One coordinate in decimal degrees of the map convention (north and east
// positive), written with its hemisphere.
void putLatitude(double latitude, generator::TTarnNMEAGenerator& generator);
void putLongitude(double longitude, generator::TTarnNMEAGenerator& generator);

// The generator's position in the map convention (it holds west positive).
motion::GeoPoint mapPositionOf(const generator::TTarnNMEAGenerator& generator);

}  // namespace waymock
