#include "sky/sky_model.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "sky/gps_time.h"
#include "support/error.h"

namespace waymock::sky {

namespace {

constexpr double kDegree = std::numbers::pi / 180;

// A well-mixed 64-bit value of another (splitmix64's finaliser).
std::uint64_t mixed(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15u;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9u;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBu;
  return x ^ (x >> 31);
}

double unitInterval(std::uint64_t bits) {
  return static_cast<double>(bits >> 11) * 0x1p-53;
}

// The receiver's place on the WGS-84 ellipsoid and the directions of its
// local east, north and up. By hand rather than through GeographicLib's local
// frame, which takes geodetic points: turning each satellite's position back
// into latitude and longitude would cost more than the rest of the sky.
struct LocalFrame {
  explicit LocalFrame(const GeodeticPosition& p) {
    const double sinLat = std::sin(p.latitude * kDegree);
    const double cosLat = std::cos(p.latitude * kDegree);
    const double sinLon = std::sin(p.longitude * kDegree);
    const double cosLon = std::cos(p.longitude * kDegree);
    constexpr double e2 = kEarthFlattening * (2 - kEarthFlattening);
    const double n = kEarthRadius / std::sqrt(1 - e2 * sinLat * sinLat);
    origin = {(n + p.height) * cosLat * cosLon, (n + p.height) * cosLat * sinLon,
              (n * (1 - e2) + p.height) * sinLat};
    east = {-sinLon, cosLon, 0};
    north = {-sinLat * cosLon, -sinLat * sinLon, cosLat};
    up = {cosLat * cosLon, cosLat * sinLon, sinLat};
  }
  Ecef origin, east, north, up;
};

double dot(const Ecef& a, double x, double y, double z) {
  return a.x * x + a.y * y + a.z * z;
}

}  // namespace

int signalToNoise(double elevation, const std::optional<std::uint64_t>& seed, GnssSystem system,
                  std::uint16_t number, TDateTime utc) {
  double snr = 25 + 25 * std::sin(elevation * kDegree);
  if (seed) {
    // Two uniform draws make a triangular spread of +-3 dB around the model.
    const auto millisecond = static_cast<std::uint64_t>(std::llround(utc * 86'400'000.0));
    const std::uint64_t satellite = static_cast<std::uint64_t>(system) << 16 | number;
    const std::uint64_t bits = mixed(*seed ^ mixed(satellite ^ mixed(millisecond)));
    snr += 3 * (unitInterval(bits) + unitInterval(mixed(bits)) - 1);
  }
  return static_cast<int>(std::clamp(std::lround(snr), 1L, 99L));
}

SkyModel::SkyModel(const std::vector<Almanac>& almanacs, SkyOptions options)
    : options_(std::move(options)) {
  for (const Almanac& a : almanacs) {
    if (a.healthy) orbits_.emplace_back(a);
  }
  const auto order = [](const Orbit& a, const Orbit& b) {
    return a.system() != b.system() ? a.system() < b.system() : a.number() < b.number();
  };
  std::sort(orbits_.begin(), orbits_.end(), order);
  for (std::size_t i = 1; i < orbits_.size(); ++i) {
    if (!order(orbits_[i - 1], orbits_[i])) {
      raise("Two almanacs name satellite " + std::to_string(orbits_[i].number()) +
            " of one system.");
    }
  }
  views_.reserve(orbits_.size());
  directions_.reserve(orbits_.size());
}

const SkyView& SkyModel::compute(const GeodeticPosition& where, TDateTime utc) {
  const LocalFrame frame(where);
  const double t = gpsSecondsFromUtc(utc);
  views_.clear();
  directions_.clear();
  for (const Orbit& orbit : orbits_) {
    const Ecef s = orbit.at(t);
    const double dx = s.x - frame.origin.x;
    const double dy = s.y - frame.origin.y;
    const double dz = s.z - frame.origin.z;
    const double up = dot(frame.up, dx, dy, dz);
    if (up < 0) continue;  // below the horizon
    const double east = dot(frame.east, dx, dy, dz);
    const double north = dot(frame.north, dx, dy, dz);
    SatelliteView v;
    v.system = orbit.system();
    v.number = orbit.number();
    v.elevation = std::atan2(up, std::sqrt(east * east + north * north)) / kDegree;
    v.azimuth = std::atan2(east, north) / kDegree;
    if (v.azimuth < 0) v.azimuth += 360;
    if (v.azimuth >= 360) v.azimuth = 0;  // -0.0...01 rounds up to 360
    const bool blocked = v.elevation < options_.elevationMask ||
                         v.elevation < options_.horizon.elevationAt(v.azimuth);
    if (!blocked) v.snr = signalToNoise(v.elevation, options_.seed, v.system, v.number, utc);
    views_.push_back(v);
    const double range = std::sqrt(dx * dx + dy * dy + dz * dz);
    directions_.push_back({east / range, north / range, up / range});
  }
  chooseUsed();
  DopAccumulator geometry;
  for (std::size_t i = 0; i < views_.size(); ++i) {
    const auto& d = directions_[i];
    if (views_[i].used) geometry.add(views_[i].system, d[0], d[1], d[2]);
  }
  view_.satellites = views_;
  view_.used = geometry.count();
  view_.dops = geometry.dops();
  return view_;
}

// Per system, the maxUsedPerSystem strongest of the satellites with a signal:
// a satellite is used when fewer than that many come before it, being
// stronger, or as strong with a lower number.
void SkyModel::chooseUsed() {
  for (auto first = views_.begin(); first != views_.end();) {
    const auto last = std::find_if(
        first, views_.end(), [&](const SatelliteView& v) { return v.system != first->system; });
    for (auto v = first; v != last; ++v) {
      if (!v->snr) continue;
      unsigned ahead = 0;
      for (auto w = first; w != last; ++w) {
        if (w->snr && (*w->snr > *v->snr || (*w->snr == *v->snr && w < v))) ++ahead;
      }
      v->used = ahead < options_.maxUsedPerSystem;
    }
    first = last;
  }
}

}  // namespace waymock::sky
