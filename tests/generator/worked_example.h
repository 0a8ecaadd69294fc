#pragma once

#include "generator/nmea_generator.h"

namespace waymock::generator {

// The fix of the reference burst: 48° 7' 2.28" N, 11° 31' 0" E, five active
// satellites (the time, 12:35:19 UTC on 23 March 2024, comes from the clock).
inline void setWorkedExample(TTarnNMEAGenerator& gen) {
  gen.SetLatitude_Degree(48);
  gen.SetLatitude_Minute(7);
  gen.SetLatitude_Second(2.28);
  gen.SetLatitude_Direction(TCardinalPoint::cpNorth);
  gen.SetLongitude_Degree(11);
  gen.SetLongitude_Minute(31);
  gen.SetLongitude_Second(0);
  gen.SetLongitude_Direction(TCardinalPoint::cpEast);
  gen.SetAltitude(545.4);
  gen.SetGeo_Height(46.9);
  gen.SetHDOP(0.9);
  gen.SetPDOP(1.5);
  gen.SetVDOP(1.2);
  gen.SetSpeed(22.4);
  gen.SetHeading(84.4);
  gen.SetMagnetic_Heading(87.5);
  gen.SetMagnetic_Variation(3.1);
  gen.SetMagnetic_Variation_Direction(TCardinalPoint::cpWest);
  gen.SetSatellite(3, true, 45, 120, 40);
  gen.SetSatellite(7, true, 20, 300, 35);
  gen.SetSatellite(12, true, 60, 45, 44);
  gen.SetSatellite(19, true, 15, 210, 9);
  gen.SetSatellite(28, true, 5, 80, 30);
}

}  // namespace waymock::generator
