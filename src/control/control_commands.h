#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace waymock::control {

class ControlTarget;
class FaultSchedule;

// The control channel's protocol: one JSON object per request line, such as
// {"cmd":"set","lat":48.5,"lon":-11.25,"speed_kmh":40}, and one reply line,
// {"ok":true,...} or {"ok":false,"error":"why"}. A request that is refused
// changes nothing. Commands: status, set, start, stop, pause, resume, move,
// fault, subscribe; a field a command does not know is refused, so a typing
// slip in a script shows at once.
class ControlCommands {
 public:
  ControlCommands(ControlTarget& target, FaultSchedule& faults);

  // The reply to one request line; `subscribe` is set when the client is to
  // receive the stream (every burst sent and every fault event).
  std::string answer(std::string_view request, bool& subscribe);
  nlohmann::json answerRequest(const nlohmann::json& request, bool& subscribe);

 private:
  struct Command;
  static const std::vector<Command>& commands();
  static std::string commandNames();

  nlohmann::json status(const nlohmann::json& request);
  nlohmann::json set(const nlohmann::json& request);
  nlohmann::json start(const nlohmann::json& request);
  nlohmann::json stop(const nlohmann::json& request);
  nlohmann::json pause(const nlohmann::json& request);
  nlohmann::json resume(const nlohmann::json& request);
  nlohmann::json move(const nlohmann::json& request);
  nlohmann::json fault(const nlohmann::json& request);

  ControlTarget& target_;
  FaultSchedule& faults_;
};

// The stream's lines, as subscribed clients receive them: a burst sent, with
// the UTC time it was sent (ISO 8601, milliseconds), and a fault beginning or
// ending at a run time.
std::string burstStreamLine(const std::string& burst, double unixSeconds);
struct FaultEvent;
std::string faultStreamLine(const FaultEvent& event);

}  // namespace waymock::control
