#pragma once

// The real window program in a child process, on a real X display (bare, or
// managed by openbox), under a real C-library locale, driven by keys and read
// through the accessibility bus, the virtual serial port and the control
// channel, as its users meet it.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/test_support.h"

namespace waymock::test {

namespace fs = std::filesystem;

inline const std::string kPython = "/usr/bin/python3";  // the one python3-pyatspi installs into

// One X server for all the tests of a kind: bare with a session bus (and the
// accessibility bus it starts on demand), or managed by openbox without one.
class Desktop {
 public:
  // Nothing when a tool is missing. The servers stop when the test program ends.
  static Desktop* bare();
  static Desktop* managed();
  ~Desktop();

  const std::string& display() const { return display_; }
  // The session bus; empty on the managed display.
  const std::string& bus() const { return bus_; }

 private:
  static std::unique_ptr<Desktop> make(bool windowManager, const std::vector<const char*>& tools);
  explicit Desktop(bool windowManager);
  void startBus();
  void startWindowManager();

  TempDir runtime_;
  std::unique_ptr<BackgroundProcess> x_;
  std::unique_ptr<BackgroundProcess> dbus_;
  std::unique_ptr<BackgroundProcess> windowManager_;
  std::string display_;
  std::string bus_;
};

// How a test starts the window program.
struct Start {
  Start& withLocale(std::string value) { return locale = std::move(value), *this; }
  Start& withoutAccessibility() { return accessibility = false, *this; }
  Start& withScaleFactor(std::string value) { return scaleFactor = std::move(value), *this; }
  Start& withSettings(std::string value) { return settings = std::move(value), *this; }
  Start& on(Desktop* value) {
    return desktop = value, accessibility = !value->bus().empty(), *this;
  }
  // A home kept between starts, for restarts; otherwise each window has its own.
  Start& inHome(fs::path value) { return home = std::move(value), *this; }

  std::string locale = "C.UTF-8";
  // Without it the program gets neither the session bus nor the
  // accessibility bridge.
  bool accessibility = true;
  std::optional<std::string> scaleFactor;  // QT_SCALE_FACTOR
  std::string settings;                    // the settings file's text, if any
  Desktop* desktop = Desktop::bare();
  std::optional<fs::path> home;
};

// The window program with a home of its own (or the one given).
class Window {
 public:
  explicit Window(const Start& start = {});

  BackgroundProcess& process() { return *process_; }
  const fs::path& home() const { return home_; }
  fs::path runtime() const { return home_ / "run"; }
  fs::path virtualPort() const { return runtime() / "waymock-gps"; }
  fs::path settingsFile() const { return home_ / "config" / "waymock" / "waymock.ini"; }

  // Runs the accessibility driver's steps (atspi_driver.py); its output, or a
  // failure.
  std::string drive(const std::vector<std::string>& steps);
  // Where the program's window stands, once it is shown: "Position: X,Y".
  std::string position();
  // The X window of the program, once it is shown.
  std::optional<xcb_window_t> xWindow();
  // A command to the window's control channel at `socket` (waymock-cli ctl).
  ProcessResult ctl(const fs::path& socket, const std::vector<std::string>& args);

 private:
  Desktop& desktop_;
  std::optional<TempDir> ownHome_;
  fs::path home_;
  std::unique_ptr<BackgroundProcess> process_;
};

// The X server's name for an atom.
xcb_atom_t atom(xcb_connection_t* connection, const char* name);
// A window's 32-bit property values (CARDINAL or ATOM); empty when it has none.
std::vector<std::uint32_t> windowProperty(const std::string& display, xcb_window_t window,
                                          const char* name);
// What a window manager's close button sends: WM_PROTOCOLS / WM_DELETE_WINDOW.
void requestClose(const std::string& display, xcb_window_t window);

// Top-level windows named "Waymock" as a bare display maps them, seen from
// before the program starts.
class MapWatch {
 public:
  explicit MapWatch(const std::string& display);
  ~MapWatch();
  MapWatch(const MapWatch&) = delete;
  MapWatch& operator=(const MapWatch&) = delete;
  // The next one mapped, within `timeout`.
  std::optional<xcb_window_t> next(std::chrono::milliseconds timeout);

 private:
  xcb_connection_t* connection_;
};

// Reads the virtual port as a client does, until `done` holds for what came.
std::string readPortUntil(const fs::path& link, const std::function<bool(const std::string&)>& done,
                          std::chrono::milliseconds timeout = std::chrono::seconds(15));
// The fields of the last complete `sentence` ("$GPGGA") in `text`.
std::vector<std::string> lastSentence(const std::string& text, const std::string& sentence);
// One field of what the driver's "show:NAME" printed for NAME (its
// `occurrence`-th time): 0 the name, 1 the text, 2 the value, 3 the
// description, 4 "on" or "off", 5 the extents.
std::string shownField(const std::string& driven, const std::string& name, int field,
                       int occurrence = 0);

// Keys that pick the virtual port, the last entry of the port list, from the
// Settings page: the list comes two fields before the interval.
extern const std::vector<std::string> kPickVirtualPort;

class WindowProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Desktop::bare() == nullptr)
      GTEST_SKIP() << "needs Xvfb, dbus-daemon, dbus-send, xdotool, pyatspi";
  }
};

}  // namespace waymock::test
