#pragma once

// GPS almanacs from the files they are published in: YUMA (the text form, one
// "Field: value" a line) and SEM (numbers only).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sky/gnss_system.h"
#include "sky/orbit.h"

namespace waymock::sky {

// The almanacs in the file at `path`, YUMA or SEM as its first character
// tells ("*" or "I": YUMA, a digit: SEM). A week given in 10 bits (below
// 1024) is taken as the one nearest the time each position is worked out
// for. Every failure, of the file or of its content, is an IoError naming the
// file and the line: "gps.alm: line 5 has no number for Eccentricity."
std::vector<Almanac> readAlmanacFile(const std::string& path);

// The same for `text`, the content of a file, with `source` naming it in
// messages.
std::vector<Almanac> parseAlmanac(std::string_view text, const std::string& source);

// What a sky is built from: the almanacs in `file` when one is given, and the
// built-in nominal ones for the other systems of `systems`.
std::vector<Almanac> skyAlmanacs(const std::optional<std::string>& file, GnssSystems systems);

}  // namespace waymock::sky
