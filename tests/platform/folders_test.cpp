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

// The cache is on disk; the runtime folder is usually memory, so it serves
// only when the cache cannot be made.
TEST(Folders, TheCacheFolderIsPrivateWithTheRuntimeAndTemporaryFoldersAsFallbacks) {
  namespace fs = std::filesystem;
  test::TempDir dir;
  test::EnvGuard home("HOME", dir.path().string());
  test::EnvGuard runtime("XDG_RUNTIME_DIR", (dir / "run").string());
  test::EnvGuard tmp("TMPDIR", (dir / "tmp").string());
  fs::create_directory(dir / "run");
  {
    test::EnvGuard cache("XDG_CACHE_HOME", (dir / "cache").string());
    EXPECT_EQ(userCacheFolder(), (dir / "cache/waymock/").string());
    EXPECT_EQ(fs::status(dir / "cache/waymock").permissions(), fs::perms::owner_all);
  }
  EXPECT_EQ(userCacheFolder(), (dir / ".cache/waymock/").string());
  test::writeFile(dir / "file", "");
  test::EnvGuard cache("XDG_CACHE_HOME", (dir / "file").string());
  EXPECT_EQ(userCacheFolder(), (dir / "run/").string());
  test::EnvGuard noRuntime("XDG_RUNTIME_DIR", std::nullopt);
  EXPECT_EQ(userCacheFolder(), (dir / "tmp/").string());
}

}  // namespace
}  // namespace waymock
