#include "window/window_fixture.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstring>
#include <thread>

namespace waymock::test {

namespace {

using namespace std::chrono_literals;

std::string firstLine(const std::string& text) {
  return text.substr(0, text.find('\n'));
}

bool hasLine(const std::string& out) {
  return out.find('\n') != std::string::npos;
}

}  // namespace

std::unique_ptr<Desktop> Desktop::make(bool windowManager, const std::vector<const char*>& tools) {
  for (const char* tool : tools) {
    if (findProgram(tool).empty()) return nullptr;
  }
  if (::access(kPython.c_str(), X_OK) != 0) return nullptr;
  return std::unique_ptr<Desktop>(new Desktop(windowManager));
}

Desktop* Desktop::bare() {
  static const std::unique_ptr<Desktop> desktop =
      make(false, {"Xvfb", "dbus-daemon", "dbus-send", "xdotool"});
  return desktop.get();
}

Desktop* Desktop::managed() {
  static const std::unique_ptr<Desktop> desktop = make(true, {"Xvfb", "openbox", "xdotool"});
  return desktop.get();
}

Desktop::Desktop(bool windowManager)
    : x_(std::make_unique<BackgroundProcess>(
          std::vector<std::string>{findProgram("Xvfb"), "-displayfd", "1", "-screen", "0",
                                   "1280x1024x24", "-nolisten", "tcp",
                                   // No reset when the last client leaves, which would
                                   // refuse the next test's first connection.
                                   "-noreset"})) {
  x_->waitForOutput(hasLine, 10s);
  display_ = std::string(":").append(firstLine(x_->out()));
  // The accessibility bus's launcher names its socket after the display in
  // the runtime folder it inherits from the session bus: suites that run at
  // the same time must not share that folder, or one's bus takes the other's
  // socket. The window manager keeps its own files there too.
  fs::permissions(runtime_.path(), fs::perms::owner_all);
  EnvGuard display("DISPLAY", display_);
  EnvGuard runtime("XDG_RUNTIME_DIR", runtime_.path().string());
  if (windowManager) {
    startWindowManager();
  } else {
    startBus();
  }
}

Desktop::~Desktop() {
  // The window manager goes before its display.
  windowManager_.reset();
}

void Desktop::startBus() {
  dbus_ = std::make_unique<BackgroundProcess>(std::vector<std::string>{
      findProgram("dbus-daemon"), "--session", "--nofork", "--print-address=1"});
  dbus_->waitForOutput(hasLine, 10s);
  bus_ = firstLine(dbus_->out());
  // The accessibility bus is started on the first request for its address;
  // on a busy machine that start outlasts the accessibility library's own
  // wait, so it is asked for once here, waiting as long as the start takes.
  EnvGuard bus("DBUS_SESSION_BUS_ADDRESS", bus_);
  runProcess({findProgram("dbus-send"), "--session", "--print-reply", "--reply-timeout=60000",
              "--dest=org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress"},
             {}, 70s);
}

void Desktop::startWindowManager() {
  EnvGuard home("HOME", runtime_.path().string());
  EnvGuard config("XDG_CONFIG_HOME", (runtime_ / "config").string());
  EnvGuard cache("XDG_CACHE_HOME", (runtime_ / "cache").string());
  EnvGuard noBus("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
  windowManager_ = std::make_unique<BackgroundProcess>(
      std::vector<std::string>{findProgram("openbox"), "--sm-disable"});
  // Ready once it names itself on the root window, as window managers do.
  xcb_connection_t* connection = xcb_connect(display_.c_str(), nullptr);
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  for (int wait = 0;
       wait < 200 && windowProperty(display_, root, "_NET_SUPPORTING_WM_CHECK").empty(); ++wait) {
    std::this_thread::sleep_for(50ms);
  }
  xcb_disconnect(connection);
}

Window::Window(const Start& start) : desktop_(*start.desktop) {
  if (start.home) {
    home_ = *start.home;
  } else {
    home_ = ownHome_.emplace().path();
  }
  fs::create_directories(runtime());
  fs::permissions(runtime(), fs::perms::owner_all);
  if (!start.settings.empty()) {
    fs::create_directories(settingsFile().parent_path());
    writeFile(settingsFile(), start.settings);
  }
  const auto ifAccessible = [&](const std::string& value) {
    return start.accessibility ? std::optional<std::string>(value) : std::nullopt;
  };
  const std::vector<std::pair<const char*, std::optional<std::string>>> environment = {
      {"HOME", home_.string()},
      {"XDG_CONFIG_HOME", (home_ / "config").string()},
      {"XDG_DATA_HOME", (home_ / "data").string()},
      {"XDG_CACHE_HOME", (home_ / "cache").string()},
      {"XDG_RUNTIME_DIR", runtime().string()},
      {"LC_ALL", start.locale},
      {"DISPLAY", desktop_.display()},
      {"DBUS_SESSION_BUS_ADDRESS", ifAccessible(desktop_.bus())},
      {"QT_QPA_PLATFORM", "xcb"},
      {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", ifAccessible("1")},
      {"QT_SCALE_FACTOR", start.scaleFactor},
      // Qt's own allocations at exit are not ours to chase here.
      {"ASAN_OPTIONS", "detect_leaks=0"},
  };
  std::vector<std::unique_ptr<EnvGuard>> guards;
  for (const auto& [name, value] : environment) {
    guards.push_back(std::make_unique<EnvGuard>(name, value));
  }
  process_ = std::make_unique<BackgroundProcess>(std::vector<std::string>{WAYMOCK_APP_PATH});
}

std::string Window::drive(const std::vector<std::string>& steps) {
  std::vector<std::string> args = {kPython, WAYMOCK_SOURCE_DIR "/tests/window/atspi_driver.py"};
  args.insert(args.end(), steps.begin(), steps.end());
  EnvGuard display("DISPLAY", desktop_.display());
  EnvGuard bus("DBUS_SESSION_BUS_ADDRESS", desktop_.bus());
  const ProcessResult r = runProcess(args, {}, 60s);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return r.out;
}

std::string Window::position() {
  const auto id = xWindow();
  if (!id) return {};
  EnvGuard display("DISPLAY", desktop_.display());
  const auto r =
      runProcess({findProgram("xdotool"), "getwindowgeometry", std::to_string(*id)}, {}, 10s);
  const auto at = r.out.find("Position: ");
  return at == std::string::npos ? r.out : r.out.substr(at, r.out.find(' ', at + 10) - at);
}

std::optional<xcb_window_t> Window::xWindow() {
  EnvGuard display("DISPLAY", desktop_.display());
  const auto r = runProcess(
      {findProgram("xdotool"), "search", "--sync", "--onlyvisible", "--name", "^Waymock$"}, {},
      20s);
  if (r.exitCode != 0 || r.out.empty()) return std::nullopt;
  return static_cast<xcb_window_t>(std::stoul(firstLine(r.out)));
}

ProcessResult Window::ctl(const fs::path& socket, const std::vector<std::string>& args) {
  std::vector<std::string> command = {cliPath(), "ctl", "--socket", socket.string()};
  command.insert(command.end(), args.begin(), args.end());
  return runProcess(command, {}, 20s);
}

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
  auto* reply = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(strlen(name)), name),
      nullptr);
  const xcb_atom_t value = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  free(reply);
  return value;
}

std::vector<std::uint32_t> windowProperty(const std::string& display, xcb_window_t window,
                                          const char* name) {
  xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
  std::vector<std::uint32_t> values;
  if (!xcb_connection_has_error(connection)) {
    auto* reply =
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, 0, window, atom(connection, name),
                                                XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
                               nullptr);
    if (reply != nullptr && reply->format == 32) {
      const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
      values.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    free(reply);
  }
  xcb_disconnect(connection);
  return values;
}

void requestClose(const std::string& display, xcb_window_t window) {
  xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
  ASSERT_FALSE(xcb_connection_has_error(connection));
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = window;
  event.type = atom(connection, "WM_PROTOCOLS");
  event.data.data32[0] = atom(connection, "WM_DELETE_WINDOW");
  event.data.data32[1] = XCB_CURRENT_TIME;
  // The X server may drop what a client sent just before it hung up; a
  // window manager stays connected, and so does this sender until the server
  // has taken the request.
  free(xcb_request_check(connection,
                         xcb_send_event_checked(connection, 0, window, XCB_EVENT_MASK_NO_EVENT,
                                                reinterpret_cast<const char*>(&event))));
  xcb_disconnect(connection);
}

MapWatch::MapWatch(const std::string& display)
    : connection_(xcb_connect(display.c_str(), nullptr)) {
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
  const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  free(xcb_request_check(connection_, xcb_change_window_attributes_checked(
                                          connection_, root, XCB_CW_EVENT_MASK, &mask)));
}

MapWatch::~MapWatch() {
  xcb_disconnect(connection_);
}

std::optional<xcb_window_t> MapWatch::next(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    xcb_generic_event_t* event = xcb_poll_for_event(connection_);
    if (event == nullptr) {
      pollfd p{xcb_get_file_descriptor(connection_), POLLIN, 0};
      if (xcb_connection_has_error(connection_)) return std::nullopt;
      ::poll(&p, 1, 100);
      continue;
    }
    std::optional<xcb_window_t> mapped;
    if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY)
      mapped = reinterpret_cast<xcb_map_notify_event_t*>(event)->window;
    free(event);
    if (!mapped) continue;
    auto* name = xcb_get_property_reply(connection_,
                                        xcb_get_property(connection_, 0, *mapped, XCB_ATOM_WM_NAME,
                                                         XCB_GET_PROPERTY_TYPE_ANY, 0, 64),
                                        nullptr);
    const bool ours = name != nullptr && xcb_get_property_value_length(name) == 7 &&
                      std::memcmp(xcb_get_property_value(name), "Waymock", 7) == 0;
    free(name);
    if (ours) return mapped;
  }
  return std::nullopt;
}

std::string readPortUntil(const fs::path& link, const std::function<bool(const std::string&)>& done,
                          std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int fd = -1;
  while (fd < 0 && std::chrono::steady_clock::now() < deadline) {
    fd = ::open(link.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) std::this_thread::sleep_for(50ms);
  }
  std::string got;
  while (fd >= 0 && !done(got) && std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
  }
  if (fd >= 0) ::close(fd);
  return got;
}

std::vector<std::string> lastSentence(const std::string& text, const std::string& sentence) {
  const auto at = text.rfind(std::string(sentence).append(","));
  if (at == std::string::npos) return {};
  const auto end = text.find('*', at);
  if (end == std::string::npos) return {};
  std::vector<std::string> fields;
  std::string field;
  for (char c : text.substr(at, end - at)) {
    if (c == ',') {
      fields.push_back(field);
      field.clear();
    } else {
      field += c;
    }
  }
  fields.push_back(field);
  return fields;
}

std::string shownField(const std::string& driven, const std::string& name, int field,
                       int occurrence) {
  auto at = driven.find("SHOW " + name + "|");
  for (int i = 0; i < occurrence && at != std::string::npos; ++i)
    at = driven.find("SHOW " + name + "|", at + 1);
  if (at == std::string::npos) return "(not shown)";
  std::string line = driven.substr(at + 5, driven.find('\n', at) - at - 5);
  for (int i = 0; i < field; ++i) line.erase(0, line.find('|') + 1);
  return line.substr(0, line.find('|'));
}

const std::vector<std::string> kPickVirtualPort = {"focus:Transmission Interval (seconds)",
                                                   "key:shift+Tab", "key:shift+Tab", "key:End"};

}  // namespace waymock::test
