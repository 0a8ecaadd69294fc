#pragma once

// How the generator writes its sentences: the classic GPS-only receiver, or a
// current multi-constellation one (NMEA 4.11), with the date form of ZDA and an
// optional talker for every sentence.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "support/enum_set.h"

namespace waymock::generator {

// The satellite systems the table holds, in the order their sentences go out.
enum class Constellation : std::uint8_t { gps, glonass, galileo, beidou };
using Constellations = EnumSet<Constellation, 4>;
inline constexpr std::array<Constellation, 4> kConstellations = {
    Constellation::gps, Constellation::glonass, Constellation::galileo, Constellation::beidou};

struct ConstellationInfo {
  std::string_view name;     // as messages show it: "GLONASS"
  std::string_view keyword;  // as options take it: "glonass"
  // Beside GPS's plain "[7]", its satellite file sections: "[GL7]".
  std::string_view section;
  std::array<char, 2> talker;  // of its GSV sentences
  std::uint16_t count;         // satellites 1..count in the table
  // NMEA 4.11 numbers a constellation's satellites in its own range: the
  // satellite ID in GSA and GSV is the table's number plus this.
  std::uint16_t idOffset;
  char systemId;  // GSA field 18
  char signalId;  // GSV's last field: the signal the SNR is for
};

// GPS L1 C/A, GLONASS L1 OF and BeiDou B1I are signal 1; Galileo E1 B/C is 7.
inline constexpr ConstellationInfo kConstellationInfo[] = {
    {"GPS", "gps", "", {'G', 'P'}, 32, 0, '1', '1'},
    {"GLONASS", "glonass", "GL", {'G', 'L'}, 24, 64, '2', '1'},
    {"Galileo", "galileo", "GA", {'G', 'A'}, 36, 0, '3', '7'},
    {"BeiDou", "beidou", "GB", {'G', 'B'}, 63, 0, '4', '1'},
};

constexpr const ConstellationInfo& constellationInfo(Constellation c) {
  return kConstellationInfo[static_cast<std::size_t>(c)];
}

enum class OutputProfile : std::uint8_t {
  classic,  // GP talkers, GPS only, fixed GSA slots: byte for byte the original output
  nmea41,   // GN fix sentences, GSA and GSV per constellation, NMEA 4.11 fields
};

enum class ZdaForm : std::uint8_t {
  classic,   // the date as one field, ddmmyyyy
  standard,  // day, month and year in three fields, as NMEA 0183 has them
};

struct OutputFormat {
  OutputProfile profile = OutputProfile::classic;
  // Unset: the profile's own, classic for classic and standard for nmea41.
  std::optional<ZdaForm> zda;
  // The systems whose satellites the nmea41 sentences report; the classic
  // profile reports GPS whatever this holds.
  Constellations constellations = Constellations::all();
  // Empty, or two uppercase letters that every sentence carries as its talker
  // instead of its own, for clients that accept only one; in nmea41 with one
  // satellite system only (talkerProblem).
  std::string talker;

  friend bool operator==(const OutputFormat&, const OutputFormat&) = default;
};

// The ZDA form the format writes.
constexpr ZdaForm zdaFormOf(const OutputFormat& format) {
  if (format.zda) return *format.zda;
  return format.profile == OutputProfile::nmea41 ? ZdaForm::standard : ZdaForm::classic;
}

// Why the generator refuses `format`, or null: a talker for every sentence
// with several satellite systems in nmea41. Under one talker their GSV
// sentences would number the satellites alike (GPS 1, Galileo 1, BeiDou 1),
// and a client that starts its sky afresh with each run of a talker's GSV
// would keep only the last system's.
inline const char* talkerProblem(const OutputFormat& format) {
  if (format.talker.empty() || format.profile == OutputProfile::classic) return nullptr;
  int systems = 0;
  for (const Constellation c : kConstellations)
    systems += format.constellations.contains(c) ? 1 : 0;
  if (systems <= 1) return nullptr;
  return "One talker for every sentence takes one satellite system: under one talker the "
         "satellites of several would share numbers in GSV.";
}

}  // namespace waymock::generator
