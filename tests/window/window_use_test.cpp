// The window as a script and a keyboard user meet it: kept settings, Starts
// through the control channel and the keys, the Advanced page's keys and
// wheel, what a screen reader hears.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "window/window_fixture.h"

namespace waymock::test {
namespace {

using namespace std::chrono_literals;

// A TCP port on 127.0.0.1 that another program listens on.
class HeldTcpPort {
 public:
  HeldTcpPort() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd_, reinterpret_cast<sockaddr*>(&address), size);
    ::listen(fd_, 1);
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
  }
  ~HeldTcpPort() { ::close(fd_); }
  int port() const { return port_; }

 private:
  int fd_;
  int port_ = 0;
};

bool waitForFile(const fs::path& path) {
  for (int wait = 0; wait < 400 && !fs::exists(path); ++wait) std::this_thread::sleep_for(50ms);
  return fs::exists(path);
}

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::vector<std::string> pickVirtualPort(std::vector<std::string> before) {
  before.insert(before.begin(), "key:alt+i");
  before.insert(before.end(), kPickVirtualPort.begin(), kPickVirtualPort.end());
  return before;
}

// Kept settings take effect once all are in (the control channel at the kept
// socket, a lowercase talker as capitals); a Start that fails leaves nothing
// open, a Start while running keeps the TCP clients; a script's move shows in
// the Motion group; reasons are in English whatever the user's language.
TEST_F(WindowProcess, KeptSettingsAndStartsAsAScriptMeetsThem) {
  LocaleGuard locale(kDecimalCommaLocale);
  if (!locale.ok()) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
  TempDir files;
  const fs::path socket = files / "ctl.sock";
  const std::string route = (files / "route.csv").string();
  writeFile(route, "48.0,11.0\n48.01,11.0\n");
  Window window(Start()
                    .withLocale(kDecimalCommaLocale)
                    .withSettings("[Advanced]\ncbControl_Checked=True\nefControlSocket_Text=" +
                                  socket.string() +
                                  "\ncbTcp_Checked=True\nefTcpPort_Value=0\nefTalker_Text=gn\n"
                                  "cmbMotion_ItemIndex=2\n"));
  ASSERT_TRUE(waitForFile(socket)) << window.process().err();
  EXPECT_FALSE(fs::exists(window.runtime() / "waymock" / "control.sock"));
  window.drive(pickVirtualPort({}));

  ProcessResult r = window.ctl(socket, {"start"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(has(r.out, "\"Choose a route file.\"")) << r.out;
  EXPECT_TRUE(has(window.drive({"until:TCP address"}), "LABEL TCP address: not listening\n"));

  r = window.ctl(socket, {"move", "--route", route, "--speed", "30", "--end", "loop"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  std::string shown =
      window.drive({"show:Route file", "show:Route speed (km/h)", "names:combo box"});
  EXPECT_EQ(shownField(shown, "Route file", 1), route);
  EXPECT_EQ(shownField(shown, "Route speed (km/h)", 1), "30,00");
  EXPECT_TRUE(has(shown, "NAME Route\n") && has(shown, "NAME Loop\n")) << shown;
  EXPECT_EQ(window.ctl(socket, {"move", "--steps"}).exitCode, 0);
  EXPECT_TRUE(has(window.drive({"names:combo box"}), "NAME Steps\n"));

  r = window.ctl(socket, {"start"});
  ASSERT_EQ(r.exitCode, 0) << r.out;
  const std::string address = window.drive({"until:TCP address: 127.0.0.1:"});
  const int port = std::atoi(address.substr(address.rfind(':') + 1).c_str());
  ASSERT_GT(port, 0) << address;
  TcpClient client(port);
  ASSERT_TRUE(client.readUntil([](const std::string& got) { return has(got, "$GNRMC"); }));
  // Restarted by the key and by the channel, the run keeps its client.
  window.drive({"key:F5"});
  EXPECT_EQ(window.ctl(socket, {"start"}).exitCode, 0);
  const std::size_t before = client.received().size();
  EXPECT_TRUE(client.readUntil([&](const std::string& got) {
    return got.find("$GNRMC", before) != std::string::npos;
  })) << "closed: "
      << client.closed();

  const HeldTcpPort held;
  const std::string heldPort = std::to_string(held.port());
  window.drive({"key:alt+n", "focus:TCP port", "key:ctrl+a", "type:" + heldPort});
  r = window.ctl(socket, {"start"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(has(r.out, "Cannot listen on 127.0.0.1:" + heldPort + ". Address already in use."))
      << r.out;
  client.readUntil([](const std::string&) { return false; }, 5000);
  EXPECT_TRUE(client.closed()) << "a failed Start leaves nothing open";
  window.process().stop();
}

// The keyboard reaches each group of the Advanced page by its letter and
// shows what it reached; the wheel over a field that is not being edited
// scrolls the page; Start keeps the focus in its group when it turns the
// focused control off.
TEST_F(WindowProcess, TheAdvancedPageByKeysAndWheel) {
  Window window(
      Start().withSettings("[TfrmMain]\nefLtShortStep_Value=0\nefLnShortStep_Value=0\n"
                           "[Advanced]\ncmbMotion_ItemIndex=1\ncbTcp_Checked=True\n"));
  const std::string keys =
      window.drive({"key:alt+i", "key:alt+a", "focused", "key:alt+n", "key:alt+c", "focused",
                    "show:Waymock", "key:alt+z", "focused", "show:TCP port", "wheel:TCP port:3",
                    "show:TCP port", "key:alt+z", "wheel:classic:3", "names:combo box"});
  EXPECT_TRUE(has(keys, "FOCUSED check box|Send GPGGA|")) << keys;
  EXPECT_TRUE(has(keys, "FOCUSED check box|Control channel|")) << keys;
  EXPECT_TRUE(has(keys, "FOCUSED combo box|classic|")) << keys;
  // Each control reached lies inside the window, none scrolled out of view.
  int top = 0, height = 0;
  std::sscanf(shownField(keys, "Waymock", 5).c_str(), "%*d,%d,%*d,%d", &top, &height);
  for (std::size_t at = keys.find("FOCUSED "); at != std::string::npos;
       at = keys.find("FOCUSED ", at + 1)) {
    const std::string line = keys.substr(at, keys.find('\n', at) - at);
    int y = 0, h = 0;
    std::sscanf(line.substr(line.rfind('|') + 1).c_str(), "%*d,%d,%*d,%d", &y, &h);
    EXPECT_TRUE(y >= top && y + h <= top + height) << line << " in " << top << "+" << height;
  }
  EXPECT_EQ(shownField(keys, "TCP port", 1, 1), "10110");
  EXPECT_NE(shownField(keys, "TCP port", 5, 1), shownField(keys, "TCP port", 5))
      << "the page scrolls";
  EXPECT_EQ(countOf(keys, "NAME classic\n"), 2u) << keys;

  std::vector<std::string> steps = pickVirtualPort({});
  steps.insert(steps.end(), {"key:alt+n", "key:alt+m", "key:F5", "focused"});
  const std::string started = window.drive(steps);
  EXPECT_TRUE(has(started, "FOCUSED panel|Motion|")) << started;
  window.process().stop();
}

// The UDP box through its own widget, the target address as typed, and what a
// screen reader hears of the controls the Settings and Advanced pages share
// names with.
TEST_F(WindowProcess, TargetsAsTypedAndHeard) {
  LocaleGuard locale(kDecimalCommaLocale);
  if (!locale.ok()) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
  UdpReceiver receiver;
  Window window(Start()
                    .withLocale(kDecimalCommaLocale)
                    .withSettings("[TfrmMain]\nefLtDeg_Value=52\nefLtMin_Value=30\n"
                                  "efLtShortStep_Value=0\nefLnShortStep_Value=0\nefUdpPort_Value=" +
                                  std::to_string(receiver.port()) + "\n"));
  // What the field holds after typing, from each place in "0.0.0.0".
  struct Typing {
    std::vector<std::string> keys;
    std::string text;
  };
  const Typing typings[] = {
      {{"key:Home", "type:127.0.0.1"}, "127.0.0.10.0.0.0"},
      {{"key:End", "type:.5"}, "0.0.0.0.5"},
      {{"key:Home", "key:Right", "key:Right", "type:12"}, "0.120.0.0"},
      {{"key:ctrl+a", "type:127.0.0.1"}, "127.0.0.1"},
  };
  std::vector<std::string> steps = pickVirtualPort({"focus:UDP", "key:space", "show:Target IP"});
  for (const Typing& typing : typings) {
    steps.insert(steps.end(), {"focus:Target IP", "key:ctrl+a", "type:0.0.0.0"});
    steps.insert(steps.end(), typing.keys.begin(), typing.keys.end());
    steps.push_back("show:Target IP");
  }
  steps.insert(steps.end(), {"key:alt+o", "key:F5"});
  const std::string typed = window.drive(steps);
  EXPECT_EQ(shownField(typed, "Target IP", 4), "on") << typed;
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(shownField(typed, "Target IP", 1, i + 1), typings[i].text);
    EXPECT_EQ(
        shownField(typed, "Target IP", 3, i + 1),
        i < 2 ? "Not a whole address: four numbers of 0 to 255, joined by dots." : "Target IP");
  }
  std::optional<std::string> datagram;
  for (int wait = 0; wait < 10 && !datagram; ++wait) datagram = receiver.receive(1000);
  ASSERT_TRUE(datagram) << "UDP on, to the address typed";
  EXPECT_TRUE(has(*datagram, "$GPGGA,")) << *datagram;

  const std::string heard =
      window.drive({"key:alt+i", "focus:UDP", "key:space", "show:Target IP", "show:Latitude",
                    "names:push button", "show:Replay rate", "show:Fault events", "key:alt+n",
                    "focus:Further UDP targets", "type:x", "show:Further UDP targets", "labels"});
  EXPECT_EQ(shownField(heard, "Target IP", 4), "off");
  EXPECT_EQ(shownField(heard, "Latitude", 2), "52.5") << "degrees, not hundredths of a second";
  EXPECT_TRUE(has(heard, "NAME Choose a route file\n") &&
              has(heard, "NAME Choose a scenario file\n"))
      << heard;
  EXPECT_EQ(shownField(heard, "Replay rate", 0), "Replay rate");
  EXPECT_NE(shownField(heard, "Fault events", 3), "");
  const std::string problem = shownField(heard, "Further UDP targets", 3);
  EXPECT_EQ(problem.rfind("UDP target", 0), 0u) << problem;
  EXPECT_TRUE(has(heard, "LABEL " + problem + "\n")) << "the line under the field says the same";
  window.process().stop();
}

}  // namespace
}  // namespace waymock::test
