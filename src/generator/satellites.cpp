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
  for (auto& sat : satellites_) {
    if (!sat) continue;
    sat->SetActive(false);
    sat->SetElevation(0);
    sat->SetAzimuth(0);
    sat->SetSignalToNoiseRatio(0);
  }
}

}  // namespace waymock::generator
