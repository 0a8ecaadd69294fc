#pragma once

#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace waymock::control {

// The faults a scenario or a control client injects into the transmission.
enum class FaultType {
  noFix,           // quality 0, status V, empty position fields
  frozenFix,       // the burst of the fault's first tick, repeated as it was
  jump,            // the fix moves by a distance and bearing, once
  badChecksum,     // wrong checksums, on every sentence or one type
  dropout,         // nothing sent
  dropSentence,    // one sentence type left out
  truncatedLine,   // one sentence type cut off in the middle
  timeShift,       // the time and date fields skewed (a clock error, a rollover)
  leapSecond,      // one tick whose time fields say 23:59:60
  satellitesLost,  // every satellite's signal 0
  hdopDegrade,     // the horizontal dilution raised
};

// One fault and its parameters. It lasts `seconds` of run time, or `bursts`
// transmissions; a jump and a leap second take one tick.
struct Fault {
  FaultType type = FaultType::noFix;
  std::optional<double> seconds;
  std::optional<long long> bursts;
  std::string sentence;     // "GGA" (any talker); empty: every sentence (bad checksum)
  double metres = 0;        // jump
  double bearing = 0;       // jump, degrees clockwise from north
  double shiftSeconds = 0;  // time shift, days and weeks included
  double hdop = 0;          // HDOP degrade
};

// A fault at a time of the run: first `at` seconds after the start, then
// every `every` seconds when given.
struct ScheduledFault {
  Fault fault;
  double at = 0;
  std::optional<double> every;
};

// The name used in files and messages ("no-fix"), and back; nothing for an
// unknown name.
std::string_view faultName(FaultType type);
std::optional<FaultType> faultType(std::string_view name);
// Every fault's name, in the order messages and helps list them.
std::vector<std::string_view> faultNameList();
// "no-fix, frozen-fix, ..." for messages.
std::string faultNames();

// Reads a fault from a JSON object's "type" and parameters. Throws Error
// naming the field and why for an unknown type or field, a value of the wrong
// kind or out of range. `ignored` names the fields the caller reads itself
// ("cmd", "at", "every").
Fault faultFromJson(const nlohmann::json& object, std::initializer_list<std::string_view> ignored);

}  // namespace waymock::control
