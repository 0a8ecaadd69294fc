#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "motion/motion.h"

namespace waymock::motion {

// Another motion with a random error on its reported position, as a real
// receiver's fix wanders: each fix an offset whose east and north parts are
// normal with a spread that makes `metres` the typical (root mean square)
// distance. The motion itself goes on from its exact position. The error of a
// fix depends on the seed and the fix's burst number alone (setBurstNumber),
// so the same seed gives the same errors after every restart, on every
// machine, and to each burst whatever others were skipped.
class NoisyMotion final : public Motion {
 public:
  NoisyMotion(std::unique_ptr<Motion> exact, double metres, std::uint64_t seed);

  void restart(const GeoPoint& start) override;
  void advance(double seconds) override;
  const MotionFix& fix() const override { return fix_; }
  MotionProgress progress() const override { return exact_->progress(); }
  bool jumpTo(double metres) override;
  bool steer(double speed, double heading) override;
  void setBurstNumber(std::uint64_t number) override { numbered_ = number; }

 private:
  void disturb();

  std::unique_ptr<Motion> exact_;
  std::uint64_t seed_;
  double spread_;  // of each part, in metres
  std::uint64_t burst_ = 0;                // of the fix
  std::optional<std::uint64_t> numbered_;  // for the next advance
  MotionFix fix_;
};

}  // namespace waymock::motion
