#include "engine/simulation.h"

#include <cmath>

#include "generator/nmea_generator.h"

namespace waymock {

Simulation::Simulation(generator::TTarnNMEAGenerator& generator, UdpSender* udp,
                       PortWrite portWrite)
    : Transmitter(udp, portWrite), generator_(generator) {}

int Simulation::tick(std::optional<TDateTime> epoch) {
  if (generator_.PortName().empty()) return 0;
  if (!epoch || !generator_.UseSystemDateTime()) return transmit(generator_);
  // The generator's own setting for a fixed time carries the epoch through
  // every build of this tick's burst, and no further.
  struct ClockTime {
    generator::TTarnNMEAGenerator& g;
    TDateTime kept = g.UTCDateTime();
    ~ClockTime() {
      g.SetUseSystemDateTime(true);
      g.SetUTCDateTime(kept);
    }
  } restore{generator_};
  generator_.SetUTCDateTime(*epoch);
  generator_.SetUseSystemDateTime(false);
  return transmit(generator_);
}

void Simulation::portTook() {
  generator_.MoveLatitude(settings.latitudeShortStep);
  generator_.MoveLongitude(settings.longitudeShortStep);
  if (settings.moveSatellites) turnSatellites();
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
  generator_.MoveLatitude(std::fabs(settings.latitudeLongStep));
  generator_.MoveLongitude(std::fabs(settings.longitudeLongStep));
}

void Simulation::back() {
  generator_.MoveLatitude(-std::fabs(settings.latitudeLongStep));
  generator_.MoveLongitude(-std::fabs(settings.longitudeLongStep));
}

}  // namespace waymock
