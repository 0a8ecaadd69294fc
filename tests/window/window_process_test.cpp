// The real window program in a child process, on a real X display, under a
// real C-library locale, driven by keys and read through the accessibility
// bus and the virtual serial port, as its users meet it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "common/test_support.h"

namespace waymock {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::BackgroundProcess;

const std::string kPython = "/usr/bin/python3";  // the one python3-pyatspi installs into

std::string firstLine(const std::string& text) {
  return text.substr(0, text.find('\n'));
}

// One X server and one session bus (with the accessibility bus it starts on
// demand) for the whole suite.
class Desktop {
 public:
  // Nothing when a tool is missing. The server and the bus stop when the
  // test program ends.
  static Desktop* get() {
    static const std::unique_ptr<Desktop> desktop = []() -> std::unique_ptr<Desktop> {
      for (const char* tool : {"Xvfb", "dbus-daemon", "xdotool"}) {
        if (test::findProgram(tool).empty()) return nullptr;
      }
      if (::access(kPython.c_str(), X_OK) != 0) return nullptr;
      return std::unique_ptr<Desktop>(new Desktop);
    }();
    return desktop.get();
  }

  const std::string& display() const { return display_; }
  const std::string& bus() const { return bus_; }

 private:
  Desktop()
      : x_(std::make_unique<BackgroundProcess>(
            std::vector<std::string>{test::findProgram("Xvfb"), "-displayfd", "1", "-screen", "0",
                                     "1280x1024x24", "-nolisten", "tcp"})),
        dbus_(std::make_unique<BackgroundProcess>(std::vector<std::string>{
            test::findProgram("dbus-daemon"), "--session", "--nofork", "--print-address=1"})) {
    const auto line = [](const std::string& out) { return out.find('\n') != std::string::npos; };
    x_->waitForOutput(line, 10s);
    dbus_->waitForOutput(line, 10s);
    display_ = std::string(":").append(firstLine(x_->out()));
    bus_ = firstLine(dbus_->out());
  }

  std::unique_ptr<BackgroundProcess> x_;
  std::unique_ptr<BackgroundProcess> dbus_;
  std::string display_;
  std::string bus_;
};

// How a test starts the window program.
struct Start {
  Start& withLocale(std::string value) { return locale = std::move(value), *this; }
  Start& withoutAccessibility() { return accessibility = false, *this; }
  Start& withScaleFactor(std::string value) { return scaleFactor = std::move(value), *this; }
  Start& withSettings(std::string value) { return settings = std::move(value), *this; }

  std::string locale = "C.UTF-8";
  // Without it the program gets neither the session bus nor the
  // accessibility bridge.
  bool accessibility = true;
  std::optional<std::string> scaleFactor;  // QT_SCALE_FACTOR
  std::string settings;                    // the settings file's text, if any
};

// The window program with a home of its own.
class Window {
 public:
  explicit Window(const Start& start = {}) {
    fs::create_directories(runtime());
    fs::permissions(runtime(), fs::perms::owner_all);
    if (!start.settings.empty()) {
      fs::create_directories(settingsFile().parent_path());
      test::writeFile(settingsFile(), start.settings);
    }
    const Desktop& desktop = *Desktop::get();
    const auto ifAccessible = [&](const std::string& value) {
      return start.accessibility ? std::optional<std::string>(value) : std::nullopt;
    };
    const std::vector<std::pair<const char*, std::optional<std::string>>> environment = {
        {"HOME", home_.path().string()},
        {"XDG_CONFIG_HOME", (home_ / "config").string()},
        {"XDG_DATA_HOME", (home_ / "data").string()},
        {"XDG_CACHE_HOME", (home_ / "cache").string()},
        {"XDG_RUNTIME_DIR", runtime().string()},
        {"LC_ALL", start.locale},
        {"DISPLAY", desktop.display()},
        {"DBUS_SESSION_BUS_ADDRESS", ifAccessible(desktop.bus())},
        {"QT_QPA_PLATFORM", "xcb"},
        {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", ifAccessible("1")},
        {"QT_SCALE_FACTOR", start.scaleFactor},
        // Qt's own allocations at exit are not ours to chase here.
        {"ASAN_OPTIONS", "detect_leaks=0"},
    };
    std::vector<std::unique_ptr<test::EnvGuard>> guards;
    for (const auto& [name, value] : environment) {
      guards.push_back(std::make_unique<test::EnvGuard>(name, value));
    }
    process_ = std::make_unique<BackgroundProcess>(std::vector<std::string>{WAYMOCK_APP_PATH});
  }

  BackgroundProcess& process() { return *process_; }
  fs::path runtime() const { return home_ / "run"; }
  fs::path virtualPort() const { return runtime() / "waymock-gps"; }
  fs::path settingsFile() const { return home_ / "config" / "waymock" / "waymock.ini"; }

  // Runs the accessibility driver's steps; its output, or a failure.
  std::string drive(const std::vector<std::string>& steps) {
    std::vector<std::string> args = {kPython, WAYMOCK_SOURCE_DIR "/tests/window/atspi_driver.py"};
    args.insert(args.end(), steps.begin(), steps.end());
    test::EnvGuard display("DISPLAY", Desktop::get()->display());
    test::EnvGuard bus("DBUS_SESSION_BUS_ADDRESS", Desktop::get()->bus());
    const test::ProcessResult r = test::runProcess(args, {}, 60s);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
  }

  // Where the program's window stands, once it is shown: "Position: X,Y".
  std::string position() {
    const auto id = xWindow();
    if (!id) return {};
    test::EnvGuard display("DISPLAY", Desktop::get()->display());
    const auto r = test::runProcess(
        {test::findProgram("xdotool"), "getwindowgeometry", std::to_string(*id)}, {}, 10s);
    const auto at = r.out.find("Position: ");
    return at == std::string::npos ? r.out : r.out.substr(at, r.out.find(' ', at + 10) - at);
  }

  // The X window of the program, once it is shown.
  std::optional<xcb_window_t> xWindow() {
    test::EnvGuard display("DISPLAY", Desktop::get()->display());
    const auto r = test::runProcess(
        {test::findProgram("xdotool"), "search", "--sync", "--onlyvisible", "--name", "^Waymock$"},
        {}, 20s);
    if (r.exitCode != 0 || r.out.empty()) return std::nullopt;
    return static_cast<xcb_window_t>(std::stoul(firstLine(r.out)));
  }

 private:
  test::TempDir home_;
  std::unique_ptr<BackgroundProcess> process_;
};

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
  auto* reply = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(strlen(name)), name),
      nullptr);
  const xcb_atom_t value = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  free(reply);
  return value;
}

// The width and height of the first picture in a window's _NET_WM_ICON, which
// task bars and switchers show; nothing when the window has no icon.
std::optional<std::pair<std::uint32_t, std::uint32_t>> iconSize(const std::string& display,
                                                                xcb_window_t window) {
  xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
  std::optional<std::pair<std::uint32_t, std::uint32_t>> size;
  if (!xcb_connection_has_error(connection)) {
    const xcb_atom_t icon = atom(connection, "_NET_WM_ICON");
    auto* reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, icon, XCB_ATOM_CARDINAL, 0, 2),
        nullptr);
    if (reply != nullptr && reply->format == 32 && xcb_get_property_value_length(reply) == 8) {
      const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
      size = std::pair(values[0], values[1]);
    }
    free(reply);
  }
  xcb_disconnect(connection);
  return size;
}

// What a window manager's close button sends: WM_PROTOCOLS / WM_DELETE_WINDOW.
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

// Reads the virtual port as a client does, until `done` holds for what came.
std::string readPortUntil(const fs::path& link, const std::function<bool(const std::string&)>& done,
                          std::chrono::milliseconds timeout = 15s) {
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

// The fields of the last complete `sentence` ("$GPGGA") in `text`.
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

// Keys that pick the virtual port, the last entry of the port list, from the
// Settings page: the list comes two fields before the interval.
const std::vector<std::string> kPickVirtualPort = {"focus:Transmission Interval (seconds)",
                                                   "key:shift+Tab", "key:shift+Tab", "key:End"};

class WindowProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Desktop::get() == nullptr) GTEST_SKIP() << "needs Xvfb, dbus-daemon, xdotool, pyatspi";
  }
};

TEST_F(WindowProcess, DecimalCommaValuesReachTheBurstsAndTheScreenReader) {
  test::LocaleGuard locale(test::kDecimalCommaLocale);
  if (!locale.ok()) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
  Window window(Start().withLocale(test::kDecimalCommaLocale));
  std::vector<std::string> steps = {
      "key:alt+i",  // the Settings page
      "focus:Altitude (meters)",
      "key:ctrl+a",
      "type:12,5",  // the locale's own comma
      "focus:Speed (km/h)",
      "key:ctrl+a",
      "type:22,5",
      "focus:Heading (degrees)",
      "key:ctrl+a",
      "type:359,99",
      "focus:Position dilution of precision",
      "key:ctrl+a",
      "type:1.25",  // a keypad's point
  };
  steps.insert(steps.end(), kPickVirtualPort.begin(), kPickVirtualPort.end());
  steps.insert(steps.end(), {"key:alt+o", "key:F5"});  // back to the Simulator page, Start
  window.drive(steps);

  const std::string got = readPortUntil(window.virtualPort(), [](const std::string& text) {
    return text.rfind("$GPGSA") != std::string::npos &&
           text.find('*', text.rfind("$GPGSA")) != std::string::npos;
  });
  const auto gga = lastSentence(got, "$GPGGA");
  ASSERT_GT(gga.size(), 9u) << got;
  EXPECT_EQ(gga[9], "12.5");
  const auto vtg = lastSentence(got, "$GPVTG");
  ASSERT_GT(vtg.size(), 7u) << got;
  EXPECT_EQ(vtg[1], "359.99");
  EXPECT_EQ(vtg[5], "12.14");  // knots = km/h x 0.5397, to hundredths
  const auto gsa = lastSentence(got, "$GPGSA");
  ASSERT_GT(gsa.size(), 15u) << got;
  EXPECT_EQ(gsa[15], "1.25");

  const std::string heard = window.drive({"labels"});
  EXPECT_NE(heard.find("LABEL Altitude: 12,5 m = 41,01 feet\n"), std::string::npos) << heard;
  EXPECT_NE(heard.find("LABEL Speed: 22,5 km/h = 12,14 knots\n"), std::string::npos) << heard;
  EXPECT_NE(heard.find("LABEL Heading: 359,99\u00B0\n"), std::string::npos) << heard;
  EXPECT_NE(heard.find("LABEL Latitude: 0\u00B0 00'"), std::string::npos) << heard;
  window.process().stop();
}

TEST_F(WindowProcess, EveryFreshWindowClosesOnTheFirstCloseRequest) {
  for (int run = 0; run < 10; ++run) {
    Window window;
    const auto id = window.xWindow();
    ASSERT_TRUE(id) << window.process().err();
    std::this_thread::sleep_for(1s);
    requestClose(Desktop::get()->display(), *id);
    EXPECT_EQ(window.process().waitForExit(10s), 0)
        << "window " << run << " ignored the close request";
    window.process().stop();
  }
}

TEST_F(WindowProcess, TheMainWindowShowsTheProgramsIcon) {
  Window window(Start().withoutAccessibility());
  const auto id = window.xWindow();
  ASSERT_TRUE(id) << window.process().err();
  const auto size = iconSize(Desktop::get()->display(), *id);
  ASSERT_TRUE(size) << "no _NET_WM_ICON";
  EXPECT_GT(size->first, 0u);
  EXPECT_EQ(size->first, size->second);
  window.process().stop();
}

// A position stored at another scale factor would put the window elsewhere
// than the user left it, even off the screen: it is not restored.
TEST_F(WindowProcess, APositionStoredAtAnotherScaleIsNotRestored) {
  const std::string stored =
      "[TfrmMain]\nPixelsPerInch=96\nNormPos=\"30,20,620,470\"\nFormVersion=0\n";
  Window same(Start().withoutAccessibility().withSettings(stored));
  EXPECT_EQ(same.position(), "Position: 30,20");
  same.process().stop();
  Window doubled(Start().withoutAccessibility().withScaleFactor("2").withSettings(stored));
  const std::string position = doubled.position();
  EXPECT_NE(position, "Position: 30,20");
  EXPECT_NE(position, "Position: 60,40");
  EXPECT_EQ(position.rfind("Position: ", 0), 0u) << position;
  doubled.process().stop();
}

TEST_F(WindowProcess, StopSignalSavesTheSettingsAndRemovesTheVirtualPort) {
  for (int signal : {SIGTERM, SIGHUP}) {
    Window window;
    std::vector<std::string> steps = {"key:alt+i", "focus:Altitude (meters)", "key:ctrl+a",
                                      "type:7"};
    steps.insert(steps.end(), kPickVirtualPort.begin(), kPickVirtualPort.end());
    steps.insert(steps.end(), {"key:alt+o", "key:F5"});
    window.drive(steps);
    ASSERT_FALSE(readPortUntil(window.virtualPort(), [](const std::string& text) {
                   return text.find("$GPGGA") != std::string::npos;
                 }).empty());
    ::kill(window.process().pid(), signal);
    EXPECT_EQ(window.process().waitForExit(10s), 0) << window.process().err();
    EXPECT_FALSE(fs::exists(fs::symlink_status(window.virtualPort())));
    EXPECT_NE(test::readFile(window.settingsFile()).find("efAlt_Value=7\n"), std::string::npos)
        << test::readFile(window.settingsFile());
  }
}

// The Advanced page's settings, kept from an earlier run, shape what a client
// reads: nmea41 with the standard ZDA on the second, parsed by pynmea2.
TEST_F(WindowProcess, KeptAdvancedSettingsShapeWhatAClientReads) {
  test::LocaleGuard locale(test::kDecimalCommaLocale);
  if (!locale.ok()) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
  Window window(
      Start()
          .withLocale(test::kDecimalCommaLocale)
          .withSettings(
              "[Advanced]\ncmbProfile_ItemIndex=1\ncmbZda_ItemIndex=1\ncbOnSecond_Checked=True\n"));
  std::vector<std::string> steps = {"key:alt+i"};
  steps.insert(steps.end(), kPickVirtualPort.begin(), kPickVirtualPort.end());
  steps.insert(steps.end(), {"key:alt+o", "key:F5"});
  window.drive(steps);
  std::string got = readPortUntil(window.virtualPort(), [](const std::string& text) {
    const auto second = text.find("$GNZDA", text.find("$GNZDA") + 1);
    return second != std::string::npos && text.find("\r\n", second) != std::string::npos;
  });
  window.process().stop();
  // Whole sentences only: the first one read may have begun before the open.
  got = got.substr(got.find("\r\n$") + 2, got.rfind("\r\n") - got.find("\r\n$"));
  const test::ProcessResult read =
      test::runProcess({kPython, WAYMOCK_SOURCE_DIR "/tests/interop/pynmea2_read.py"}, got);
  ASSERT_EQ(read.exitCode, 0) << read.err;
  EXPECT_EQ(read.out.find("\"error\""), std::string::npos) << read.out;
  std::smatch zda;
  ASSERT_TRUE(std::regex_search(
      read.out, zda,
      std::regex(
          R"re("talker": "GN", "type": "ZDA", "timestamp": "(\d\d:\d\d:\d\d)", "day": \d+, "month": \d+, "year": 20\d\d)re")))
      << read.out;
  EXPECT_NE(read.out.find(R"("talker": "GN", "type": "RMC", "timestamp": ")" + zda[1].str() + "\""),
            std::string::npos)
      << "whole seconds, no fraction: " << read.out;
}

}  // namespace
}  // namespace waymock
