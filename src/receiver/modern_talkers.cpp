#include "receiver/modern_talkers.h"

#include <algorithm>
#include <cstddef>

#include "receiver/nmea_fields.h"

namespace waymock::receiver::nmea {

bool readAsGps(std::string_view sentence) {
  const std::string_view talker = sentence.substr(1, 2);
  const std::string_view kind = sentence.substr(3, 3);
  if (kind == "GSV") return talker == "GL" || talker == "GA" || talker == "GB";
  return talker == "GN" && (kind == "RMC" || kind == "GGA" || kind == "GLL" || kind == "VTG" ||
                            kind == "ZDA" || kind == "GSA");
}

std::string_view tellingSentence(std::string_view text, bool anyChecksum) {
  std::string_view modernOnly;
  for (std::size_t at = text.find('$'); at != std::string_view::npos; at = text.find('$', at + 1)) {
    const std::size_t end = text.find_first_of("\r\n", at);
    if (end == std::string_view::npos) break;
    const std::string_view sentence = text.substr(at, end - at);
    if (sentence.size() < 6 || (!anyChecksum && !checksumValid(sentence))) continue;
    const std::string_view talker = sentence.substr(1, 2);
    const std::string_view kind = sentence.substr(3, 3);
    const bool fix = kind == "RMC" || kind == "GGA" || kind == "GLL";
    if (fix && (talker == "GP" || talker == "GN")) return sentence.substr(0, 6);
    if (modernOnly.empty() && readAsGps(sentence)) modernOnly = sentence.substr(0, 6);
  }
  return modernOnly;
}

bool GsvCycles::seenAgain(std::string_view gsv) {
  const std::string_view talker = gsv.substr(1, 2);
  const std::size_t system = talker == "GL" ? 1 : talker == "GA" ? 2 : talker == "GB" ? 3 : 0;
  // The signal ID is the field left over after the three counts and the
  // groups of four.
  const std::string_view fields = gsv.substr(0, gsv.find('*'));
  const auto commas = static_cast<std::size_t>(std::count(fields.begin(), fields.end(), ','));
  unsigned char signal = 0;
  if (commas > 3 && (commas - 3) % 4 == 1) {
    const auto last = fields.substr(fields.rfind(',') + 1);
    signal = last.empty() ? 0 : static_cast<unsigned char>(last.front());
  }
  const std::size_t cycle = system * 256 + signal;
  const bool again = begun_.test(cycle);
  if (again) begun_.reset();
  begun_.set(cycle);
  return again;
}

}  // namespace waymock::receiver::nmea
