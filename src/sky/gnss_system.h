#pragma once

// The satellite systems the sky holds, in the order the sentences report them.

#include <array>
#include <cstdint>

#include "support/enum_set.h"

namespace waymock::sky {

enum class GnssSystem : std::uint8_t { gps, glonass, galileo, beidou };
using GnssSystems = EnumSet<GnssSystem, 4>;
inline constexpr std::array<GnssSystem, 4> kGnssSystems = {GnssSystem::gps, GnssSystem::glonass,
                                                           GnssSystem::galileo, GnssSystem::beidou};

}  // namespace waymock::sky
