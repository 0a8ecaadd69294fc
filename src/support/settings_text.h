#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace waymock {

// The text forms of the persisted settings. Every value is stored as a string,
// and the same text must read back the same way in every locale, so nothing
// here looks at the locale.

// Removes leading and trailing blanks and control characters.
std::string trimSettingText(std::string_view text);

// General decimal form with "." as the separator and no grouping: the shortest
// text (at most 18 significant digits) that reads back as exactly `value`, so
// 59.99 and not 59.990000000000002; 1, 0.5, 12.345, 100, 10110; an exponent only below 1e-5 and
// from 1e18 on (1e+20). Not-a-number and
// infinities have no stored form and are written "0".
std::string formatSettingNumber(double value);
// "." as the separator, an optional sign, an optional exponent; blanks around
// are ignored. Anything else (a comma, trailing text, infinities): nothing.
std::optional<double> parseSettingNumber(std::string_view text);

// "True" or "False".
std::string formatSettingBool(bool value);
// "True" or "False" in any letter case, blanks around ignored; anything else:
// nothing, so the caller keeps what it had.
std::optional<bool> parseSettingBool(std::string_view text);

// A decimal whole number with an optional sign, blanks around ignored; anything
// else, or a number out of int's range: nothing.
std::optional<int> parseSettingInt(std::string_view text);

// A list position in decimal; every negative position is "no selection", "-1".
std::string formatSettingIndex(int index);
// A decimal whole number; any other text (or one out of int's range) gives 0.
int parseSettingIndex(std::string_view text);

// Four whole numbers joined by commas, "left,top,right,bottom".
std::string formatSettingQuad(const std::array<int, 4>& values);
// Each part that is missing or not a whole number takes its `fallback`.
std::array<int, 4> parseSettingQuad(std::string_view text, const std::array<int, 4>& fallback);

}  // namespace waymock
