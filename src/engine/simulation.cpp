#include "engine/simulation.h"

#include <cmath>
#include <utility>

#include "engine/motion_fix.h"
#include "generator/nmea_generator.h"
#include "motion/motion.h"
#include "platform/clock.h"

namespace waymock {

Simulation::Simulation(generator::TTarnNMEAGenerator& generator, UdpSender* udp,
                       PortWrite portWrite)
    : Transmitter(udp, portWrite), generator_(generator) {}

Simulation::~Simulation() = default;

int Simulation::tick(std::optional<TDateTime> epoch) {
  if (generator_.PortName().empty()) return 0;
  // A time the user fixed (UseSystemDateTime off) stays.
  std::optional<TDateTime> time = generator_.UseSystemDateTime() ? epoch : std::nullopt;
  if (motion_) {
    moveMotion();
    if (const std::optional<double> trackTime = motion_->fix().time) {
      time = dateTimeFromUnix(std::chrono::nanoseconds(std::llround(*trackTime * 1e9)));
    }
  }
  return transmitAt(time);
}

int Simulation::transmitAt(std::optional<TDateTime> time) {
  if (!time) return transmit(generator_);
  // The generator's own setting for a fixed time carries the time through
  // every build of this tick's burst, and no further.
  struct ClockTime {
    generator::TTarnNMEAGenerator& g;
    TDateTime kept = g.UTCDateTime();
    bool system = g.UseSystemDateTime();
    ~ClockTime() {
      g.SetUseSystemDateTime(system);
      g.SetUTCDateTime(kept);
    }
  } restore{generator_};
  generator_.SetUTCDateTime(*time);
  generator_.SetUseSystemDateTime(false);
  return transmit(generator_);
}

void Simulation::moveMotion() {
  const auto now = monotonicNow();
  auto run = carried_;
  if (lastTick_) run += now - *lastTick_;
  carried_ = {};
  if (started_) motion_->advance(std::chrono::duration<double>(run).count());
  started_ = true;
  if (!paused_) lastTick_ = now;
  putMotionFix(motion_->fix(), generator_);
}

void Simulation::setMotion(std::unique_ptr<motion::Motion> motion) {
  motion_ = std::move(motion);
  lastTick_.reset();
  carried_ = {};
  started_ = false;
  paused_ = false;
}

void Simulation::restart() {
  if (!motion_) return;
  // The generator's longitude is west positive; the motion's east positive.
  motion_->restart(mapPositionOf(generator_));
  lastTick_.reset();
  carried_ = {};
  started_ = false;
  paused_ = false;
}

void Simulation::pause() {
  if (paused_) return;
  paused_ = true;
  if (lastTick_) carried_ += monotonicNow() - *lastTick_;
  lastTick_.reset();
}

void Simulation::resume() {
  if (!paused_) return;
  paused_ = false;
  if (started_) lastTick_ = monotonicNow();
}

void Simulation::portTook() {
  if (settings.moveSatellites) turnSatellites();
  if (motion_) return;
  generator_.MoveLatitude(settings.latitudeShortStep);
  generator_.MoveLongitude(settings.longitudeShortStep);
}

void Simulation::turnSatellites() {
  using generator::TTarnNMEAGenerator;
  for (const generator::Constellation c : generator::kConstellations) {
    for (std::uint16_t number = 1; number <= TTarnNMEAGenerator::satelliteCount(c); ++number) {
      const generator::TSatellite* s = generator_.satellite(c, number);
      if (s == nullptr || !s->Active()) continue;
      const auto azimuth =
          static_cast<std::uint16_t>(s->Azimuth() + 1 >= 360 ? 0 : s->Azimuth() + 1);
      generator_.setSatellite(c, number, true, s->Elevation(), azimuth, s->SignalToNoiseRatio());
    }
  }
}

void Simulation::forward() {
  if (motion_) return;
  generator_.MoveLatitude(std::fabs(settings.latitudeLongStep));
  generator_.MoveLongitude(std::fabs(settings.longitudeLongStep));
}

void Simulation::back() {
  if (motion_) return;
  generator_.MoveLatitude(-std::fabs(settings.latitudeLongStep));
  generator_.MoveLongitude(-std::fabs(settings.longitudeLongStep));
}

}  // namespace waymock
