// The control channel between two real users: the test (root, the owner of
// the simulator) and unused user IDs run by setpriv, as another local user
// would try it.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/test_support.h"

namespace waymock::control_test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kPython = "/usr/bin/python3";
const std::string kClientPath = "PYTHONPATH=" + std::string(WAYMOCK_SOURCE_DIR) + "/clients/python";

// A user ID no account has, from `from` on.
uid_t unusedUid(uid_t from) {
  while (::getpwuid(from) != nullptr) ++from;
  return from;
}

// The command run as `uid` with no groups, without XDG_RUNTIME_DIR.
std::vector<std::string> as(uid_t uid, std::vector<std::string> command) {
  const std::string id = std::to_string(uid);
  std::vector<std::string> args = {"/usr/bin/setpriv", "--reuid=" + id, "--regid=" + id,
                                   "--clear-groups",   "/usr/bin/env",  "-u",
                                   "XDG_RUNTIME_DIR"};
  args.insert(args.end(), command.begin(), command.end());
  return args;
}

// Listens at a Unix socket in `folder` (made, open to all, when missing) and
// prints whatever a client sends it: a client that checks its peer connects
// and goes without a word.
const std::string kImpostor = R"(
import os, socket, sys
if not os.path.isdir(sys.argv[1]):
    os.mkdir(sys.argv[1])
    os.chmod(sys.argv[1], 0o777)
s = socket.socket(socket.AF_UNIX)
s.bind(os.path.join(sys.argv[1], sys.argv[2]))
os.chmod(os.path.join(sys.argv[1], sys.argv[2]), 0o777)
s.listen(8)
print('listening', flush=True)
while True:
    c, _ = s.accept()
    c.settimeout(2)
    try:
        data = c.recv(4096)
        if data:
            print('got', data, flush=True)
            c.sendall(b'{"ok":true}\n')
    except OSError:
        pass
)";

// With XDG_RUNTIME_DIR unset, another user makes the fallback folder and
// listens there; or listens in a shared folder with the sticky bit, which
// passes the folder checks. The user's ctl and Python client send nothing to
// either and say why.
TEST(ControlAccess, ClientsTalkOnlyToASimulatorOfTheirOwnUser) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs to run other users";
  const uid_t user = unusedUid(61230);
  const uid_t other = unusedUid(user + 1);
  const std::string fallback = "/tmp/waymock-" + std::to_string(user);
  // No one's folder: a run that failed may have left it.
  fs::remove_all(fallback);
  const std::unique_ptr<const std::string, void (*)(const std::string*)> removed(
      &fallback, [](const std::string* f) { fs::remove_all(*f); });
  test::TempDir shared;
  fs::permissions(shared.path(), fs::perms::all | fs::perms::sticky_bit);
  test::BackgroundProcess impostor(as(other, {kPython, "-c", kImpostor, fallback, "control.sock"}));
  test::BackgroundProcess nearby(
      as(other, {kPython, "-c", kImpostor, shared.path().string(), "ctl.sock"}));
  for (auto* p : {&impostor, &nearby}) {
    ASSERT_TRUE(p->waitForOutput([](const std::string& o) { return o == "listening\n"; }, 10s))
        << p->err();
  }
  const std::string theirs = (shared / "ctl.sock").string();
  const std::string folderWhy = "The control folder " + fallback + " belongs to another user.";
  const std::string peerWhy = "The process listening at " + theirs + " runs as another user (uid " +
                              std::to_string(other) + "); nothing was sent to it.";
  const std::pair<std::vector<std::string>, std::string> attempts[] = {
      {{test::cliPath(), "ctl", "set", "--lat", "10", "--lon", "20"}, folderWhy},
      {{kPython, "-c", "from waymock_control import Waymock\nWaymock().status()"}, folderWhy},
      {{test::cliPath(), "ctl", "--socket", theirs, "status"}, peerWhy},
      {{kPython, "-c", "import sys\nfrom waymock_control import Waymock\nWaymock(sys.argv[1])",
        theirs},
       peerWhy},
  };
  for (const auto& [command, why] : attempts) {
    const auto r = test::runProcess(as(user, command), {}, 10s, {kClientPath});
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.err.find(why), std::string::npos) << r.err;
  }
  impostor.stop();
  nearby.stop();
  EXPECT_EQ(impostor.out() + nearby.out(), "listening\nlistening\n") << "a request reached them";
}

// On TCP, which any local user reaches, another user is answered once with
// the hello it lacks and cannot read the token; its idle connections beyond
// the cap leave the owner's socket and the owner's TCP client answered.
// Replies name a file's problem, never its text.
TEST(ControlAccess, OnTcpOnlyTheOwnerWithTheTokenIsAnswered) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs to run other users";
  test::TempDir dir;
  fs::create_directory(dir / "run", dir.path());
  fs::permissions(dir / "run", fs::perms::owner_all);
  fs::permissions(dir.path(), fs::perms::all | fs::perms::sticky_bit);
  const std::string runtime = "XDG_RUNTIME_DIR=" + (dir / "run").string();
  test::writeFile(dir / "secret.csv", "1,api_key=0123456789\n");
  fs::permissions(dir / "secret.csv", fs::perms::owner_read | fs::perms::owner_write);
  test::EnvGuard runtimeDir("XDG_RUNTIME_DIR", (dir / "run").string());
  test::BackgroundProcess sim({test::cliPath(), "run", "--virtual=" + (dir / "gps").string(),
                               "--control=" + (dir / "ctl.sock").string(), "--control-tcp", "0",
                               "--control-clients", "8", "--interval", "0.1", "-q"});
  std::string port;
  for (int i = 0; i < 500 && port.empty(); ++i) {
    const std::string err = sim.err();
    const auto at = err.find("connect to TCP 127.0.0.1:");
    if (at != std::string::npos && err.find('\n', at) != std::string::npos)
      port = err.substr(at + 25, err.find(' ', at + 25) - at - 25);
    if (port.empty()) std::this_thread::sleep_for(10ms);
  }
  ASSERT_FALSE(port.empty()) << sim.err();
  const std::string token = (dir / "run" / "waymock" / ("tcp-" + port + ".token")).string();
  const auto other = unusedUid(61240);
  const auto attempt = test::runProcess(
      as(other, {kPython, "-c",
                 "import socket, sys\n"
                 "try:\n  open(sys.argv[2]).read()\nexcept OSError as e:\n  print(e.strerror)\n"
                 "s = socket.create_connection(('127.0.0.1', int(sys.argv[1])))\n"
                 "s.sendall(b'{\"cmd\":\"move\",\"route\":\"' + sys.argv[3].encode() + "
                 "b'\",\"speed_kmh\":9}\\n{\"cmd\":\"status\"}\\n')\n"
                 "print(s.makefile().read(), end='')\n",
                 port, token, (dir / "secret.csv").string()}));
  EXPECT_EQ(attempt.out,
            "Permission denied\n"
            R"({"error":"The first request on TCP must be {\"cmd\":\"hello\",\"token\":\"...\"} )"
            "with the token in " +
                token +
                R"(; the connection is closed.","ok":false})"
                "\n")
      << attempt.err;
  test::BackgroundProcess idle(
      as(other, {kPython, "-c",
                 "import socket, sys\n"
                 "held = [socket.create_connection(('127.0.0.1', int(sys.argv[1]))) "
                 "for _ in range(20)]\n"
                 "print('held', len(held), flush=True)\n"
                 "sys.stdin.read()\n",
                 port}));
  ASSERT_TRUE(idle.waitForOutput([](const std::string& o) { return o == "held 20\n"; }, 10s))
      << idle.err();
  for (const std::vector<std::string>& how :
       {std::vector<std::string>{"--tcp", port}, {"--socket", (dir / "ctl.sock").string()}}) {
    std::vector<std::string> args = {test::cliPath(), "ctl"};
    args.insert(args.end(), how.begin(), how.end());
    args.push_back("status");
    const auto r = test::runProcess(args, {}, 10s, {runtime});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"token_file\":\"" + token + "\""), std::string::npos) << r.out;
  }
  const auto secret = test::runProcess({test::cliPath(), "ctl", "--tcp", port, "move", "--route",
                                        (dir / "secret.csv").string(), "--speed", "9"},
                                       {}, 10s, {runtime});
  EXPECT_EQ(secret.out, R"({"error":")" + (dir / "secret.csv").string() +
                            R"(: line 1 has a longitude that is not a number.","ok":false})"
                            "\n");
  sim.stop();
  EXPECT_FALSE(fs::exists(token)) << "removed when the run ends";
}

}  // namespace
}  // namespace waymock::control_test
