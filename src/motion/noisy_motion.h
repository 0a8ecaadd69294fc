#pragma once

#include <cstdint>
#include <memory>
#include <random>

#include "motion/motion.h"

namespace waymock::motion {

// Another motion with a random error on its reported position, as a real
// receiver's fix wanders: each tick an offset whose east and north parts are
// normal with a spread that makes `metres` the typical (root mean square)
// distance. The motion itself goes on from its exact position, and the same
// seed gives the same errors after every restart.
class NoisyMotion final : public Motion {
 public:
  NoisyMotion(std::unique_ptr<Motion> exact, double metres, std::uint64_t seed);

  void restart(const GeoPoint& start) override;
  void advance(double seconds) override;
  const MotionFix& fix() const override { return fix_; }
  MotionProgress progress() const override { return exact_->progress(); }
  bool jumpTo(double metres) override;
  bool steer(double speed, double heading) override;

 private:
  void disturb();

  std::unique_ptr<Motion> exact_;
  std::uint64_t seed_;
  std::mt19937_64 random_;
  std::normal_distribution<double> spread_;
  MotionFix fix_;
};

}  // namespace waymock::motion
