#pragma once

// The XML formats' readers, given the parsed document's root element.

#include <pugixml.hpp>
#include <string_view>

#include "motion/route.h"
#include "motion/route_builder.h"

namespace waymock::motion {

// An element's name without its namespace prefix: "Track" for "gx:Track".
std::string_view localName(const pugi::xml_node& node);
bool isElement(const pugi::xml_node& node, std::string_view name);

Route readGpx(const pugi::xml_node& gpx, RouteBuilder& builder);
Route readKml(const pugi::xml_node& kml, RouteBuilder& builder);

}  // namespace waymock::motion
