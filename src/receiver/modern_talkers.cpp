#include "receiver/modern_talkers.h"

#include <algorithm>
#include <cstddef>

namespace waymock::receiver::nmea {

bool readAsGps(std::string_view sentence) {
  const std::string_view talker = sentence.substr(1, 2);
  const std::string_view kind = sentence.substr(3, 3);
  if (kind == "GSV") return talker == "GL" || talker == "GA" || talker == "GB";
  return talker == "GN" && (kind == "RMC" || kind == "GGA" || kind == "GLL" || kind == "VTG" ||
                            kind == "ZDA" || kind == "GSA");
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
