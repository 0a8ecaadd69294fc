#pragma once

#include <nlohmann/json.hpp>

#include "control/control_target.h"

namespace waymock {
class Simulation;
namespace generator {
class TTarnNMEAGenerator;
}
}  // namespace waymock

namespace waymock::control {

// The control channel's view of a generator, for front ends that act on
// theirs directly.

// Writes the change into the generator (no value is refused: they were
// checked).
void applyFixChange(const FixChange& change, generator::TTarnNMEAGenerator& generator);
// The fix as `status` reports it, map convention.
nlohmann::json fixJson(const generator::TTarnNMEAGenerator& generator);
// Gives the simulation the motion the request asks for, starting where the
// generator's fix is now. Throws Error (IoError for the file) for a route that
// cannot be used, the motion unchanged.
void applyMove(const MoveRequest& request, Simulation& simulation,
               const generator::TTarnNMEAGenerator& generator);
// Moves the fix `metres` along the geodesic at `bearing` degrees from north,
// on the WGS84 ellipsoid.
void jumpFix(generator::TTarnNMEAGenerator& generator, double metres, double bearing);

}  // namespace waymock::control
