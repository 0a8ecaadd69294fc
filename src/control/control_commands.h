#pragma once

#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace waymock {
class BackgroundWork;
}

namespace waymock::control {

class ControlTarget;
class FaultSchedule;

// The control channel's protocol: one JSON object per request line, such as
// {"cmd":"set","lat":48.5,"lon":-11.25,"speed_kmh":40}, and one reply line,
// {"ok":true,...} or {"ok":false,"error":"why"}. A request that is refused
// changes nothing. Commands: status, set, start, stop, pause, resume, move,
// fault, subscribe; a field a command does not know is refused, so a typing
// slip in a script shows at once. Replies never quote a file's contents: a
// client may name any file the simulator's user can read.
//
// A move along a route is answered once the route is in use, or refused: its
// file is read on `work`'s thread while the tick goes on (at once without
// one), and a later move wins over one still loading. A start is answered
// when the target says it is under way.
class ControlCommands {
 public:
  using Reply = std::function<void(std::string_view line)>;

  ControlCommands(ControlTarget& target, FaultSchedule& faults, BackgroundWork* work = nullptr);

  // Answers one request line through `reply`, now or later; sets `subscribe`
  // when the client is to receive the stream (every burst sent and every
  // fault event).
  void answer(std::string_view request, const Reply& reply, bool& subscribe);
  // The reply when it comes at once; empty when it is to come later.
  std::string answer(std::string_view request, bool& subscribe);

 private:
  struct Command;
  static const std::vector<Command>& commands();
  static std::string commandNames();
  // The reply now, or nothing when `reply` is to be called later.
  std::optional<nlohmann::json> answerRequest(const nlohmann::json& request, const Reply& reply,
                                              bool& subscribe);

  std::optional<nlohmann::json> status(const nlohmann::json& request, const Reply& reply);
  std::optional<nlohmann::json> set(const nlohmann::json& request, const Reply& reply);
  std::optional<nlohmann::json> start(const nlohmann::json& request, const Reply& reply);
  std::optional<nlohmann::json> stop(const nlohmann::json& request, const Reply& reply);
  std::optional<nlohmann::json> pause(const nlohmann::json& request, const Reply& reply);
  std::optional<nlohmann::json> resume(const nlohmann::json& request, const Reply& reply);
  std::optional<nlohmann::json> move(const nlohmann::json& request, const Reply& reply);
  std::optional<nlohmann::json> fault(const nlohmann::json& request, const Reply& reply);

  ControlTarget& target_;
  FaultSchedule& faults_;
  BackgroundWork* work_;
  // Moves asked for so far; a route that loaded after a later move came is
  // not used. Shared with the loads, which outlive these commands.
  std::shared_ptr<long long> moves_ = std::make_shared<long long>(0);
};

// The reply line of a JSON reply, strings kept as sent (bytes that are no
// UTF-8 replaced).
std::string replyLine(const nlohmann::json& reply);
// {"ok":false,"error":why}.
nlohmann::json refusal(const std::string& why);

// The stream's lines, as subscribed clients receive them: a burst sent, with
// the UTC time it was sent (ISO 8601, milliseconds), and faults of a type
// beginning, ending or skipped at a run time, with their count.
std::string burstStreamLine(const std::string& burst, double unixSeconds);
struct FaultEvent;
std::string faultStreamLine(const FaultEvent& event);

}  // namespace waymock::control
