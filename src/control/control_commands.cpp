#include "control/control_commands.h"

#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "control/control_target.h"
#include "control/fault_schedule.h"
#include "control/generator_control.h"
#include "control/json_depth.h"
#include "engine/background_work.h"
#include "motion/motion.h"
#include "support/error.h"
#include "support/printed_number.h"
#include "support/value_bounds.h"

namespace waymock::control {

namespace {

using json = nlohmann::json;

// Far beyond any request; deeper nesting only costs memory.
constexpr int kDeepestRequest = 32;

// Reads a text that is not JSON again, to name the field whose value is a
// number JSON cannot hold (NaN, an infinity, 1e400), as scripts in some
// languages write them.
class UnreadableNumber : public nlohmann::json_sax<json> {
 public:
  std::string field;  // once parse_error found one

  bool null() override { return value(); }
  bool boolean(bool) override { return value(); }
  bool number_integer(number_integer_t) override { return value(); }
  bool number_unsigned(number_unsigned_t) override { return value(); }
  bool number_float(number_float_t, const string_t&) override { return value(); }
  bool string(string_t&) override { return value(); }
  bool binary(binary_t&) override { return value(); }
  bool start_object(std::size_t) override { return value(); }
  bool key(string_t& name) override {
    key_ = name;
    return true;
  }
  bool end_object() override { return true; }
  bool start_array(std::size_t) override { return true; }
  bool end_array() override { return true; }
  bool parse_error(std::size_t, const std::string& token,
                   const nlohmann::detail::exception&) override {
    // What was read up to the error ends where the value went wrong.
    const char last = token.empty() ? ' ' : token.back();
    if (key_ &&
        (std::isdigit(static_cast<unsigned char>(last)) != 0 || last == 'N' || last == 'I')) {
      field = *key_;
    }
    return false;
  }

 private:
  bool value() {
    key_.reset();
    return true;
  }
  std::optional<std::string> key_;
};

std::string notJson(std::string_view request) {
  UnreadableNumber reader;
  json::sax_parse(request, &reader);
  if (reader.field.empty()) return "The request is not JSON.";
  return "\"" + reader.field +
         "\" holds a number JSON cannot carry: NaN, infinities and numbers beyond about 1.8e308 "
         "are not JSON.";
}

// Whether `key` is one of the space-separated words of `fields`.
bool listed(std::string_view fields, std::string_view key) {
  while (!fields.empty()) {
    const auto space = fields.find(' ');
    if (fields.substr(0, space) == key) return true;
    if (space == std::string_view::npos) break;
    fields.remove_prefix(space + 1);
  }
  return false;
}

json ok() {
  return {{"ok", true}};
}

// Every number of a reply in the shortest form that reads back: a speed of 30
// km/h through metres a second and back is 30, not 30.000000000000004.
void shortenNumbers(json& value) {
  if (value.is_number_float()) {
    value = printedNumber(value.get<double>());
  } else if (value.is_structured()) {
    for (json& item : value) shortenNumbers(item);
  }
}

double numberIn(const json& request, const char* key, double low, double high, bool highOpen) {
  const json& value = request[key];
  if (!value.is_number() || !std::isfinite(value.get<double>())) {
    raise(std::string("\"") + key + "\" must be a number.");
  }
  const double v = value.get<double>();
  if (v < low || v > high || (highOpen && v == high)) {
    char text[160];
    std::snprintf(text, sizeof text, "\"%s\" must be from %g %s %g.", key, low,
                  highOpen ? "up to" : "to", high);
    raise(text);
  }
  return v;
}

std::optional<double> optionalNumber(const json& request, const char* key, double low, double high,
                                     bool highOpen = false) {
  if (!request.contains(key)) return std::nullopt;
  return numberIn(request, key, low, high, highOpen);
}

int wholeIn(const json& satellite, const char* key, int low, int high) {
  if (!satellite.contains(key) || !satellite[key].is_number_integer() ||
      satellite[key].get<long long>() < low || satellite[key].get<long long>() > high) {
    raise("Each satellite needs \"" + std::string(key) + "\", a whole number from " +
          std::to_string(low) + " to " + std::to_string(high) + ".");
  }
  return satellite[key].get<int>();
}

std::vector<SatelliteSetting> satellites(const json& list) {
  if (!list.is_array() || list.size() > 32) raise("\"satellites\" must be a list of at most 32.");
  std::vector<SatelliteSetting> result;
  for (const json& s : list) {
    if (!s.is_object()) raise("Each satellite must be a JSON object.");
    for (const auto& [key, value] : s.items()) {
      if (key != "prn" && key != "elevation" && key != "azimuth" && key != "snr" &&
          key != "active") {
        raise("A satellite has no \"" + key + "\".");
      }
    }
    SatelliteSetting setting;
    setting.prn = wholeIn(s, "prn", 1, 32);
    setting.elevation = wholeIn(s, "elevation", 0, 90);
    setting.azimuth = wholeIn(s, "azimuth", 0, 359);
    setting.snr = wholeIn(s, "snr", 0, 99);
    if (s.contains("active")) {
      if (!s["active"].is_boolean()) raise("A satellite's \"active\" must be true or false.");
      setting.active = s["active"].get<bool>();
    }
    for (const SatelliteSetting& earlier : result) {
      if (earlier.prn == setting.prn)
        raise("Satellite " + std::to_string(setting.prn) + " is given twice.");
    }
    result.push_back(setting);
  }
  return result;
}

std::string isoTime(double unixSeconds) {
  const auto whole = static_cast<std::time_t>(std::floor(unixSeconds));
  const int millis =
      static_cast<int>(std::lround((unixSeconds - std::floor(unixSeconds)) * 1000)) % 1000;
  std::tm parts{};
  gmtime_r(&whole, &parts);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", parts.tm_year + 1900,
                parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec, millis);
  return text;
}

// The request's way to move, checked.
MoveRequest moveRequest(const json& r) {
  MoveRequest m;
  if (r.contains("steps")) {
    if (r["steps"] != true || r.size() > 2) raise("\"steps\": true comes alone.");
    m.steps = true;
    return m;
  }
  m.speedKmh = optionalNumber(r, "speed_kmh", 0, kMaxSpeedKmh);
  m.heading = optionalNumber(r, "heading", 0, 360, true);
  if (r.contains("route")) {
    if (!r["route"].is_string() || r["route"].get<std::string>().empty()) {
      raise("\"route\" must name a route file.");
    }
    if (m.heading) raise("A route sets the heading itself; give \"speed_kmh\" only.");
    if (r.contains("track_time")) {
      if (!r["track_time"].is_boolean()) raise("\"track_time\" must be true or false.");
      m.trackTime = r["track_time"].get<bool>();
    }
    if (m.trackTime) {
      if (m.speedKmh) raise("A route at its track's times takes no \"speed_kmh\".");
      if (const auto rate = optionalNumber(r, "rate", 0, 1e6)) {
        if (*rate <= 0) raise("\"rate\" must be more than 0.");
        m.rate = *rate;
      }
    } else {
      if (r.contains("rate")) raise("\"rate\" applies only with \"track_time\": true.");
      if (!m.speedKmh || *m.speedKmh <= 0) {
        raise("A route needs \"speed_kmh\", more than 0, or \"track_time\": true.");
      }
    }
    m.route = r["route"].get<std::string>();
    if (r.contains("end")) {
      if (r["end"] != "stop" && r["end"] != "loop" && r["end"] != "reverse") {
        raise("\"end\" must be stop, loop or reverse.");
      }
      m.end = r["end"].get<std::string>();
    }
  } else {
    for (const char* key : {"end", "track_time", "rate"}) {
      if (r.contains(key)) raise(std::string("\"") + key + "\" applies only with a \"route\".");
    }
    if (!m.speedKmh || !m.heading) {
      raise("\"move\" needs \"speed_kmh\" and \"heading\", or a \"route\", or \"steps\": true.");
    }
  }
  return m;
}

}  // namespace

struct ControlCommands::Command {
  std::string_view name;
  std::string_view fields;  // besides "cmd", separated by spaces
  std::optional<json> (ControlCommands::*handler)(const json&, const Reply&);
};

// The command table: each command, the fields it takes, its handler.
const std::vector<ControlCommands::Command>& ControlCommands::commands() {
  static const std::vector<Command> table = {
      {"status", "", &ControlCommands::status},
      {"set", "lat lon alt speed_kmh speed_knots heading pdop hdop vdop satellites",
       &ControlCommands::set},
      {"start", "", &ControlCommands::start},
      {"stop", "", &ControlCommands::stop},
      {"pause", "", &ControlCommands::pause},
      {"resume", "", &ControlCommands::resume},
      {"move", "speed_kmh heading route end track_time rate steps", &ControlCommands::move},
      {"fault",
       "type seconds bursts sentence metres bearing shift_seconds shift_days rollover hdop",
       &ControlCommands::fault},
      // Answered here: it changes the connection, not the simulator.
      {"subscribe", "", nullptr},
  };
  return table;
}

std::string ControlCommands::commandNames() {
  std::string all;
  for (const Command& c : commands()) all += (all.empty() ? "" : ", ") + std::string(c.name);
  return all;
}

ControlCommands::ControlCommands(ControlTarget& target, FaultSchedule& faults, BackgroundWork* work)
    : target_(target), faults_(faults), work_(work) {}

void ControlCommands::answer(std::string_view request, const Reply& reply, bool& subscribe) {
  std::optional<json> now;
  if (nestedDeeperThan(request, kDeepestRequest)) {
    now = refusal("The request nests deeper than " + std::to_string(kDeepestRequest) + " levels.");
  } else if (const json parsed = json::parse(request, nullptr, false); parsed.is_discarded()) {
    now = refusal(notJson(request));
  } else {
    now = answerRequest(parsed, reply, subscribe);
  }
  if (now) reply(replyLine(*now));
}

std::string ControlCommands::answer(std::string_view request, bool& subscribe) {
  std::string now;
  answer(
      request, [&now](std::string_view line) { now = line; }, subscribe);
  return now;
}

std::optional<json> ControlCommands::answerRequest(const json& request, const Reply& reply,
                                                   bool& subscribe) {
  try {
    if (!request.is_object()) raise("The request must be a JSON object.");
    if (!request.contains("cmd") || !request["cmd"].is_string()) {
      raise("The request has no \"cmd\"; the commands are " + commandNames() + ".");
    }
    const std::string name = request["cmd"].get<std::string>();
    for (const Command& c : commands()) {
      if (c.name != name) continue;
      for (const auto& [key, value] : request.items()) {
        if (key != "cmd" && !listed(c.fields, key))
          raise("\"" + name + "\" has no field \"" + key + "\".");
      }
      if (c.handler == nullptr) {
        subscribe = true;
        return ok();
      }
      return (this->*c.handler)(request, reply);
    }
    raise("Unknown command \"" + name + "\"; the commands are " + commandNames() + ".");
  } catch (const std::exception& e) {
    return refusal(e.what());
  }
}

std::optional<json> ControlCommands::status(const json&, const Reply&) {
  json reply = target_.status();
  reply["ok"] = true;
  reply["faults"] = faults_.activeNames();
  reply["run_seconds"] = faults_.runSeconds();
  shortenNumbers(reply);
  return reply;
}

std::optional<json> ControlCommands::set(const json& r, const Reply&) {
  FixChange c;
  if (r.contains("lat") != r.contains("lon")) raise("\"lat\" and \"lon\" come together.");
  if (r.contains("speed_kmh") && r.contains("speed_knots")) {
    raise("Give \"speed_kmh\" or \"speed_knots\", not both.");
  }
  c.latitude = optionalNumber(r, "lat", -90, 90);
  c.longitude = optionalNumber(r, "lon", -180, 180);
  c.altitude = optionalNumber(r, "alt", kMinAltitude, kMaxAltitude);
  c.speedKmh = optionalNumber(r, "speed_kmh", 0, kMaxSpeedKmh);
  c.speedKnots = optionalNumber(r, "speed_knots", 0, 5000);
  c.heading = optionalNumber(r, "heading", 0, 360, true);
  c.pdop = optionalNumber(r, "pdop", 0, 99.99);
  c.hdop = optionalNumber(r, "hdop", 0, 99.99);
  c.vdop = optionalNumber(r, "vdop", 0, 99.99);
  if (r.contains("satellites")) c.satellites = satellites(r["satellites"]);
  target_.change(c);
  return ok();
}

std::optional<json> ControlCommands::start(const json&, const Reply& reply) {
  target_.start([reply](const std::optional<std::string>& error) {
    reply(replyLine(error ? refusal(*error) : ok()));
  });
  return std::nullopt;
}

std::optional<json> ControlCommands::stop(const json&, const Reply&) {
  target_.stop();
  return ok();
}

std::optional<json> ControlCommands::pause(const json&, const Reply&) {
  target_.pause();
  return ok();
}

std::optional<json> ControlCommands::resume(const json&, const Reply&) {
  target_.resume();
  return ok();
}

std::optional<json> ControlCommands::move(const json& r, const Reply& reply) {
  const MoveRequest m = moveRequest(r);
  const long long number = ++*moves_;
  if (!m.route) {
    target_.move(m, nullptr);
    return ok();
  }
  if (work_ == nullptr) {
    target_.move(m, loadRouteMotion(m));
    return ok();
  }
  // The file is read off the tick's thread; the reply comes when the route
  // is in use, or refused.
  work_->post([this, m, number, reply, moves = std::weak_ptr<long long>(moves_)] {
    // Held in a box: a step is copied, a motion is not.
    auto route = std::make_shared<std::unique_ptr<motion::Motion>>();
    std::string error;
    try {
      *route = loadRouteMotion(m);
    } catch (const std::exception& e) {
      error = e.what();
    }
    return [this, m, number, reply, moves, route, error] {
      const auto current = moves.lock();
      if (!error.empty()) {
        reply(replyLine(refusal(error)));
      } else if (!current || *current != number) {
        reply(replyLine(refusal("A later move came before this route was ready; it is not used.")));
      } else {
        try {
          target_.move(m, std::move(*route));
          reply(replyLine(ok()));
        } catch (const std::exception& e) {
          reply(replyLine(refusal(e.what())));
        }
      }
    };
  });
  return std::nullopt;
}

std::optional<json> ControlCommands::fault(const json& r, const Reply&) {
  faults_.inject(faultFromJson(r, {"cmd"}));
  return ok();
}

std::string replyLine(const json& reply) {
  // Strings are kept as sent; bytes that are no UTF-8 are replaced in the reply.
  return reply.dump(-1, ' ', false, json::error_handler_t::replace);
}

json refusal(const std::string& why) {
  return {{"ok", false}, {"error", why}};
}

std::string burstStreamLine(const std::string& burst, double unixSeconds) {
  return json{{"event", "burst"}, {"time", isoTime(unixSeconds)}, {"text", burst}}.dump(
      -1, ' ', false, json::error_handler_t::replace);
}

std::string faultStreamLine(const FaultEvent& event) {
  return json{{"event", "fault"},
              {"type", faultName(event.type)},
              {"phase", phaseName(event.phase)},
              {"count", event.count},
              {"run_seconds", printedNumber(event.runSeconds)}}
      .dump();
}

}  // namespace waymock::control
