#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "receiver/custom_gps_receiver.h"

namespace waymock::receiver::test {

// "$GPGGA,..." -> "$GPGGA,...*HH" with the right checksum.
inline std::string withChecksum(std::string_view body) {
  unsigned sum = 0;
  for (std::size_t i = 1; i < body.size(); ++i) sum ^= static_cast<unsigned char>(body[i]);
  char hex[4];
  std::snprintf(hex, sizeof hex, "*%02X", sum);
  return std::string(body) + hex;
}

// A complete line as it arrives: checksummed and ended by CR LF.
inline std::string line(std::string_view body) {
  return withChecksum(body) + "\r\n";
}

inline std::string num(long double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.6Lg", v);
  return buf;
}

// A log of three bursts from a GPS + GLONASS + Galileo + BeiDou receiver in the
// NMEA 4.11 layout, written by hand, one fix per second (12:35:19 to 12:35:21
// on 23 March 2024, the latitude one second of arc further north each time).
// Each burst, in the order such receivers send it:
//  GNRMC  1 time, 2 status, 3-6 position, 7 knots, 8 course, 9 date,
//         10-11 variation, 12 mode, 13 navigational status (4.10 on)
//  GNVTG  1 course T, 3 course M, 5 knots, 7 km/h, 9 mode
//  GNGGA  1 time, 2-5 position, 6 quality, 7 satellites used, 8 HDOP,
//         9 altitude, 11 geoid separation
//  GNGSA  one per system: 1 mode, 2 fix type, 3-14 satellites used, 15 PDOP,
//         16 HDOP, 17 VDOP, 18 system ID (1 GPS, 2 GLONASS, 3 Galileo, 4 BeiDou)
//  xxGSV  per system, GP, GL, GA and GB: 1 messages, 2 number, 3 in view, then
//         groups of number, elevation, azimuth, SNR, and last the signal ID
//         (GPS L1 C/A and L5 are 1 and 7, GLONASS L1 1, Galileo E1 7, BeiDou B1I 1);
//         GLONASS numbers 65-96, Galileo 1-36 and BeiDou 1-63 as 4.11 has them
//  GNGLL  1-4 position, 5 time, 6 status, 7 mode
//  GNZDA  1 time, 2 day, 3 month, 4 year, 5-6 local zone
inline std::string nmea411Log() {
  std::string log;
  const char* const latitudes[] = {"4807.0380,N", "4807.0547,N", "4807.0713,N"};
  for (int i = 0; i < 3; ++i) {
    const std::string time = "1235" + std::to_string(19 + i) + ".00";
    const std::string lat = latitudes[i];
    for (const std::string& body : {
             "$GNRMC," + time + ",A," + lat + ",01131.0000,E,22.4,84.4,230324,3.1,W,A,V",
             std::string("$GNVTG,84.4,T,87.5,M,22.4,N,41.5,K,A"),
             "$GNGGA," + time + "," + lat + ",01131.0000,E,1,09,0.9,545.4,M,46.9,M,,",
             std::string("$GNGSA,A,3,03,07,12,28,,,,,,,,,1.5,0.9,1.2,1"),
             std::string("$GNGSA,A,3,65,72,,,,,,,,,,,1.5,0.9,1.2,2"),
             std::string("$GNGSA,A,3,05,,,,,,,,,,,,1.5,0.9,1.2,3"),
             std::string("$GPGSV,2,1,05,03,45,120,40,07,20,300,35,12,60,045,44,19,15,210,09,1"),
             std::string("$GPGSV,2,2,05,28,05,080,30,1"),
             std::string("$GPGSV,1,1,02,03,45,120,38,07,20,300,33,7"),
             std::string("$GLGSV,1,1,02,65,30,150,38,72,55,260,41,1"),
             std::string("$GAGSV,1,1,01,05,40,100,36,7"),
             std::string("$GBGSV,1,1,01,11,25,330,33,1"),
             "$GNGLL," + lat + ",01131.0000,E," + time + ",A,A",
             "$GNZDA," + time + ",23,03,2024,00,00",
         }) {
      log += line(body);
    }
  }
  return log;
}

// Assigns every handler and writes one line per event, in firing order.
inline void recordEvents(TTarnCustomGPSReceiver& r, std::vector<std::string>& log) {
  auto* out = &log;
  r.OnReceive = [out](TTarnCustomGPSReceiver&) { out->push_back("Receive"); };
  r.OnLatitudeChange = [out](TTarnCustomGPSReceiver&, int d, int m, long double s,
                             TCardinalPoint p) {
    out->push_back("Latitude " + std::to_string(d) + " " + std::to_string(m) + " " + num(s) + " " +
                   cardinalPointName(p));
  };
  r.OnLongitudeChange = [out](TTarnCustomGPSReceiver&, int d, int m, long double s,
                              TCardinalPoint p) {
    out->push_back("Longitude " + std::to_string(d) + " " + std::to_string(m) + " " + num(s) + " " +
                   cardinalPointName(p));
  };
  r.OnAltitudeChange = [out](TTarnCustomGPSReceiver&, long double v) {
    out->push_back("Altitude " + num(v));
  };
  r.OnSpeedChange = [out](TTarnCustomGPSReceiver&, long double v) {
    out->push_back("Speed " + num(v));
  };
  r.OnHeadingChange = [out](TTarnCustomGPSReceiver&, long double v) {
    out->push_back("Heading " + num(v));
  };
  r.OnPosition2DChange = [out](TTarnCustomGPSReceiver&, long double la, long double lo) {
    out->push_back("Position2D " + num(la) + " " + num(lo));
  };
  r.OnPosition3DChange = [out](TTarnCustomGPSReceiver&, long double la, long double lo,
                               long double al) {
    out->push_back("Position3D " + num(la) + " " + num(lo) + " " + num(al));
  };
  r.OnSatelliteReceive = [out](TTarnCustomGPSReceiver&, const TSatellite& s) {
    out->push_back("Satellite " + std::to_string(s.PseudoRandomCode) + " " +
                   std::to_string(s.Elevation) + " " + std::to_string(s.Azimuth) + " " +
                   std::to_string(s.SignalToNoiseRatio));
  };
  r.OnSatellitesReceive = [out](TTarnCustomGPSReceiver&) { out->push_back("Satellites"); };
  r.OnArrival = [out](TTarnCustomGPSReceiver&, const std::string& w, long double radius) {
    out->push_back("Arrival " + w + " " + num(radius));
  };
}

}  // namespace waymock::receiver::test
