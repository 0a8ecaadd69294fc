#include "engine/file_relay.h"

#include <cstdint>
#include <limits>

#include "generator/nmea_generator.h"
#include "receiver/custom_gps_receiver.h"

namespace waymock {

namespace {

// The generator takes 16-bit satellite values. Anything outside that range
// becomes the largest one, which every check rejects with its own message,
// instead of wrapping round to a value that might pass.
std::uint16_t satelliteValue(int value) {
  constexpr int kMax = std::numeric_limits<std::uint16_t>::max();
  return static_cast<std::uint16_t>(value < 0 || value > kMax ? kMax : value);
}

}  // namespace

FileRelay::FileRelay(generator::TTarnNMEAGenerator& generator,
                     const receiver::TTarnCustomGPSReceiver& receiver, UdpSender* udp)
    : Transmitter(udp), generator_(generator), receiver_(receiver) {}

int FileRelay::relay() {
  copyFix();
  // The UDP copy goes out whether or not the port took the burst.
  const int written = transmit(generator_);
  if (written == 0) return 0;
  // These go out with the next burst, not the one just sent.
  copySatellites();
  return written;
}

void FileRelay::copyFix() {
  const auto& p = receiver_.Position();
  generator_.SetLatitude_Degree(p.Latitude_Degree);
  generator_.SetLatitude_Minute(p.Latitude_Minute);
  generator_.SetLatitude_Second(p.Latitude_Second);
  generator_.SetLatitude_Direction(p.Latitude_Direction);
  generator_.SetLongitude_Degree(p.Longitude_Degree);
  generator_.SetLongitude_Minute(p.Longitude_Minute);
  generator_.SetLongitude_Second(p.Longitude_Second);
  generator_.SetLongitude_Direction(p.Longitude_Direction);
  // Both sides hold metres and knots.
  generator_.SetAltitude(p.Altitude);
  generator_.SetSpeed(p.Speed);
  generator_.SetHeading(p.Heading);
}

void FileRelay::copySatellites() {
  generator_.ClearSatellites();
  for (const receiver::TSatellite& s : receiver_.Satellites()) {
    generator_.SetSatellite(satelliteValue(s.PseudoRandomCode), true, satelliteValue(s.Elevation),
                            satelliteValue(s.Azimuth), satelliteValue(s.SignalToNoiseRatio));
  }
}

}  // namespace waymock
