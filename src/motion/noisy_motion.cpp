#include "motion/noisy_motion.h"

#include <GeographicLib/Geodesic.hpp>
#include <cmath>
#include <numbers>
#include <utility>

namespace waymock::motion {

namespace {

// SplitMix64's step, a well-mixed 64-bit function of its input. By hand: the
// standard engines draw in sequence, and a burst's error must come from its
// number alone.
std::uint64_t mixed(std::uint64_t x) {
  x += 0x9E37'79B9'7F4A'7C15;
  x = (x ^ (x >> 30)) * 0xBF58'476D'1CE4'E5B9;
  x = (x ^ (x >> 27)) * 0x94D0'49BB'1331'11EB;
  return x ^ (x >> 31);
}

// A number in (0, 1] from the top 53 bits.
double unit(std::uint64_t bits) {
  return (static_cast<double>(bits >> 11) + 1) * 0x1p-53;
}

}  // namespace

NoisyMotion::NoisyMotion(std::unique_ptr<Motion> exact, double metres, std::uint64_t seed)
    : exact_(std::move(exact)),
      seed_(seed),
      // Two parts of this spread add up to `metres` on average in square.
      spread_(metres / std::numbers::sqrt2) {
  disturb();
}

void NoisyMotion::restart(const GeoPoint& start) {
  exact_->restart(start);
  burst_ = 0;
  numbered_.reset();
  disturb();
}

void NoisyMotion::advance(double seconds) {
  exact_->advance(seconds);
  burst_ = numbered_.value_or(burst_ + 1);
  numbered_.reset();
  disturb();
}

bool NoisyMotion::jumpTo(double metres) {
  const bool jumped = exact_->jumpTo(metres);
  disturb();
  return jumped;
}

bool NoisyMotion::steer(double speed, double heading) {
  const bool steered = exact_->steer(speed, heading);
  disturb();
  return steered;
}

void NoisyMotion::disturb() {
  fix_ = exact_->fix();
  // Two normal parts from two uniform numbers (Box and Muller): a distance
  // and a direction.
  const std::uint64_t key = mixed(seed_ ^ mixed(burst_));
  const double radius = spread_ * std::sqrt(-2 * std::log(unit(key)));
  const double azimuth = 360 * (unit(mixed(key)) - 0.5);
  double latitude = 0;
  double longitude = 0;
  GeographicLib::Geodesic::WGS84().Direct(fix_.position.latitude, fix_.position.longitude, azimuth,
                                          radius, latitude, longitude);
  fix_.position = {latitude, longitude};
}

}  // namespace waymock::motion
