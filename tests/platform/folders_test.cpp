#include "platform/folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "common/test_support.h"

namespace waymock {
namespace {

TEST(Folders, SatelliteFileLivesInTheUsersDataFolderWhichIsCreated) {
  test::TempDir dir;
  test::EnvGuard home("HOME", dir.path().string());
  {
    test::EnvGuard data("XDG_DATA_HOME", (dir / "data").string());
    EXPECT_EQ(satelliteFilePath(), (dir / "data/waymock/satellites.ini").string());
    EXPECT_TRUE(std::filesystem::is_directory(dir / "data/waymock"));
  }
  test::EnvGuard relative("XDG_DATA_HOME", "relative");
  EXPECT_EQ(satelliteFilePath(), (dir / ".local/share/waymock/satellites.ini").string());
  EXPECT_TRUE(std::filesystem::is_directory(dir / ".local/share/waymock"));
}

}  // namespace
}  // namespace waymock
