// Arbitrary bytes, cut into arbitrary blocks, through ReceiveData with every
// handler assigned. The first bytes choose the receiver's settings; then each
// block is one length byte followed by that many bytes of text.
//
// Besides crashes it checks, after every block and in every handler, that no
// decoded value is infinite or not a number, and that the memory the receiver
// keeps between blocks stays under a fixed bound.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

#include "receiver/custom_gps_receiver.h"

namespace {

using waymock::TCardinalPoint;
using waymock::receiver::TNMEACommands;
using waymock::receiver::TSatellite;
using waymock::receiver::TTarnCustomGPSReceiver;

using waymock::receiver::SatelliteList;

// Blocks are at most 255 bytes, so no sentence is longer than the pending
// bound plus one block; everything kept is a few such sentences at most.
constexpr std::size_t kMaxRetained = 1u << 20;

long double finite(long double v) {
  if (!std::isfinite(v)) std::abort();
  return v;
}

void checkInvariants(const TTarnCustomGPSReceiver& r) {
  const auto& p = r.Position();
  const auto& n = r.Navigation();
  const auto& s = r.Status();
  for (const long double v : {p.Latitude_Raw,
                              p.Longitude_Raw,
                              p.Latitude_Second,
                              p.Longitude_Second,
                              p.Altitude,
                              p.Heading,
                              p.Speed,
                              p.Speed_KMH,
                              p.Magnetic_Variation,
                              p.Magnetic_Heading,
                              p.PDOP,
                              p.HDOP,
                              p.VDOP,
                              p.Geo_Height,
                              n.Distance,
                              n.Bearing_True,
                              n.Bearing_Magnetic,
                              n.Closing_Velocity,
                              n.Cross_Track_Error,
                              s.Signal_Strength,
                              s.Signal_To_Noise_Ratio,
                              s.Beacon_Frequency,
                              s.Beacon_Bit_Rate}) {
    finite(v);
  }
  if (r.Satellites().size() > SatelliteList::kMaxSize) std::abort();
  if (r.pendingSize() > TTarnCustomGPSReceiver::kMaxPending) std::abort();
  if (r.retainedBytes() > kMaxRetained) std::abort();
}

// Reads everything a handler may read, so a dangling reference shows.
long double touch(const TTarnCustomGPSReceiver& r) {
  long double sum = r.Altitude() + r.Speed_KMH() + r.Latitude_Second() + r.Navigation().Distance +
                    r.Status().Beacon_Bit_Rate +
                    static_cast<long double>(r.Navigation().Origin_Waypoint.size());
  for (const TSatellite& s : r.Satellites()) sum += s.SignalToNoiseRatio;
  return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const std::uint8_t flags = data[0];
  const std::uint8_t throwAt = data[1];
  const std::uint8_t commands = data[2];
  data += 3;
  size -= 3;

  TTarnCustomGPSReceiver r;
  r.SetForceCheckSum((flags & 1) != 0);
  r.SetCommands((flags & 2) ? TNMEACommands::fromBits(commands * 9u) : TNMEACommands::all());
  r.setLogFileName("/dev/null");
  r.SetNMEALog((flags & 4) != 0);
  r.SetLogDateTime((flags & 8) != 0);

  // Handlers count their calls; one of them throws on call number throwAt
  // when asked, to drive the error paths.
  unsigned calls = 0;
  volatile long double sink = 0;
  const bool throwing = (flags & 16) != 0;
  auto step = [&] {
    sink = sink + touch(r);
    if (throwing && ++calls % 256 == throwAt) throw std::runtime_error("handler");
  };
  r.OnLatitudeChange = [&](TTarnCustomGPSReceiver&, int d, int m, long double s, TCardinalPoint p) {
    sink = sink + d + m + finite(s) + static_cast<int>(p);
    step();
  };
  r.OnLongitudeChange = r.OnLatitudeChange;
  r.OnAltitudeChange = [&](TTarnCustomGPSReceiver&, long double v) {
    sink = sink + finite(v);
    step();
  };
  r.OnSpeedChange = r.OnAltitudeChange;
  r.OnHeadingChange = r.OnAltitudeChange;
  r.OnPosition2DChange = [&](TTarnCustomGPSReceiver&, long double a, long double b) {
    sink = sink + finite(a) + finite(b);
    step();
  };
  r.OnPosition3DChange = [&](TTarnCustomGPSReceiver&, long double a, long double b, long double c) {
    sink = sink + finite(a) + finite(b) + finite(c);
    step();
  };
  r.OnSatelliteReceive = [&](TTarnCustomGPSReceiver&, const TSatellite& s) {
    sink = sink + s.PseudoRandomCode + s.Elevation + s.Azimuth + s.SignalToNoiseRatio;
    step();
  };
  r.OnSatellitesReceive = [&](TTarnCustomGPSReceiver&) { step(); };
  r.OnArrival = [&](TTarnCustomGPSReceiver&, const std::string& w, long double radius) {
    sink = sink + finite(radius) + static_cast<long double>(w.size());
    step();
  };
  const bool receiveThrows = (flags & 32) != 0;
  r.OnReceive = [&](TTarnCustomGPSReceiver&) {
    sink = sink + touch(r);
    if (receiveThrows && ++calls % 256 == throwAt) throw std::runtime_error("receive");
  };

  while (size > 0) {
    const std::size_t block = std::min<std::size_t>(data[0], size - 1);
    try {
      r.ReceiveData(std::string_view(reinterpret_cast<const char*>(data + 1), block));
    } catch (const std::runtime_error&) {
      if (!receiveThrows) std::abort();  // only OnReceive may throw out of ReceiveData
    }
    checkInvariants(r);
    data += block + 1;
    size -= block + 1;
  }
  return 0;
}
