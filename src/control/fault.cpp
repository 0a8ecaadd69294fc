#include "control/fault.h"

#include <array>
#include <cmath>
#include <nlohmann/json.hpp>
#include <utility>

#include "support/error.h"
#include "support/sentence_type.h"

namespace waymock::control {

namespace {

constexpr std::array<std::pair<FaultType, std::string_view>, 11> kNames = {{
    {FaultType::noFix, "no-fix"},
    {FaultType::frozenFix, "frozen-fix"},
    {FaultType::jump, "jump"},
    {FaultType::badChecksum, "bad-checksum"},
    {FaultType::dropout, "dropout"},
    {FaultType::dropSentence, "drop-sentence"},
    {FaultType::truncatedLine, "truncated-line"},
    {FaultType::timeShift, "time-shift"},
    {FaultType::leapSecond, "leap-second"},
    {FaultType::satellitesLost, "satellites-lost"},
    {FaultType::hdopDegrade, "hdop-degrade"},
}};

// A GPS receiver that counts weeks in ten bits reads dates 1024 weeks early.
constexpr double kWeekRollover = -1024.0 * 7 * 86400;

double number(const nlohmann::json& object, const std::string& key) {
  const nlohmann::json& value = object.at(key);
  if (!value.is_number() || !std::isfinite(value.get<double>())) {
    raise("\"" + key + "\" must be a number.");
  }
  return value.get<double>();
}

// Letters of a sentence type, with or without its talker: "GGA", "GPGGA".
std::string sentenceTypeOf(const nlohmann::json& object) {
  const nlohmann::json& value = object.at("sentence");
  const auto type = sentenceType(value.is_string() ? value.get<std::string>() : std::string());
  if (!type) raise("\"sentence\" must be a sentence type such as \"GGA\" or \"GPGGA\".");
  return *type;
}

}  // namespace

std::string_view faultName(FaultType type) {
  for (const auto& [t, name] : kNames) {
    if (t == type) return name;
  }
  return "";
}

std::optional<FaultType> faultType(std::string_view name) {
  for (const auto& [t, n] : kNames) {
    if (n == name) return t;
  }
  return std::nullopt;
}

std::vector<std::string_view> faultNameList() {
  std::vector<std::string_view> names;
  for (const auto& [t, name] : kNames) names.push_back(name);
  return names;
}

std::string faultNames() {
  std::string all;
  for (const auto& [t, name] : kNames) all += (all.empty() ? "" : ", ") + std::string(name);
  return all;
}

Fault faultFromJson(const nlohmann::json& object, std::initializer_list<std::string_view> ignored) {
  if (!object.is_object()) raise("A fault must be a JSON object.");
  if (!object.contains("type") || !object["type"].is_string()) {
    raise("A fault needs a \"type\": one of " + faultNames() + ".");
  }
  const std::string name = object["type"].get<std::string>();
  const auto type = faultType(name);
  if (!type) raise("Unknown fault type \"" + name + "\"; the types are " + faultNames() + ".");
  Fault fault;
  fault.type = *type;
  const bool once = fault.type == FaultType::jump || fault.type == FaultType::leapSecond;
  for (const auto& [key, value] : object.items()) {
    if (key == "type") continue;
    bool skip = false;
    for (std::string_view i : ignored) skip = skip || key == i;
    if (skip) continue;
    const auto refuse = [&] { raise("A " + name + " fault has no \"" + key + "\"."); };
    if (key == "seconds" && !once) {
      fault.seconds = number(object, key);
      if (!(*fault.seconds > 0)) raise("\"seconds\" must be more than 0.");
    } else if (key == "bursts" && !once) {
      if (!value.is_number_integer() || value.get<long long>() < 1) {
        raise("\"bursts\" must be a whole number, at least 1.");
      }
      fault.bursts = value.get<long long>();
    } else if (key == "sentence" &&
               (fault.type == FaultType::badChecksum || fault.type == FaultType::dropSentence ||
                fault.type == FaultType::truncatedLine)) {
      fault.sentence = sentenceTypeOf(object);
    } else if (key == "metres" && fault.type == FaultType::jump) {
      fault.metres = number(object, key);
      if (!(fault.metres > 0) || fault.metres > 20'000'000) {
        raise("\"metres\" must be more than 0 and at most 20000000.");
      }
    } else if (key == "bearing" && fault.type == FaultType::jump) {
      fault.bearing = number(object, key);
      if (fault.bearing < 0 || fault.bearing >= 360) {
        raise("\"bearing\" must be from 0 up to 360 degrees.");
      }
    } else if ((key == "shift_seconds" || key == "shift_days") &&
               fault.type == FaultType::timeShift) {
      fault.shiftSeconds += number(object, key) * (key == "shift_days" ? 86400 : 1);
    } else if (key == "rollover" && fault.type == FaultType::timeShift) {
      if (value != "gps-week") raise("\"rollover\" can only be \"gps-week\".");
      fault.shiftSeconds += kWeekRollover;
    } else if (key == "hdop" && fault.type == FaultType::hdopDegrade) {
      fault.hdop = number(object, key);
      if (!(fault.hdop > 0) || fault.hdop > 99.99)
        raise("\"hdop\" must be more than 0 and at most 99.99.");
    } else {
      refuse();
    }
  }
  if (fault.seconds && fault.bursts) raise("A fault lasts \"seconds\" or \"bursts\", not both.");
  if (fault.type == FaultType::jump && fault.metres == 0) raise("A jump needs \"metres\".");
  if (fault.type == FaultType::dropSentence && fault.sentence.empty()) {
    raise("A drop-sentence fault needs a \"sentence\".");
  }
  if (fault.type == FaultType::truncatedLine && fault.sentence.empty()) fault.sentence = "GGA";
  if (fault.type == FaultType::hdopDegrade && fault.hdop == 0) fault.hdop = 20;
  if (fault.type == FaultType::timeShift && fault.shiftSeconds == 0) {
    raise("A time-shift needs \"shift_seconds\", \"shift_days\" or \"rollover\".");
  }
  if (!fault.seconds && !fault.bursts) fault.bursts = 1;
  if (once) fault.bursts = 1;
  return fault;
}

}  // namespace waymock::control
