#pragma once

#include <memory>
#include <nlohmann/json.hpp>

#include "control/control_target.h"

namespace waymock {
class Simulation;
namespace generator {
class TTarnNMEAGenerator;
}
namespace motion {
class Motion;
}
}  // namespace waymock

namespace waymock::control {

// The control channel's view of a generator, for front ends that act on
// theirs directly.

// Throws Error, saying why, for a change that the motion running in the
// simulation sets itself: a route sets the position, speed and heading, and
// the altitude when its points carry one.
void checkFixChange(const FixChange& change, const Simulation& simulation);
// Checks the change (checkFixChange) and writes it into the generator (its
// values were checked already). While a motion by speed and heading runs, a
// position moves its start there (it goes on from there at its speed and
// course), and a speed or heading steers it.
void applyFixChange(const FixChange& change, Simulation& simulation,
                    generator::TTarnNMEAGenerator& generator);
// The fix as `status` reports it, map convention.
nlohmann::json fixJson(const generator::TTarnNMEAGenerator& generator);
// The motion a request with a route asks for, its file read and prepared:
// slow for a large file, so front ends call it off the tick's thread. Throws
// Error (IoError for the file) saying why it cannot be used.
std::unique_ptr<motion::Motion> loadRouteMotion(const MoveRequest& request);
// Gives the simulation the motion the request asks for: `route`, loaded by
// loadRouteMotion, for a request with a route; else by speed and heading
// (steering a motion that takes them, else starting where the generator's fix
// is now) or the steps again.
void applyMove(const MoveRequest& request, std::unique_ptr<motion::Motion> route,
               Simulation& simulation, const generator::TTarnNMEAGenerator& generator);

}  // namespace waymock::control
