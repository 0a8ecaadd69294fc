#pragma once

// The sky a receiver at a place and time sees: each satellite of the almanacs
// above the horizon with its elevation, azimuth and signal, which of them a
// fix uses, and the DOPs of that fix.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sky/dops.h"
#include "sky/gnss_system.h"
#include "sky/horizon.h"
#include "sky/orbit.h"
#include "support/datetime.h"

namespace waymock::sky {

// Latitude and longitude in degrees as on a map (north and east positive);
// height in metres above the WGS-84 ellipsoid (the altitude above sea level
// will do: tens of metres move no satellite by a thousandth of a degree).
struct GeodeticPosition {
  double latitude = 0;
  double longitude = 0;
  double height = 0;
};

struct SatelliteView {
  GnssSystem system = GnssSystem::gps;
  // Within its system, as the receiver's table numbers it: the GPS, Galileo
  // and BeiDou PRN, the GLONASS slot (NMEA 4.11 sentences show slot + 64).
  std::uint16_t number = 0;
  double elevation = 0;  // degrees above the horizon, 0 to 90
  double azimuth = 0;    // degrees clockwise from true north, [0, 360)
  // dB-Hz; nothing when the satellite is blocked: below the elevation mask or
  // behind the horizon profile.
  std::optional<int> snr;
  bool used = false;  // by the fix
};

struct SkyView {
  // Every satellite above the horizon (elevation 0 or more), by system and
  // number.
  std::span<const SatelliteView> satellites;
  unsigned used = 0;
  std::optional<Dops> dops;  // nothing: no fix
};

struct SkyOptions {
  double elevationMask = 5;  // degrees
  HorizonProfile horizon;
  // With a seed, each signal carries noise of up to 3 dB, the same for the
  // same satellite at the same millisecond.
  std::optional<std::uint64_t> seed;
  // The most satellites of one system a fix uses: the strongest, equal ones in
  // the order of their numbers. 12, as one GSA sentence lists.
  unsigned maxUsedPerSystem = 12;
};

// The signal model: 25 + 25 sin(elevation) dB-Hz (25 at the horizon, 50 at the
// zenith), plus the seeded noise, rounded and kept within 1 to 99.
int signalToNoise(double elevation, const std::optional<std::uint64_t>& seed, GnssSystem system,
                  std::uint16_t number, TDateTime utc);

class SkyModel {
 public:
  // Unhealthy almanacs are left out. Throws Error when two almanacs name the
  // same satellite.
  SkyModel(const std::vector<Almanac>& almanacs, SkyOptions options);

  // The sky at `where` at the UTC time `utc`. The view and its satellites stay
  // valid until the next call. Allocates nothing.
  const SkyView& compute(const GeodeticPosition& where, TDateTime utc);

  const SkyOptions& options() const { return options_; }
  void setOptions(SkyOptions options) { options_ = std::move(options); }
  // The satellites the almanacs hold, after the unhealthy are left out.
  std::size_t size() const { return orbits_.size(); }

 private:
  void chooseUsed();

  std::vector<Orbit> orbits_;  // by system and number
  SkyOptions options_;
  std::vector<SatelliteView> views_;
  std::vector<std::array<double, 3>> directions_;  // unit vectors east, north, up, by view
  SkyView view_;
};

}  // namespace waymock::sky
