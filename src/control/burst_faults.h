#pragma once

#include <string>

#include "control/fault.h"

namespace waymock::control {

// Rewrites the sentences of a burst as `fault` says, each changed sentence
// with a checksum of its own again (unless the fault is the checksum). For
// the faults that act on each sentence: no fix, jump, bad checksum, drop
// sentence, truncated line, time shift, leap second, satellites lost, HDOP
// degrade; the others leave the burst as it is. Sentences are matched by type whatever
// their talker (GP, GN, GL...). Lines that are no sentence stay as they are.
void applyTextFault(const Fault& fault, std::string& burst);

}  // namespace waymock::control
