#include "engine/simulation.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/motion_fix.h"
#include "generator/nmea_generator.h"
#include "motion/motion.h"

namespace waymock {

namespace {

constexpr long double kUnixEpochDays = 25'569;  // 1970-01-01 as a day count
// 9999-12-31T23:59:59.999Z, the last time the sentences can carry.
const TDateTime kLastSentenceTime = encodeDateTime({9999, 12, 31, 23, 59, 59, 999});

}  // namespace

Simulation::Simulation(generator::TTarnNMEAGenerator& generator, UdpSender* udp,
                       PortWrite portWrite)
    : Transmitter(udp, portWrite), generator_(generator) {}

Simulation::~Simulation() = default;

int Simulation::tick(std::optional<TDateTime> epoch) {
  if (generator_.PortName().empty()) return 0;
  // A time the user fixed (UseSystemDateTime off) stays.
  std::optional<TDateTime> time = generator_.UseSystemDateTime() ? epoch : std::nullopt;
  if (motion_) {
    moveMotion(epoch);
    if (const std::optional<double> trackTime = motion_->fix().time) {
      // The sentences have four digits for the year.
      time = std::min(dateTimeFromUnixSeconds(*trackTime), kLastSentenceTime);
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

void Simulation::moveMotion(std::optional<TDateTime> epoch) {
  auto now = monotonicNow();
  if (epoch) {
    // The tick's epoch on the monotonic clock: the wake-up less the time since
    // the epoch.
    const auto epochTime = std::chrono::nanoseconds(
        std::llround((static_cast<long double>(*epoch) - kUnixEpochDays) * 86'400e9L));
    now -=
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(realtimeNow() - epochTime);
    if (!firstEpoch_) firstEpoch_ = epoch;
    // Milliseconds since the first epoch, what the time fields tell apart.
    motion_->setBurstNumber(static_cast<std::uint64_t>(
        std::llround((static_cast<long double>(*epoch) - *firstEpoch_) * 86'400'000.0L)));
  } else {
    motion_->setBurstNumber(ticks_);
  }
  ++ticks_;
  auto run = carried_;
  if (lastTick_ && now > *lastTick_) run += now - *lastTick_;
  carried_ = {};
  if (started_) motion_->advance(std::chrono::duration<double>(run).count());
  started_ = true;
  if (!paused_) lastTick_ = now;
  putMotionFix(motion_->fix(), generator_);
}

void Simulation::setMotion(std::unique_ptr<motion::Motion> motion) {
  motion_ = std::move(motion);
  startAgain();
}

void Simulation::restart() {
  if (!motion_) return;
  // The generator's longitude is west positive; the motion's east positive.
  motion_->restart(mapPositionOf(generator_));
  startAgain();
}

void Simulation::startAgain() {
  lastTick_.reset();
  carried_ = {};
  firstEpoch_.reset();
  ticks_ = 0;
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
