// scripts/lib.sh, which every script uses to install what is missing, and
// scripts/run's choice between the window and the headless simulator, run
// against stand-ins for id, dpkg-query, apt-get, cmake and the two programs,
// with no sudo anywhere.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/test_support.h"

namespace waymock {
namespace {

namespace fs = std::filesystem;

class SetupScript : public ::testing::Test {
 protected:
  SetupScript() {
    fs::create_directory(bin());
    tool("id", "echo \"$FAKE_UID\"");
    tool("dpkg-query",
         "for p in $FAKE_INSTALLED; do [ \"$p\" = \"$3\" ] && printf 'install ok installed' && "
         "exit 0; done\nexit 1");
    tool("apt-get", "echo \"apt-get $*\" >> \"$FAKE_LOG\"");
    for (const char* real : {"/usr/bin/env", "/bin/grep", "/bin/bash", "/bin/cat",
                             "/usr/bin/dirname", "/usr/bin/timeout", "/usr/bin/perl"}) {
      fs::create_symlink(real, bin() / fs::path(real).filename());
    }
  }

  fs::path bin() const { return dir / "bin"; }
  void tool(const std::string& name, const std::string& body) const {
    test::writeFile(bin() / name, "#!/bin/sh\n" + body + "\n");
    fs::permissions(bin() / name, fs::perms::owner_all);
  }
  std::string log() const { return fs::exists(dir / "log") ? test::readFile(dir / "log") : ""; }

  // ensure_packages for gpsd and cmake, of which only `installed` are there.
  test::ProcessResult ensure(const std::string& uid, const std::string& installed,
                             const std::string& skip = "") const {
    std::vector<std::string> args = {"/usr/bin/env",
                                     "-i",
                                     "PATH=" + bin().string(),
                                     "FAKE_UID=" + uid,
                                     "FAKE_INSTALLED=" + installed,
                                     "FAKE_LOG=" + (dir / "log").string()};
    if (!skip.empty()) args.push_back("WAYMOCK_SKIP_INSTALL=" + skip);
    args.insert(args.end(), {"/bin/bash", "-c",
                             "source " WAYMOCK_SOURCE_DIR "/scripts/lib.sh && "
                             "ensure_packages gpsd cmake"});
    return test::runProcess(args);
  }

  // scripts/run in a copy of the scripts folder, whose build folder holds
  // stand-ins that print how they were started; every package is missing.
  test::ProcessResult run(const std::vector<std::string>& environment) const {
    const fs::path repo = dir / "repo";
    fs::create_directories(repo / "scripts");
    for (const char* script : {"run", "lib.sh"}) {
      fs::copy_file(fs::path(WAYMOCK_SOURCE_DIR) / "scripts" / script, repo / "scripts" / script);
    }
    tool("cmake", "echo \"cmake $*\" >> \"$FAKE_LOG\"");
    for (const char* program : {"waymock", "waymock-cli"}) {
      const fs::path file = repo / "build-run/bin" / program;
      fs::create_directories(file.parent_path());
      test::writeFile(file, "#!/bin/sh\necho \"${0##*/} ${QT_QPA_PLATFORM:-} $*\"\n");
      fs::permissions(file, fs::perms::owner_all);
    }
    std::vector<std::string> args = {"/usr/bin/env",
                                     "-i",
                                     "PATH=" + bin().string(),
                                     "FAKE_UID=0",
                                     "FAKE_LOG=" + (dir / "log").string(),
                                     "XDG_RUNTIME_DIR=" + dir.path().string()};
    args.insert(args.end(), environment.begin(), environment.end());
    args.push_back((repo / "scripts/run").string());
    return test::runProcess(args);
  }

  test::TempDir dir;
};

TEST_F(SetupScript, WithoutRootOrSudoSaysWhatIsMissingAndHowToInstallIt) {
  const auto r = ensure("1000", "cmake");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Missing: the packages gpsd\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("  apt-get update && apt-get install gpsd\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("WAYMOCK_SKIP_INSTALL=1"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("command not found"), std::string::npos) << r.err;
  EXPECT_EQ(log(), "");
}

TEST_F(SetupScript, InstallsNothingWhenAllIsThereOrTheUserSkipsIt) {
  for (const auto& r : {ensure("1000", "gpsd cmake"), ensure("1000", "", "1")}) {
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out + r.err, "");
  }
  EXPECT_EQ(log(), "");
}

TEST_F(SetupScript, InstallingGpsdNotesItsHotPlugServiceOnce) {
  const auto r = ensure("0", "cmake");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(log(), "apt-get update -qq\napt-get install -y -qq gpsd\n");
  const auto note = r.out.find("USBAUTO=\"false\" in /etc/default/gpsd");
  ASSERT_NE(note, std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("gpsd's hot-plug service"), r.out.rfind("gpsd's hot-plug service"));
  EXPECT_EQ(ensure("0", "gpsd cmake").out, "");
}

// A display number that no server of this machine has taken.
std::string deadDisplay() {
  int number = 400;
  while (fs::exists("/tmp/.X11-unix/X" + std::to_string(number))) ++number;
  std::string display = ":";
  return display += std::to_string(number);
}

TEST_F(SetupScript, RunStartsTheWindowOnlyOnADisplayThatAnswers) {
  const std::string base =
      "cmake ninja-build g++ libcli11-dev nlohmann-json3-dev libexpat1-dev libgeographiclib-dev";
  const std::string qt = " qt6-base-dev qt6-base-dev-tools qt6-serialport-dev";
  const std::string configure =
      "cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF "
      "-DWAYMOCK_BENCH=OFF -DWAYMOCK_APP=";
  const std::string wayland = (dir / "wayland-0").string();
  const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  wayland.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

  const std::string dead = deadDisplay();
  struct Case {
    std::vector<std::string> environment;
    const char* xdpyinfo;   // the stand-in's exit status; none: the real socket is tried
    std::string noDisplay;  // why the headless simulator runs; empty: the window
    std::string platform;   // Qt's platform plugin chosen for the window
  };
  const std::vector<Case> cases = {
      {{}, nullptr, "neither DISPLAY nor WAYLAND_DISPLAY is set", ""},
      {{"DISPLAY=" + dead}, nullptr, "no X server answers at DISPLAY=" + dead, ""},
      {{"DISPLAY=:0"}, "1", "no X server answers at DISPLAY=:0", ""},
      {{"DISPLAY=:0"}, "0", "", ""},
      {{"WAYLAND_DISPLAY=wayland-9", "DISPLAY=" + dead},
       nullptr,
       "WAYLAND_DISPLAY=wayland-9 names no socket and no X server answers at DISPLAY=" + dead,
       ""},
      {{"WAYLAND_DISPLAY=wayland-0"}, nullptr, "", "wayland"},
      {{"WAYLAND_DISPLAY=" + wayland, "DISPLAY=:0"}, "0", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.environment.empty() ? "no display" : c.environment.back());
    fs::remove(bin() / "xdpyinfo");
    if (c.xdpyinfo) tool("xdpyinfo", std::string("exit ") + c.xdpyinfo);
    fs::remove_all(dir / "repo");
    fs::remove(dir / "log");
    const auto r = run(c.environment);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const bool window = c.noDisplay.empty();
    const bool onWayland = !c.environment.empty() && c.environment[0].starts_with("WAYLAND");
    EXPECT_EQ(log(), "apt-get update -qq\napt-get install -y -qq " + base + (window ? qt : "") +
                         (window && onWayland ? " qt6-wayland" : "") + "\n" + configure +
                         (window ? "ON" : "OFF") + " -DWAYMOCK_SANITIZE=OFF\n" +
                         "cmake --build build-run\n");
    // Read-only, as every page says: gpsd configures nothing on the port.
    EXPECT_NE(r.out.find("gpsd -N -n -b "), std::string::npos) << r.out;
    const std::string started =
        window ? "waymock " + c.platform + " \n"
               : "waymock-cli  run --virtual=" + (dir / "waymock-gps").string() +
                     " --udp 127.0.0.1:10110\n";
    EXPECT_TRUE(r.out.ends_with(started)) << r.out;
    if (!window) {
      EXPECT_NE(r.out.find("No display (" + c.noDisplay + "): running the headless simulator.\n"),
                std::string::npos)
          << r.out;
    }
  }
  close(listener);
}

}  // namespace
}  // namespace waymock
