#include "engine/simulation.h"

#include <cmath>

#include "generator/nmea_generator.h"

namespace waymock {

Simulation::Simulation(generator::TTarnNMEAGenerator& generator, UdpSender* udp,
                       PortWrite portWrite)
    : Transmitter(udp, portWrite), generator_(generator) {}

int Simulation::tick() {
  if (generator_.PortName().empty()) return 0;
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
