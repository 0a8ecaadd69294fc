// scripts/lib.sh, which every script uses to install what is missing, run
// against stand-ins for id, dpkg-query and apt-get, with no sudo anywhere.
#include <gtest/gtest.h>
#include <sys/stat.h>

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
    for (const char* real : {"/usr/bin/env", "/bin/grep"}) {
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

}  // namespace
}  // namespace waymock
