#pragma once

#include <string_view>

namespace waymock::control {

// Whether the JSON text nests arrays and objects deeper than `depth`, found
// in one pass without parsing, so that a text built to cost hundreds of
// megabytes as a parsed tree is refused before it is parsed. Brackets inside
// strings do not count; a text that is no JSON may give either answer.
bool nestedDeeperThan(std::string_view text, int depth);

}  // namespace waymock::control
