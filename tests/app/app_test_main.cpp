// The window tests run real widgets on Qt's offscreen platform, with HOME and
// the XDG folders in a temporary folder so that settings, the satellite file
// and the error log never touch the user's own.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  char pattern[] = "/tmp/waymock-app-test-XXXXXX";
  const char* home = mkdtemp(pattern);
  if (home == nullptr) return 2;
  const std::string root = home;
  for (const char* sub : {"config", "data", "cache", "runtime"}) {
    std::filesystem::create_directories(root + "/" + sub);
  }
  setenv("HOME", home, 1);
  setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
  setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
  setenv("XDG_CACHE_HOME", (root + "/cache").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (root + "/runtime").c_str(), 1);
  std::filesystem::permissions(root + "/runtime", std::filesystem::perms::owner_all);

  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
  return result;
}
