#include "support/settings_text.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

namespace waymock {

namespace {

bool isBlank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// A whole number taking all of `text`, which may carry one leading "+".
std::optional<int> parseWhole(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::string trimSettingText(std::string_view text) {
  return std::string(trimmed(text));
}

std::string formatSettingNumber(double value) {
  if (!std::isfinite(value)) return "0";
  if (value == 0) return "0";  // also for -0
  // The shortest digits that read back as exactly `value` (at most 17), in
  // plain notation except for the very small and the very large, as the
  // general format writes them: 100 and 10110, never 1e+02.
  const double magnitude = std::fabs(value);
  const auto format = magnitude >= 1e-5 && magnitude < 1e18 ? std::chars_format::fixed
                                                            : std::chars_format::scientific;
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format);
  return std::string(buffer, result.ptr);
}

std::optional<double> parseSettingNumber(std::string_view text) {
  text = trimmed(text);
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return std::nullopt;
  }
  if (text.empty()) return std::nullopt;
  // from_chars would take "inf" and "nan", which are no stored form.
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E')) {
      return std::nullopt;
    }
  }
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string formatSettingBool(bool value) {
  return value ? "True" : "False";
}

std::optional<bool> parseSettingBool(std::string_view text) {
  text = trimmed(text);
  if (equalsIgnoringCase(text, "True")) return true;
  if (equalsIgnoringCase(text, "False")) return false;
  return std::nullopt;
}

std::string formatSettingIndex(int index) {
  return index < 0 ? "-1" : std::to_string(index);
}

std::optional<int> parseSettingInt(std::string_view text) {
  return parseWhole(trimmed(text));
}

int parseSettingIndex(std::string_view text) {
  return parseSettingInt(text).value_or(0);
}

std::string formatSettingQuad(const std::array<int, 4>& values) {
  return std::to_string(values[0]) + "," + std::to_string(values[1]) + "," +
         std::to_string(values[2]) + "," + std::to_string(values[3]);
}

std::array<int, 4> parseSettingQuad(std::string_view text, const std::array<int, 4>& fallback) {
  std::array<int, 4> values = fallback;
  for (std::size_t part = 0; part < values.size(); ++part) {
    const std::size_t comma = text.find(',');
    if (const auto value = parseWhole(trimmed(text.substr(0, comma)))) values[part] = *value;
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return values;
}

}  // namespace waymock
