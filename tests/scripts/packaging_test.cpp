// What packaging/ ships beside the programs: the license and changelog of the
// package, the AppStream metadata and menu entry, the text the manual page of
// waymock-cli is made from, and the bash completion, run against the real tool.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "common/test_support.h"

namespace waymock {
namespace {

namespace fs = std::filesystem;

const fs::path kSource = WAYMOCK_SOURCE_DIR;
const fs::path kPackaging = kSource / "packaging";

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

// The subcommands of the tool or of one of its commands ("ctl"), and a
// command's option names, as the tool's help lists them.
std::vector<std::string> subcommands(const std::string& command = "") {
  std::vector<std::string> args = {test::cliPath(), "--help"};
  if (!command.empty()) args.insert(args.begin() + 1, command);
  const auto help = test::runProcess(args).out;
  std::vector<std::string> names;
  bool listed = false;
  for (const auto& line : lines(help)) {
    if (line == "Subcommands:") listed = true;
    std::smatch m;
    if (listed && std::regex_search(line, m, std::regex("^  ([a-z-]+) "))) names.push_back(m[1]);
  }
  return names;
}
std::vector<std::string> optionNames(const std::string& command) {
  std::vector<std::string> args = {test::cliPath()};
  std::istringstream words(command);
  for (std::string word; words >> word;) args.push_back(word);
  args.push_back("--help");
  const auto help = test::runProcess(args).out;
  std::vector<std::string> names;
  for (const auto& line : lines(help)) {
    std::smatch m;
    if (std::regex_search(line, m, std::regex("^  (?:-[A-Za-z0-9],)?(--[a-z0-9-]+)")))
      names.push_back(m[1]);
  }
  return names;
}

TEST(Packaging, LicenseChangelogAndMetadataAgreeWithTheProject) {
  const std::string license = test::readFile(kSource / "LICENSE");
  EXPECT_EQ(lines(license).at(0), "MIT License");
  EXPECT_EQ(lines(license).at(2), "Copyright (c) 2026 The Waymock authors");

  // The package's copyright file holds the same terms, as a Debian
  // paragraph: each line indented by one blank, an empty line written ".".
  std::string terms = license.substr(license.find("Permission is hereby granted"));
  std::string paragraph;
  for (const auto& line : lines(terms)) paragraph += line.empty() ? " .\n" : " " + line + "\n";
  const std::string copyright = test::readFile(kSource / "debian" / "copyright");
  EXPECT_NE(copyright.find("Copyright: 2026 The Waymock authors\nLicense: Expat\n"),
            std::string::npos);
  EXPECT_NE(copyright.find("\nLicense: Expat\n" + paragraph), std::string::npos) << paragraph;

  EXPECT_EQ(lines(test::readFile(kSource / "debian" / "changelog")).at(0),
            "waymock (" WAYMOCK_VERSION ") unstable; urgency=medium");
  const std::string metainfo = test::readFile(kPackaging / "invalid.waymock.waymock.metainfo.xml");
  EXPECT_NE(metainfo.find("<releases>\n    <release version=\"" WAYMOCK_VERSION "\""),
            std::string::npos);
  EXPECT_NE(metainfo.find("<project_license>MIT</project_license>"), std::string::npos);

  // Menus file an entry under each main category it names: one only.
  const std::string desktop = test::readFile(kPackaging / "waymock.desktop");
  std::smatch categories;
  ASSERT_TRUE(std::regex_search(desktop, categories, std::regex("\nCategories=([^\n]*)\n")));
  const std::vector<std::string> main = {
      "AudioVideo", "Audio",  "Video",   "Development", "Education", "Game",   "Graphics",
      "Network",    "Office", "Science", "Settings",    "System",    "Utility"};
  std::stringstream named(categories[1].str());
  int mainCount = 0;
  for (std::string category; std::getline(named, category, ';');) {
    mainCount += static_cast<int>(std::count(main.begin(), main.end(), category));
  }
  EXPECT_EQ(mainCount, 1) << categories[1];
}

// The metadata as a build writes it, without addresses and with them, passes
// the strictest validation with nothing worse than an information.
TEST(Packaging, MetainfoPassesAppstreamValidation) {
  const std::string appstreamcli = test::findProgram("appstreamcli");
  if (appstreamcli.empty()) GTEST_SKIP() << "appstreamcli is not installed";
  test::TempDir dir;
  const std::vector<std::string> links[] = {
      {}, {"-DHOMEPAGE=https://example.org/", "-DSCREENSHOTS=https://example.org/shots/"}};
  for (const auto& given : links) {
    const std::string written = (dir / "invalid.waymock.waymock.metainfo.xml").string();
    std::vector<std::string> args = {
        test::findProgram("cmake"),
        "-DSOURCE=" + (kPackaging / "invalid.waymock.waymock.metainfo.xml").string(),
        "-DOUTPUT=" + written};
    args.insert(args.end(), given.begin(), given.end());
    args.push_back("-P");
    args.push_back((kPackaging / "metainfo.cmake").string());
    ASSERT_EQ(test::runProcess(args).exitCode, 0);
    const std::string metainfo = test::readFile(written);
    EXPECT_EQ(
        metainfo.find("<url type=\"homepage\">https://example.org/</url>") != std::string::npos,
        !given.empty());
    EXPECT_EQ(metainfo.find("<image>https://example.org/shots/simulator.png</image>") !=
                  std::string::npos,
              !given.empty());
    const auto r = test::runProcess({appstreamcli, "validate", "--pedantic", "--no-net", written});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    for (const auto& line : lines(r.out)) EXPECT_FALSE(line.starts_with("W:")) << line;
    for (const auto& line : lines(r.out)) EXPECT_FALSE(line.starts_with("P:")) << line;
  }
}

// An installed program must not name the folder it was built from (debug
// information aside, which a package strips).
TEST(Packaging, TheProgramsCarryNoSourcePath) {
#ifdef WAYMOCK_SANITIZED
  // The sanitizers name each source file in their reports, by design; such a
  // build is for the tests and is never installed.
  GTEST_SKIP() << "a sanitizer build names its sources";
#endif
  test::TempDir dir;
  std::vector<std::string> programs = {WAYMOCK_CLI_PATH};
#ifdef WAYMOCK_APP_PATH
  programs.push_back(WAYMOCK_APP_PATH);
#endif
  for (const std::string& program : programs) {
    const fs::path stripped = dir / "stripped";
    const auto r = test::runProcess(
        {test::findProgram("objcopy"), "--strip-debug", program, stripped.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(test::readFile(stripped).find(WAYMOCK_SOURCE_DIR), std::string::npos) << program;
    fs::remove(stripped);
  }
}

// Each subcommand (ctl's with options of their own too) gets a section of the
// page holding every option of its help, and no default names the user who
// built the page.
TEST(ManualPage, EverySubcommandsOptionsInASectionOfItsOwn) {
  const auto r = test::runProcess({(kPackaging / "cli-help").string(), "--help"}, {},
                                  std::chrono::seconds(30), {"WAYMOCK_CLI=" + test::cliPath()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  auto commands = subcommands();
  ASSERT_GE(commands.size(), 4u);
  for (const char* sub : {"set", "move", "fault", "subscribe", "send"}) {
    commands.push_back(std::string("ctl ") + sub);
  }
  for (std::size_t i = 0; i < commands.size(); ++i) {
    const auto begin = r.out.find("\n*waymock-cli " + commands[i] + "*\n");
    ASSERT_NE(begin, std::string::npos) << commands[i] << "\n" << r.out;
    const auto end =
        i + 1 < commands.size() ? r.out.find("\n*waymock-cli", begin + 1) : r.out.size();
    const std::string section = r.out.substr(begin, end - begin);
    EXPECT_NE(section.find("\nwaymock-cli " + commands[i] + " [OPTIONS]"), std::string::npos)
        << section;
    EXPECT_EQ(section.find("\nOptions:\n"), std::string::npos) << "help2man's own heading";
    for (const auto& option : optionNames(commands[i])) {
      if (option == "--help") continue;
      // "  --alt", or after its short form: "  -p,--port".
      EXPECT_TRUE(section.find("  " + option) != std::string::npos ||
                  section.find("," + option) != std::string::npos)
          << commands[i] << " " << option;
    }
  }
  EXPECT_EQ(r.out.find("waymock-gps-"), std::string::npos) << r.out;

  const std::string help2man = test::findProgram("help2man");
  const std::string groff = test::findProgram("groff");
  if (help2man.empty() || groff.empty()) GTEST_SKIP() << "help2man or groff is not installed";
  test::TempDir dir;
  const std::string page = (dir / "waymock-cli.1").string();
  const auto made = test::runProcess(
      {help2man, "--no-info", "--version-string=waymock-cli " WAYMOCK_VERSION, "--output=" + page,
       "--include=" + (kPackaging / "waymock-cli.h2m").string(),
       (kPackaging / "cli-help").string()},
      {}, std::chrono::seconds(30), {"WAYMOCK_CLI=" + test::cliPath()});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  // groff's warnings are what `man` shows its reader, such as a line too
  // long to break.
  const auto shown = test::runProcess({groff, "-man", "-Tutf8", "-ww", "-P-cbu", page});
  EXPECT_EQ(shown.exitCode, 0);
  EXPECT_EQ(shown.err, "");
  EXPECT_NE(shown.out.find("WAYMOCK-CLI RUN"), std::string::npos) << shown.out;
  // The exit status in the words of the help pages.
  const auto words = [](const std::string& text) {
    // Words groff broke at the end of a line are joined again.
    std::istringstream in(std::regex_replace(text, std::regex("\u2010\n *"), ""));
    std::string all;
    for (std::string word; in >> word;) all += word + " ";
    return all;
  };
  const std::string html = test::readFile(kSource / "docs/help/command-line.html");
  const auto status = html.find("<p>Exit status: ");
  ASSERT_NE(status, std::string::npos);
  const std::string sentence = html.substr(status + 16, html.find(". ", status) - status - 15);
  EXPECT_NE(words(shown.out).find("EXIT STATUS " + words(sentence)), std::string::npos)
      << words(sentence);
}

// The completion as bash runs it on Tab, for the words typed so far (the last
// one the word being completed).
std::vector<std::string> complete(const std::vector<std::string>& words) {
  std::vector<std::string> args = {
      "/bin/bash", "-c",
      "source \"$0\"; COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); _waymock_cli; "
      "printf '%s\\n' \"${COMPREPLY[@]}\"",
      (kPackaging / "waymock-cli.bash").string(), test::cliPath()};
  args.insert(args.end(), words.begin(), words.end());
  const auto r = test::runProcess(args);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  auto result = lines(r.out);
  result.erase(std::remove(result.begin(), result.end(), ""), result.end());
  std::sort(result.begin(), result.end());
  return result;
}

TEST(BashCompletion, SubcommandsOptionsAndValuesFromTheToolsHelp) {
  test::TempDir dir;
  test::writeFile(dir / "satellites.ini", "");
  test::writeFile(dir / "drive.log", "");
  const std::string folder = dir.path().string() + "/";
  using Words = std::vector<std::string>;
  struct Case {
    Words typed;
    Words offered;
  } const cases[] = {
      {{""}, {"burst", "ctl", "decode", "replay", "route-info", "run", "sky-info"}},
      {{"r"}, {"replay", "route-info", "run"}},
      {{"route-info", "--j"}, {"--json"}},
      {{"run", "--speed-k"}, {"--speed-knots"}},
      {{"replay", "--lo"}, {"--loop"}},
      {{"decode", "--no-"}, {"--no-checksum"}},
      {{"run", "--baud", "48"}, {"4800"}},
      {{"run", "--lat", ""}, {}},
      {{"run", "--satellites", folder + "sat"}, {folder + "satellites.ini"}},
      {{"replay", "--delay", "0", folder + "dr"}, {folder + "drive.log"}},
      {{"ctl", "st"}, {"start", "status", "stop"}},
      {{"ctl", "--socket", folder + "x", "fault", ""},
       {"bad-checksum", "drop-sentence", "dropout", "frozen-fix", "hdop-degrade", "jump",
        "leap-second", "no-fix", "satellites-lost", "time-shift", "truncated-line"}},
      {{"ctl", "fault", "jump", "--b"}, {"--bearing", "--bursts"}},
      {{"ctl", "set", "--lat", "1", "--l"}, {"--lat", "--lon"}},
      {{"run", "-p", folder + "dr"}, {folder + "drive.log"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(complete(c.typed), c.offered) << ::testing::PrintToString(c.typed);
  }
  // After -p, the terminals with a device behind them, never the consoles.
  Words serial;
  for (const auto& tty : fs::directory_iterator("/sys/class/tty")) {
    const fs::path device = "/dev" / tty.path().filename();
    if (fs::exists(tty.path() / "device") && fs::is_character_file(device)) {
      serial.push_back(device.string());
    }
  }
  if (fs::exists("/dev/serial/by-id")) {
    for (const auto& link : fs::directory_iterator("/dev/serial/by-id")) {
      serial.push_back(link.path().string());
    }
  }
  std::sort(serial.begin(), serial.end());
  EXPECT_EQ(complete({"run", "-p", ""}), serial);
  for (const auto& offered : complete({"replay", "--port", "/dev/tty"})) {
    EXPECT_FALSE(std::regex_match(offered, std::regex("/dev/tty[0-9]*"))) << offered;
  }
}

TEST(PackageScript, RefusesArgumentsBeforeBuildingAnything) {
  const std::string script = (kSource / "scripts" / "package").string();
  EXPECT_EQ(test::runProcess({"/bin/bash", "-n", script}).exitCode, 0);
  const auto r =
      test::runProcess({script, "--now"}, {}, std::chrono::seconds(30), {"WAYMOCK_SKIP_INSTALL=1"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "usage: [WAYMOCK_MAINTAINER='Name <address>'] scripts/package\n");
}

}  // namespace
}  // namespace waymock
