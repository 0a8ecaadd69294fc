#include "control/scenario.h"

#include <unistd.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "control/json_depth.h"
#include "support/error.h"
#include "support/regular_file.h"
#include "support/shown_text.h"

namespace waymock::control {

namespace {

// Far beyond any scenario; a bigger file is a mistake, not one to load whole.
constexpr std::size_t kMaxBytes = 16 * 1024 * 1024;
// Events are three levels down; deeper nesting only costs memory.
constexpr int kDeepest = 16;

double seconds(const nlohmann::json& event, const char* key) {
  const nlohmann::json& value = event[key];
  if (!value.is_number() || !std::isfinite(value.get<double>()) || value.get<double>() < 0) {
    raise(std::string("\"") + key + "\" must be a number of seconds, 0 or more.");
  }
  return value.get<double>();
}

ScheduledFault scheduledFault(const nlohmann::json& event) {
  if (!event.is_object()) raise("An event must be a JSON object.");
  ScheduledFault s;
  s.fault = faultFromJson(event, {"at", "every"});
  if (!event.contains("at") && !event.contains("every"))
    raise("An event needs \"at\" or \"every\".");
  if (event.contains("every")) {
    s.every = seconds(event, "every");
    if (*s.every <= 0) raise("\"every\" must be more than 0 seconds.");
    s.at = *s.every;
  }
  if (event.contains("at")) s.at = seconds(event, "at");
  return s;
}

}  // namespace

std::vector<ScheduledFault> parseScenario(const std::string& text, const std::string& source) {
  const std::string where = "The scenario file " + shownText(source, 1024);
  if (nestedDeeperThan(text, kDeepest)) {
    raise(where + " nests deeper than " + std::to_string(kDeepest) + " levels.");
  }
  const nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
  if (document.is_discarded()) raise(where + " is not JSON.");
  if (!document.is_object() || !document.contains("events") || !document["events"].is_array()) {
    raise(where + " has no list of \"events\".");
  }
  for (const auto& item : document.items()) {
    if (item.key() != "events") {
      raise(where + " has \"" + shownText(item.key(), 40) +
            "\", which a scenario does not have; it holds \"events\" only.");
    }
  }
  std::vector<ScheduledFault> result;
  std::size_t number = 0;
  for (const nlohmann::json& event : document["events"]) {
    ++number;
    try {
      result.push_back(scheduledFault(event));
    } catch (const Error& e) {
      raise(where + ", event " + std::to_string(number) + ": " + e.what());
    }
  }
  return result;
}

std::vector<ScheduledFault> readScenario(const std::string& path) {
  const std::string shown = shownText(path, 1024);
  RegularFile file(path);
  switch (file.status()) {
    case RegularFile::Status::missing:
      raiseIo("The scenario file " + shown + " does not exist.");
    case RegularFile::Status::notRegular:
      raiseIo("The scenario file " + shown + " is not a file.");
    case RegularFile::Status::failed:
      raiseIo("Cannot read the scenario file " + shown + ".", file.error());
    case RegularFile::Status::open:
      break;
  }
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(file.fd(), buffer, sizeof buffer);
    if (n < 0) raiseIo("Cannot read the scenario file " + shown + ".", errno);
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() > kMaxBytes) raise("The scenario file " + shown + " is larger than 16 MiB.");
  }
  return parseScenario(text, path);
}

}  // namespace waymock::control
