#pragma once

#include <string>
#include <vector>

#include "control/fault.h"

namespace waymock::control {

// A scenario file: a JSON object whose "events" list the faults of a run,
// each a fault object (see faultFromJson) with "at" (seconds from the run's
// start) or "every" (seconds between repeats, the first at "every" unless
// "at" says otherwise), for example
//
//   {"events": [{"at": 5, "type": "no-fix", "seconds": 3},
//               {"every": 60, "type": "dropout", "bursts": 2}]}
//
// Throws IoError for a file that cannot be read and Error for one that is no
// scenario, each naming the file and, for an event, its number and why.
std::vector<ScheduledFault> readScenario(const std::string& path);

// The scenario in a JSON text; `source` names it in messages.
std::vector<ScheduledFault> parseScenario(const std::string& text, const std::string& source);

}  // namespace waymock::control
