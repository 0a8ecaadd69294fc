// waymock-cli ctl: the shell's client of a running simulator's control
// channel. Sends one request, prints the reply line, and exits 1 when the
// reply says "ok": false; subscribe prints the stream line by line.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/fix_options.h"
#include "cli/port_options.h"
#include "cli/unknown_words.h"
#include "control/fault.h"
#include "platform/control_socket.h"
#include "platform/socket_address.h"
#include "support/error.h"
#include "support/shown_text.h"

namespace waymock::cli {

namespace {

using nlohmann::json;

struct CtlOptions {
  std::string socket;              // --socket; empty: the default path
  std::optional<std::string> tcp;  // --tcp [HOST:]PORT
  json request = json::object();
  std::optional<long long> lines;  // subscribe: stop after N lines
};

// A connected stream to the simulator; throws RuntimeFailure saying why not.
int connectTo(const CtlOptions& o) {
  if (o.tcp) {
    const auto colon = o.tcp->rfind(':');
    std::string host = colon == std::string::npos ? "127.0.0.1" : o.tcp->substr(0, colon);
    if (host.starts_with('[') && host.ends_with(']')) host = host.substr(1, host.size() - 2);
    const std::string portText = colon == std::string::npos ? *o.tcp : o.tcp->substr(colon + 1);
    int error = 0;
    std::optional<SocketAddress> address = lookUpHost(host, SOCK_STREAM, false, error);
    int port = 0;
    try {
      port = std::stoi(portText);
    } catch (const std::exception&) {
      port = -1;
    }
    if (!address || port < 1 || port > 65535) {
      raise("--tcp: \"" + shownText(*o.tcp) + "\" is not [HOST:]PORT.");
    }
    address->setPort(port);
    const int fd = ::socket(address->family(), SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, address->get(), address->length()) != 0) {
      raiseIo("Cannot reach a simulator at " + hostPortText(host, port) + ".", errno);
    }
    return fd;
  }
  const std::string path = o.socket.empty() ? defaultControlSocketPath() : o.socket;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) raise("--socket: the path is too long.");
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int error = errno;
    if (fd >= 0) ::close(fd);
    raiseIo("Cannot reach a simulator at " + shownText(path) +
                " (is waymock-cli run --control running?).",
            error);
  }
  return fd;
}

// Reads one line (without its end); nothing once the simulator has closed.
std::optional<std::string> readLine(int fd, std::string& pending) {
  for (;;) {
    const auto end = pending.find('\n');
    if (end != std::string::npos) {
      std::string line = pending.substr(0, end);
      pending.erase(0, end + 1);
      return line;
    }
    char buffer[65536];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::nullopt;
    pending.append(buffer, static_cast<std::size_t>(n));
  }
}

int ctl(const CtlOptions& o) {
  const int fd = connectTo(o);
  const std::unique_ptr<int, void (*)(int*)> closer(new int(fd), [](int* f) {
    ::close(*f);
    delete f;
  });
  const std::string line = o.request.dump() + "\n";
  if (::send(fd, line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size())) {
    raiseIo("Cannot send the request.", errno);
  }
  std::string pending;
  const auto reply = readLine(fd, pending);
  if (!reply) throw RuntimeFailure("The simulator closed the connection without a reply.");
  std::cout << *reply << std::endl;
  const json parsed = json::parse(*reply, nullptr, false);
  const bool ok = parsed.is_object() && parsed.value("ok", false);
  if (!ok || o.request["cmd"] != "subscribe") return ok ? 0 : 1;
  for (long long n = 0; !o.lines || n < *o.lines; ++n) {
    const auto event = readLine(fd, pending);
    if (!event) break;
    std::cout << *event << std::endl;
    if (!std::cout) break;
  }
  return 0;
}

// A number option whose value lands in the request under `key`.
void numberField(CLI::App& command, const std::string& name, const char* key, CtlOptions& o,
                 const std::string& help, double scale = 1) {
  command
      .add_option_function<std::string>(
          name,
          [&o, key, name, scale](const std::string& text) {
            o.request[key] = static_cast<double>(parseNumber(text, name)) * scale;
          },
          help)
      ->type_name("NUMBER");
}

void wholeField(CLI::App& command, const std::string& name, const char* key, CtlOptions& o,
                const std::string& help) {
  decimalOnly(command.add_option_function<long long>(
                  name, [&o, key](long long value) { o.request[key] = value; }, help))
      ->type_name("N");
}

// A fault type the simulator knows, checked before anything is sent so that
// a slip is named with the type meant. The help lists the types as
// "{no-fix,...}", where the shell's completion reads them.
CLI::Validator faultTypeName() {
  std::vector<std::string> names;
  std::string choices;
  for (const auto name : control::faultNameList()) {
    names.emplace_back(name);
    choices += (choices.empty() ? "{" : ",") + names.back();
  }
  return CLI::Validator(
      [names](std::string& type) -> std::string {
        if (std::find(names.begin(), names.end(), type) != names.end()) return {};
        const std::string message = "Unknown fault type \"" + shownText(type) + "\"; ";
        if (const auto meant = closestWord(type, names)) {
          raise(message + "did you mean \"" + *meant + "\"?");
        }
        raise(message + "the types are " + control::faultNames() + ".");
      },
      choices + "}", "fault type");
}

}  // namespace

void addCtlCommand(CLI::App& app, Action& action) {
  auto* cmd = app.add_subcommand(
      "ctl",
      "Steer a simulator started with waymock-cli run --control: send one command, print the "
      "reply (JSON) and exit 1 when it says \"ok\": false");
  cmd->require_subcommand(1);
  auto o = std::make_shared<CtlOptions>();
  cmd->add_option("--socket", o->socket,
                  "The simulator's control socket (default " + defaultControlSocketPath() + ")")
      ->type_name("PATH");
  cmd->add_option("--tcp", o->tcp, "Reach the simulator on TCP instead, as --control-tcp gave")
      ->type_name("[HOST:]PORT")
      ->excludes("--socket");
  const auto simple = [&](const char* name, const char* help) {
    auto* sub = cmd->add_subcommand(name, help);
    // --socket and --tcp may come after the subcommand too.
    sub->fallthrough();
    sub->callback([o, name] { o->request["cmd"] = name; });
    return sub;
  };
  simple("status", "Print the fix, the state, the targets and the bursts sent");
  simple("start", "Open the port and transmit from the start position");
  simple("stop", "Stop transmitting and close the port; the fix returns to the start position");
  simple("pause", "Hold the transmission");
  simple("resume", "Go on after pause");
  auto* set =
      simple("set", "Change the fix; positions in decimal degrees, north and east positive");
  numberField(*set, "--lat", "lat", *o, "Latitude, -90 to 90 (with --lon)");
  numberField(*set, "--lon", "lon", *o, "Longitude, -180 to 180 (with --lat)");
  numberField(*set, "--alt", "alt", *o, "Altitude in metres");
  numberField(*set, "--speed", "speed_kmh", *o, "Speed in km/h");
  numberField(*set, "--speed-knots", "speed_knots", *o, "Speed in knots");
  numberField(*set, "--heading", "heading", *o, "Heading, 0 up to 360");
  numberField(*set, "--pdop", "pdop", *o, "Position dilution of precision");
  numberField(*set, "--hdop", "hdop", *o, "Horizontal dilution of precision");
  numberField(*set, "--vdop", "vdop", *o, "Vertical dilution of precision");
  auto* move = simple("move",
                      "Make the fix travel at --speed along --heading, along a --route, or by "
                      "the steps again (--steps)");
  numberField(*move, "--speed", "speed_kmh", *o, "Speed in km/h");
  numberField(*move, "--heading", "heading", *o, "Heading, 0 up to 360");
  move->add_option_function<std::string>(
          "--route",
          // The simulator may run in another folder than the shell that asks.
          [o](const std::string& file) {
            o->request["route"] = std::filesystem::absolute(file).string();
          },
          "A route or track file (GPX, KML, CSV or an NMEA log) to follow at --speed, or at "
          "its own times with --track-time")
      ->type_name("FILE");
  move->add_flag_callback(
      "--track-time", [o] { o->request["track_time"] = true; },
      "With --route: at the track's own times, --rate times faster");
  numberField(*move, "--rate", "rate", *o, "With --track-time: how many times faster");
  move->add_option_function<std::string>(
          "--end", [o](const std::string& end) { o->request["end"] = end; },
          "With --route: stop, loop or reverse at its end")
      ->type_name("END");
  move->add_flag_callback(
      "--steps", [o] { o->request["steps"] = true; }, "Back to the fixed steps");
  auto* fault = simple("fault", "Inject a fault from the next burst on");
  fault
      ->add_option_function<std::string>(
          "type", [o](const std::string& type) { o->request["type"] = type; },
          "The fault to inject")
      ->required()
      ->type_name("TYPE")
      ->check(faultTypeName());
  numberField(*fault, "--seconds", "seconds", *o, "How long it lasts, in seconds of the run");
  wholeField(*fault, "--bursts", "bursts", *o, "How long it lasts, in bursts (default 1)");
  fault
      ->add_option_function<std::string>(
          "--sentence", [o](const std::string& type) { o->request["sentence"] = type; },
          "The sentence type it acts on, e.g. GGA")
      ->type_name("TYPE");
  numberField(*fault, "--metres", "metres", *o, "jump: how far");
  numberField(*fault, "--bearing", "bearing", *o, "jump: which way, degrees from north");
  numberField(*fault, "--shift-seconds", "shift_seconds", *o, "time-shift: the clock's error");
  numberField(*fault, "--shift-days", "shift_days", *o, "time-shift: days added to the date");
  fault->add_flag_callback(
      "--gps-week-rollover", [o] { o->request["rollover"] = "gps-week"; },
      "time-shift: dates 1024 weeks early, as a receiver whose week count rolled over");
  numberField(*fault, "--hdop", "hdop", *o, "hdop-degrade: the HDOP sent (default 20)");
  auto* subscribe =
      simple("subscribe", "Print every burst sent and every fault event, one JSON line each");
  decimalOnly(subscribe->add_option("--lines", o->lines, "Stop after N lines of the stream")
                  ->type_name("N")
                  ->check(CLI::PositiveNumber));
  auto* send = cmd->add_subcommand("send", "Send a request written in JSON, as is");
  send->fallthrough();
  send->add_option_function<std::string>(
          "request",
          [o](const std::string& text) {
            const json parsed = json::parse(text, nullptr, false);
            if (!parsed.is_object()) raise("send: the request must be a JSON object.");
            o->request = parsed;
          },
          "The request, e.g. '{\"cmd\":\"status\"}'")
      ->required()
      ->type_name("JSON");
  cmd->callback([&action, o] { action = [o] { return ctl(*o); }; });
}

}  // namespace waymock::cli
