#pragma once

// The readers of each format, behind parseRoute (route_reader.h).

#include <string>
#include <string_view>

#include "motion/route.h"

namespace waymock::motion {

// Parses `text` in place: the route keeps no pointer into it.
Route readXmlRoute(std::string& text, const std::string& source);
Route readCsvRoute(std::string_view text, const std::string& source);
Route readNmeaRoute(std::string_view text, const std::string& source);

}  // namespace waymock::motion
