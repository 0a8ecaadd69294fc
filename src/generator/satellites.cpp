#include <string>

#include "generator/nmea_generator.h"
#include "support/error.h"

namespace waymock::generator {

void TTarnNMEAGenerator::SetSatellite(std::uint16_t PRN, bool Active, std::uint16_t Elevation,
                                      std::uint16_t Azimuth, std::uint16_t SNR) {
  // Checked up front, in this order, so a rejected call changes nothing.
  if (PRN < 1 || PRN > 32) raise("PseudoRandomCode must be between 1 and 32.");
  if (Elevation > 90) raise("Elevation must be between 0 and 90.");
  if (Azimuth >= 360) raise("Azimuth must be between 0 and 360.");
  if (SNR > 99) raise("SignalToNoiseRatio must be between 0 and 99.");
  auto& slot = satellites_[PRN];
  if (!slot) slot = std::make_unique<TSatellite>(PRN);
  slot->SetActive(Active);
  slot->SetAzimuth(Azimuth);
  slot->SetElevation(Elevation);
  slot->SetSignalToNoiseRatio(SNR);
}

void TSatellite::checkNumber(Constellation system, std::uint16_t number) {
  const ConstellationInfo& info = constellationInfo(system);
  if (number >= 1 && number <= info.count) return;
  if (system == Constellation::gps) raise("PseudoRandomCode must be between 1 and 32.");
  raise(std::string(info.name) + " satellite number must be between 1 and " +
        std::to_string(info.count) + ".");
}

void TTarnNMEAGenerator::setSatellite(Constellation system, std::uint16_t number, bool active,
                                      std::uint16_t elevation, std::uint16_t azimuth,
                                      std::uint16_t snr) {
  if (system == Constellation::gps) return SetSatellite(number, active, elevation, azimuth, snr);
  // The same checks in the same order, all before anything changes.
  TSatellite::checkNumber(system, number);
  if (elevation > 90) raise("Elevation must be between 0 and 90.");
  if (azimuth >= 360) raise("Azimuth must be between 0 and 360.");
  if (snr > 99) raise("SignalToNoiseRatio must be between 0 and 99.");
  TSatellite& sat = *satellite(system, number);
  sat.SetActive(active);
  sat.SetAzimuth(azimuth);
  sat.SetElevation(elevation);
  sat.SetSignalToNoiseRatio(snr);
}

TSatellite* TTarnNMEAGenerator::satellite(Constellation system, std::uint16_t number) const {
  if (number < 1 || number > satelliteCount(system)) return nullptr;
  if (system == Constellation::gps) return satellites_[number].get();
  return &moreSatellites_[static_cast<std::size_t>(system) - 1][number - 1];
}

std::array<TSatellite*, 33> TTarnNMEAGenerator::GetSatellites() const {
  std::array<TSatellite*, 33> slots{};
  for (std::size_t prn = 1; prn <= 32; ++prn) slots[prn] = satellites_[prn].get();
  return slots;
}

std::vector<TSatellite*> TTarnNMEAGenerator::GetActiveSatellites() const {
  std::vector<TSatellite*> active;
  for (std::size_t prn = 1; prn <= 32; ++prn) {
    if (satellites_[prn] && satellites_[prn]->Active()) active.push_back(satellites_[prn].get());
  }
  return active;
}

void TTarnNMEAGenerator::ClearSatellites() {
  const auto clear = [](TSatellite& sat) {
    sat.SetActive(false);
    sat.SetElevation(0);
    sat.SetAzimuth(0);
    sat.SetSignalToNoiseRatio(0);
  };
  for (auto& sat : satellites_) {
    if (sat) clear(*sat);
  }
  for (auto& table : moreSatellites_) {
    for (TSatellite& sat : table) clear(sat);
  }
}

}  // namespace waymock::generator
