#pragma once

#include <memory>

#include "motion/motion.h"

namespace GeographicLib {
class GeodesicLine;
class RhumbLine;
}  // namespace GeographicLib

namespace waymock::motion {

// Dead reckoning on the WGS-84 ellipsoid: the fix travels at a speed along a
// heading, either keeping the heading (a rhumb line, the default) or along
// the great circle it starts on (a geodesic, whose course changes as it goes).
// Each leg runs from where the last change of speed or heading left the fix,
// so the position is the leg's start plus the leg's distance, never a sum of
// per-tick steps.
class SpeedHeadingMotion final : public Motion {
 public:
  // `speed` in metres per second, `heading` in degrees true.
  SpeedHeadingMotion(const GeoPoint& start, double speed, double heading, bool geodesic);
  ~SpeedHeadingMotion() override;

  void restart(const GeoPoint& start) override;
  void advance(double seconds) override;
  const MotionFix& fix() const override { return fix_; }
  MotionProgress progress() const override;
  bool steer(double speed, double heading) override;

 private:
  void startLeg(const GeoPoint& from);
  void place();

  double speed_;
  double heading_;
  bool geodesic_;
  std::unique_ptr<GeographicLib::GeodesicLine> geodesicLine_;
  std::unique_ptr<GeographicLib::RhumbLine> rhumbLine_;
  double legMetres_ = 0;      // along the present leg
  double earlierMetres_ = 0;  // of the legs before it
  MotionFix fix_;
};

}  // namespace waymock::motion
