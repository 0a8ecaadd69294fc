#include "platform/folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "common/test_support.h"

namespace waymock {
namespace {

// Sets an environment variable for its lifetime.
class EnvGuard {
 public:
  EnvGuard(const char* name, const std::string& value) : name_(name) {
    if (const char* old = getenv(name)) previous_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~EnvGuard() {
    if (previous_) {
      setenv(name_, previous_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> previous_;
};

TEST(Folders, SatelliteFileLivesInTheUsersDataFolderWhichIsCreated) {
  test::TempDir dir;
  EnvGuard home("HOME", dir.path().string());
  {
    EnvGuard data("XDG_DATA_HOME", (dir / "data").string());
    EXPECT_EQ(satelliteFilePath(), (dir / "data/waymock/satellites.ini").string());
    EXPECT_TRUE(std::filesystem::is_directory(dir / "data/waymock"));
  }
  EnvGuard relative("XDG_DATA_HOME", "relative");
  EXPECT_EQ(satelliteFilePath(), (dir / ".local/share/waymock/satellites.ini").string());
  EXPECT_TRUE(std::filesystem::is_directory(dir / ".local/share/waymock"));
}

}  // namespace
}  // namespace waymock
