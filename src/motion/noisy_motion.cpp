#include "motion/noisy_motion.h"

#include <GeographicLib/Geodesic.hpp>
#include <cmath>
#include <numbers>
#include <utility>

namespace waymock::motion {

NoisyMotion::NoisyMotion(std::unique_ptr<Motion> exact, double metres, std::uint64_t seed)
    : exact_(std::move(exact)),
      seed_(seed),
      random_(seed),
      // Two parts of this spread add up to `metres` on average in square.
      spread_(0.0, metres / std::numbers::sqrt2) {
  disturb();
}

void NoisyMotion::restart(const GeoPoint& start) {
  exact_->restart(start);
  random_.seed(seed_);
  spread_.reset();
  disturb();
}

void NoisyMotion::advance(double seconds) {
  exact_->advance(seconds);
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
  const double east = spread_(random_);
  const double north = spread_(random_);
  const double azimuth = std::atan2(east, north) * 180 / std::numbers::pi;
  double latitude = 0;
  double longitude = 0;
  GeographicLib::Geodesic::WGS84().Direct(fix_.position.latitude, fix_.position.longitude, azimuth,
                                          std::hypot(east, north), latitude, longitude);
  fix_.position = {latitude, longitude};
}

}  // namespace waymock::motion
