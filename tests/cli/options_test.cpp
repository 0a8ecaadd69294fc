// How the command line reads its arguments: messages, version, short options,
// optional values, and the help page that lists them.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "common/test_support.h"

namespace waymock {
namespace {

using namespace std::chrono_literals;
using test::cliPath;
using test::runProcess;

const std::string kSeeHelp = "Run with --help for more information.\n";
const std::string kGerman = std::string("LC_ALL=") + test::kDecimalCommaLocale;

std::vector<std::string> cli(const std::vector<std::string>& args) {
  std::vector<std::string> all = {cliPath()};
  all.insert(all.end(), args.begin(), args.end());
  return all;
}

std::string parseError(const std::string& message) {
  return "waymock-cli: " + message + "\n" + kSeeHelp;
}

// As typed in a German session: the messages stay English and name the word
// most likely meant.
TEST(CliOptions, ParserMessagesNameTheProgramAndTheWordMostLikelyMeant) {
  test::TempDir dir;
  const std::string none = (dir / "none.sock").string();
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"runn"}, parseError("Unknown subcommand \"runn\"; did you mean \"run\"?")},
      {{"brust"}, parseError("Unknown subcommand \"brust\"; did you mean \"burst\"?")},
      {{"--quiet", "replya", "drive.log"},
       parseError("Unknown subcommand \"replya\"; did you mean \"replay\"?")},
      {{"navigate"},
       parseError("Unknown subcommand \"navigate\"; the subcommands are burst, run, "
                  "decode, replay, route-info, ctl.")},
      {{"ctl", "stauts"},
       parseError("Unknown subcommand \"ctl stauts\"; did you mean \"ctl status\"?")},
      {{"ctl", "--socket", none, "navigate"},
       parseError("Unknown subcommand \"ctl navigate\"; the subcommands of ctl are status, start, "
                  "stop, pause, resume, set, move, fault, subscribe, send.")},
      {{}, parseError("A subcommand is required")},
      {{"burst", "--lat"}, parseError("--lat: 1 required DEG:MIN:SEC[NS]|DEGREES missing")},
      {{"run", "--latt", "48"},
       parseError("Unknown option \"--latt\" for run; did you mean \"--lat\"?")},
      {{"burst", "--sat", "sky.ini"},
       parseError("Unknown option \"--sat\" for burst; did you mean \"--satellites\"?")},
      {{"ctl", "set", "--latitude=48"},
       parseError("Unknown option \"--latitude\" for ctl set; did you mean \"--lat\"?")},
      {{"ctl", "status", "--sockt", none},
       parseError("Unknown option \"--sockt\" for ctl status; did you mean \"--socket\"?")},
      {{"burst", "--no-such-option"}, parseError("Unknown option \"--no-such-option\" for burst.")},
      {{"burst", "48", "49"}, parseError("The following arguments were not expected: 48 49")},
      {{"ctl", "--socket", none, "fault", "no-fx"},
       "waymock-cli: Unknown fault type \"no-fx\"; did you mean \"no-fix\"?\n"},
  };
  for (const auto& [args, err] : cases) {
    const auto r = runProcess(cli(args), {}, 30s, {kGerman});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, err);
    EXPECT_EQ(r.out, "");
  }
}

// The usual habit in every command: an option given twice takes the last
// value, a list option the last list.
TEST(CliOptions, AnOptionGivenTwiceTakesTheLastValue) {
  test::TempDir dir;
  const std::string log = (dir / "drive.log").string();
  const std::string rmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,,*11\r\n";
  test::writeFile(log, rmc + rmc);
  const std::string none = (dir / "none.sock").string();
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string shown;  // on standard output or error
  } const cases[] = {
      {{"burst", "--sentences", "GGA", "--lat", "10", "--lat", "20"}, 0, ",2000.0000,N,"},
      {{"decode", "--sentences", "ZDA", "--sentences", "RMC", log}, 0, "\"Latitude_Degree\": 48,"},
      {{"replay", "--delay", "0", "--virtual=" + (dir / "a").string(),
        "--virtual=" + (dir / "b").string(), log},
       0,
       "clients read the simulated receiver at " + (dir / "b").string() + " ("},
      {{"route-info", "--json", "--json",
        std::string(WAYMOCK_SOURCE_DIR) + "/examples/harbour.gpx"},
       0,
       "\"kind\": "},
      {{"ctl", "--socket", log, "set", "--lat", "1", "--lat", "2", "--socket", none},
       1,
       "Cannot reach a simulator at " + none + " "},
  };
  for (const auto& c : cases) {
    const auto r = runProcess(cli(c.args), {}, 30s, {kGerman});
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args[0] << ": " << r.err;
    EXPECT_NE((r.out + r.err).find(c.shown), std::string::npos) << r.out << r.err;
  }
}

TEST(CliOptions, VersionIsTheProjects) {
  for (const char* option : {"--version", "-V"}) {
    const auto r = runProcess(cli({option}));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, std::string("waymock-cli ") + WAYMOCK_PROJECT_VERSION + "\n");
    EXPECT_EQ(r.err, "");
  }
}

// -p, -c and -q on a real pseudo-terminal, -u to a UDP listener.
TEST(CliOptions, ShortOptionsAndQuiet) {
  int master = -1, slave = -1;
  char name[256] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  test::UdpReceiver udp;
  const auto r = runProcess(cli({"run", "-p", name, "-c", "2", "-q", "--interval", "0.01", "-u",
                                 "127.0.0.1:" + std::to_string(udp.port())}),
                            {}, 10s);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "");  // nothing echoed
  EXPECT_TRUE(udp.receive().has_value());
  std::string written(4096, '\0');
  pollfd ready{master, POLLIN, 0};
  const ssize_t n =
      ::poll(&ready, 1, 2000) == 1 ? ::read(master, written.data(), written.size()) : 0;
  ASSERT_GT(n, 0);
  EXPECT_TRUE(written.starts_with("$GPZDA")) << written.substr(0, 80);
  ::close(master);
  ::close(slave);
}

// GNU optional values: the word after a bare --virtual is an argument of its
// own; a path comes after "=".
TEST(CliOptions, VirtualTakesItsPathAfterAnEqualsSignOnly) {
  test::TempDir dir;
  const std::string rmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,,*11\r\n";
  test::writeFile(dir / "drive.log", rmc + rmc);
  const std::string runtime = "XDG_RUNTIME_DIR=" + dir.path().string();
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--virtual", (dir / "drive.log").string()}, (dir / "waymock-gps").string()},
      {{(dir / "drive.log").string(), "--virtual=" + (dir / "mine").string()},
       (dir / "mine").string()},
  };
  for (const auto& [args, link] : cases) {
    std::vector<std::string> command = {"/usr/bin/env", runtime, cliPath(), "replay"};
    command.insert(command.end(), args.begin(), args.end());
    // Words after the log: the bare --virtual used to take the log as its path.
    command.insert(command.end(), {"--delay", "0"});
    const auto r = runProcess(command, {}, 10s);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("clients read the simulated receiver at " + link + " ("),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.out.find("$GPRMC,"), std::string::npos);
  }
}

// The help page names every long option of every subcommand, so the page and
// the program cannot drift apart unnoticed.
TEST(CliOptions, TheHelpPageNamesEveryOption) {
  const std::string page =
      test::readFile(std::string(WAYMOCK_SOURCE_DIR) + "/docs/help/command-line.html");
  const std::regex option(R"(--[a-z][a-z0-9-]+)");
  std::set<std::string> options;
  for (const std::string command : {"burst", "run", "decode", "replay", "route-info", "ctl",
                                    "ctl set", "ctl fault", "ctl subscribe"}) {
    EXPECT_NE(page.find("waymock-cli " + command), std::string::npos) << command;
    std::vector<std::string> words;
    for (std::size_t at = 0; at <= command.size();) {
      const std::size_t space = std::min(command.find(' ', at), command.size());
      words.push_back(command.substr(at, space - at));
      at = space + 1;
    }
    words.push_back("--help");
    const auto help = runProcess(cli(words));
    ASSERT_EQ(help.exitCode, 0);
    // What goes to the serial port goes to UDP and TCP too.
    const std::regex serialAndUdp(R"(serial[^\n]*UDP[^\n]*)");
    for (std::sregex_iterator i(help.out.begin(), help.out.end(), serialAndUdp), end; i != end;
         ++i) {
      EXPECT_NE(i->str().find("TCP"), std::string::npos) << i->str();
    }
    for (std::sregex_iterator i(help.out.begin(), help.out.end(), option), end; i != end; ++i) {
      options.insert(i->str());
    }
  }
  ASSERT_GT(options.size(), 30u);
  for (const std::string& name : options) {
    EXPECT_NE(page.find(name), std::string::npos) << name << " is not on the help page";
  }
  EXPECT_NE(page.find("--version"), std::string::npos);
  // The user's own default, not a path every user shares.
  EXPECT_EQ(page.find("/tmp/waymock-gps\""), std::string::npos);
  EXPECT_EQ(page.find("--virtual /"), std::string::npos);
}

}  // namespace
}  // namespace waymock
