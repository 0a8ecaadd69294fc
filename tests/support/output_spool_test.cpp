#include "support/output_spool.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>

#include "common/test_support.h"
#include "support/error.h"

namespace waymock {
namespace {

namespace fs = std::filesystem;

std::string saved(const OutputSpool& spool, const test::TempDir& dir) {
  const fs::path file = dir / "saved.log";
  spool.saveTo(file.string());
  return test::readFile(file);
}

TEST(OutputSpool, KeepsEachEntryAsTheLogShowsItWithCrLf) {
  const struct {
    std::string entry;
    std::string kept;
  } cases[] = {
      {"$GPGGA,1\r\n$GPRMC,2\r\n", "$GPGGA,1\r\n$GPRMC,2\r\n\r\n"},
      {"a\nb", "a\r\nb\r\n"},
      {"", "\r\n"},
      {"x\r\r\n\xb0\xff\r\n", "x\r\n\xb0\xff\r\n\r\n"},
  };
  test::TempDir dir;
  for (const auto& c : cases) {
    OutputSpool spool(dir.path().string());
    spool.append(c.entry);
    EXPECT_EQ(spool.size(), c.kept.size());
    EXPECT_EQ(saved(spool, dir), c.kept);
  }
}

// Larger than the copy's chunk, so the save crosses chunk boundaries.
TEST(OutputSpool, SavesTheWholeLogAndClearEmptiesIt) {
  test::TempDir dir;
  OutputSpool spool((dir / "").string());
  EXPECT_TRUE(spool.empty());
  std::string expected;
  for (int i = 0; i < 3000; ++i) {
    const std::string sentence = "$GPGGA," + std::to_string(i) + std::string(40, 'x');
    spool.append(sentence + "\r\n");
    expected += sentence + "\r\n\r\n";
  }
  EXPECT_EQ(saved(spool, dir), expected);
  spool.clear();
  EXPECT_TRUE(spool.empty());
  EXPECT_EQ(saved(spool, dir), "");
  spool.append("$GPRMC\r\n");
  EXPECT_EQ(saved(spool, dir), "$GPRMC\r\n\r\n");
}

TEST(OutputSpool, TheFileIsPrivateNamelessAndGoesWithTheSpool) {
  test::TempDir dir;
  const fs::path folder = dir / "cache";
  fs::create_directory(folder);
  {
    OutputSpool spool(folder.string());
    EXPECT_TRUE(test::openFilesIn(folder).empty()) << "made on the first entry";
    spool.append("$GPRMC\r\n");
    const std::vector<std::string> open = test::openFilesIn(folder);
    ASSERT_EQ(open.size(), 1u);
    EXPECT_TRUE(open[0].ends_with(" (deleted)")) << open[0];
    EXPECT_TRUE(fs::is_empty(folder)) << "no name another process could open";
    struct stat file {};
    const std::string fd = "/proc/self/fd/";
    for (const auto& entry : fs::directory_iterator(fd)) {
      std::error_code ignored;
      if (fs::read_symlink(entry.path(), ignored) == open[0]) stat(entry.path().c_str(), &file);
    }
    EXPECT_EQ(file.st_mode & 07777, 0600u);
  }
  EXPECT_TRUE(test::openFilesIn(folder).empty());
}

TEST(OutputSpool, AFailedWriteIsAnErrorThatLeavesTheLogAsItWas) {
  test::TempDir dir;
  OutputSpool missing((dir / "missing").string());
  try {
    missing.append("x");
    ADD_FAILURE() << "no error";
  } catch (const IoError& error) {
    EXPECT_EQ(std::string(error.what()),
              "Cannot keep the output log in " + (dir / "missing/").string() + ".");
    EXPECT_EQ(error.systemText(), "No such file or directory");
  }
  EXPECT_TRUE(missing.empty());

  // The disk "fills up" within the third entry.
  OutputSpool spool(dir.path().string());
  spool.append("one\r\n");
  spool.append("two\r\n");
  std::string systemText;
  {
    const test::FileSizeLimit limit(spool.size() + 4);
    try {
      spool.append("three\r\n");
    } catch (const IoError& error) {
      systemText = error.systemText();
    }
  }
  EXPECT_EQ(systemText, "File too large");
  EXPECT_EQ(saved(spool, dir), "one\r\n\r\ntwo\r\n\r\n");
  spool.append("four\r\n");
  EXPECT_EQ(saved(spool, dir), "one\r\n\r\ntwo\r\n\r\nfour\r\n\r\n");
}

}  // namespace
}  // namespace waymock
