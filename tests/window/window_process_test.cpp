// The real window program in a child process, on a real X display, under a
// real C-library locale, driven by keys and read through the accessibility
// bus and the virtual serial port, as its users meet it.
#include <signal.h>

#include <regex>

#include "window/window_fixture.h"

namespace waymock::test {
namespace {

using namespace std::chrono_literals;

// The width and height of the first picture in a window's _NET_WM_ICON, which
// task bars and switchers show; nothing when the window has no icon.
std::optional<std::pair<std::uint32_t, std::uint32_t>> iconSize(const std::string& display,
                                                                xcb_window_t window) {
  const std::vector<std::uint32_t> icon = windowProperty(display, window, "_NET_WM_ICON");
  if (icon.size() < 2) return std::nullopt;
  return std::pair(icon[0], icon[1]);
}

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

// Kiosk sessions, test rigs and scripts close the window where no window
// manager runs, as soon as it is shown.
TEST_F(WindowProcess, EveryFreshWindowClosesOnTheFirstCloseRequest) {
  for (int run = 0; run < 20; ++run) {
    MapWatch watch(Desktop::bare()->display());
    Window window(Start().withoutAccessibility());
    const auto id = watch.next(20s);
    ASSERT_TRUE(id) << window.process().err();
    requestClose(Desktop::bare()->display(), *id);
    EXPECT_EQ(window.process().waitForExit(10s), 0)
        << "window " << run << " ignored the close request";
    window.process().stop();
  }
}

// Under a window manager the window opens where it was closed, frame and all,
// start after start, and is not offered to be maximized.
TEST(ManagedWindow, KeepsItsPlaceOverFiveRestarts) {
  Desktop* desktop = Desktop::managed();
  if (desktop == nullptr) GTEST_SKIP() << "needs Xvfb, openbox, xdotool";
  TempDir home;
  std::vector<std::string> kept;
  for (int run = 0; run < 6; ++run) {
    Window window(Start()
                      .on(desktop)
                      .inHome(home.path())
                      .withSettings(run == 0 ? "[TfrmMain]\nNormPos=\"200,150,800,600\"\n" : ""));
    const auto id = window.xWindow();
    ASSERT_TRUE(id) << window.process().err();
    // Closed once the window manager has framed it, as a user would.
    for (int wait = 0;
         wait < 200 && windowProperty(desktop->display(), *id, "_NET_FRAME_EXTENTS").empty();
         ++wait) {
      std::this_thread::sleep_for(50ms);
    }
    const auto allowed = windowProperty(desktop->display(), *id, "_NET_WM_ALLOWED_ACTIONS");
    xcb_connection_t* connection = xcb_connect(desktop->display().c_str(), nullptr);
    const xcb_atom_t maximize = atom(connection, "_NET_WM_ACTION_MAXIMIZE_VERT");
    xcb_disconnect(connection);
    EXPECT_FALSE(allowed.empty());
    EXPECT_EQ(std::count(allowed.begin(), allowed.end(), maximize), 0);
    requestClose(desktop->display(), *id);
    ASSERT_EQ(window.process().waitForExit(10s), 0) << window.process().err();
    const std::string settings = readFile(window.settingsFile());
    std::smatch normPos;
    ASSERT_TRUE(std::regex_search(settings, normPos, std::regex("\nNormPos=\"?([-0-9,]+)")))
        << settings;
    kept.push_back(normPos[1]);
    EXPECT_EQ(kept.back().rfind("200,150,", 0), 0u) << "start " << run << ": " << kept.back();
    EXPECT_EQ(kept.back(), kept.front()) << "start " << run;
  }
}

TEST_F(WindowProcess, TheMainWindowShowsTheProgramsIcon) {
  Window window(Start().withoutAccessibility());
  const auto id = window.xWindow();
  ASSERT_TRUE(id) << window.process().err();
  const auto size = iconSize(Desktop::bare()->display(), *id);
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

// Without a display the program says so in one line; what it does not know
// on its command line it refuses, as waymock-cli does.
TEST(WindowCommandLine, AnswersWithoutADisplayAndRefusesWhatItDoesNotKnow) {
  TempDir home;
  struct Case {
    std::vector<std::string> args;
    const char* platform;
    int exitCode;
    std::string out;
    std::string err;
  };
  const Case cases[] = {
      {{},
       "",
       1,
       "",
       "waymock: no display answers (DISPLAY=\"\"); without a display, use waymock-cli run.\n"},
      {{"--bogus"},
       "offscreen",
       2,
       "",
       "waymock: Unknown option \"--bogus\".\nRun with --help for more information.\n"},
      {{"log.nmea"}, "offscreen", 2, "",
       "waymock: The following argument was not expected: log.nmea\n"
       "Run with --help for more information.\n"},
      {{"-V"}, "", 0, "waymock " WAYMOCK_PROJECT_VERSION "\n", ""},
      {{"--version"}, "", 0, "waymock " WAYMOCK_PROJECT_VERSION "\n", ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {WAYMOCK_APP_PATH};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProcessResult r =
        runProcess(args, {}, 30s,
                   {"HOME=" + home.path().string(), "XDG_RUNTIME_DIR=" + home.path().string(),
                    "DISPLAY=", "WAYLAND_DISPLAY=", std::string("QT_QPA_PLATFORM=") + c.platform,
                    "LC_ALL=" + std::string(kDecimalCommaLocale), "ASAN_OPTIONS=detect_leaks=0"});
    EXPECT_EQ(r.exitCode, c.exitCode) << c.platform << r.err;
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
  }
  const std::string help = runProcess({WAYMOCK_APP_PATH, "--help"}).out;
  EXPECT_NE(help.find("by UDP and to TCP clients"), std::string::npos) << help;
}

}  // namespace
}  // namespace waymock::test
