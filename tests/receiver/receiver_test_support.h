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
