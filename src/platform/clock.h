#pragma once

#include <memory>

#include "support/clock.h"

namespace waymock {

// The system's clock.
std::shared_ptr<const Clock> systemClock();

}  // namespace waymock
