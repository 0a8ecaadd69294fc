#include "support/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <iterator>

#include "common/test_support.h"
#include "support/error.h"

namespace waymock {
namespace {

namespace fs = std::filesystem;

std::size_t entries(const fs::path& folder) {
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(AtomicFile, WritesReplacesKeepingTheModeAndFollowsALink) {
  test::TempDir dir;
  const fs::path file = dir / "out.log";
  writeFileAtomically(file.string(), "one\r\n");
  EXPECT_EQ(test::readFile(file), "one\r\n");
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  writeFileAtomically(file.string(), "two\r\n");
  EXPECT_EQ(test::readFile(file), "two\r\n");
  EXPECT_EQ(fs::status(file).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink(file, dir / "link.log");
  writeFileAtomically((dir / "link.log").string(), "three\r\n");
  EXPECT_TRUE(fs::is_symlink(dir / "link.log"));
  EXPECT_EQ(test::readFile(file), "three\r\n");
  EXPECT_EQ(entries(dir.path()), 2u) << "no temporary file left";
}

TEST(AtomicFile, AFailedSaveLeavesTheOldFileWhole) {
  test::TempDir dir;
  // A folder with something in it: no rename replaces it, even for root.
  const fs::path folder = dir / "folder.log";
  fs::create_directory(folder);
  test::writeFile(folder / "keep.txt", "keep");
  try {
    writeFileAtomically(folder.string(), "x");
    ADD_FAILURE() << "no error";
  } catch (const IoError& error) {
    EXPECT_EQ(error.what(), "Cannot save the file " + folder.string() + ".");
    EXPECT_FALSE(error.systemText().empty());
  }
  EXPECT_EQ(test::readFile(folder / "keep.txt"), "keep");
  EXPECT_THROW(writeFileAtomically((dir / "missing" / "a.log").string(), "x"), IoError);

  // The disk "fills up" half way.
  const fs::path file = dir / "out.log";
  test::writeFile(file, "old\r\n");
  {
    const test::FileSizeLimit limit(100);
    EXPECT_THROW(writeFileAtomically(file.string(), std::string(1000, 'x')), IoError);
  }
  EXPECT_EQ(test::readFile(file), "old\r\n");
  EXPECT_EQ(entries(dir.path()), 2u) << "no temporary file left";
}

// The folder would let a rename replace the file; the file itself is read-only.
TEST(AtomicFile, RefusesAnExistingFileTheUserMayNotWrite) {
  test::TempDir dir;
  const fs::path folder = dir / "writable";
  fs::create_directory(folder);
  const fs::path file = folder / "out.log";
  test::writeFile(file, "old\r\n");
  test::giveToNobody(folder);
  test::giveToNobody(file);
  fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::others_exec);
  fs::permissions(file, fs::perms::owner_read | fs::perms::others_read);
  const std::string result = test::runAsNobody([&] {
    try {
      writeFileAtomically(file.string(), "new\r\n");
    } catch (const IoError& error) {
      return std::string(error.what()) + " | " + error.systemText();
    }
    return std::string("written");
  });
  EXPECT_EQ(result, "Cannot save the file " + file.string() + ". | Permission denied");
  EXPECT_EQ(test::readFile(file), "old\r\n");
  EXPECT_EQ(entries(folder), 1u);
}

// As root, as in the shared /tmp: another user's link must not choose which
// file a save replaces, while the user's own link is still followed.
TEST(AtomicFile, RefusesASymbolicLinkOwnedByAnotherUser) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can test a link of another user";
  test::TempDir dir;
  const fs::path shared = dir / "shared";
  fs::create_directory(shared);
  fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
  fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::others_exec);
  const fs::path victim = dir / "profile";
  test::writeFile(victim, "keep\n");
  const fs::path planted = shared / "drive.log";
  ASSERT_EQ(test::runAsNobody([&] {
              fs::create_symlink(victim, planted);
              return std::string("planted");
            }),
            "planted");
  try {
    writeFileAtomically(planted.string(), "$GPRMC\r\n");
    ADD_FAILURE() << "saved through the planted link";
  } catch (const IoError& error) {
    EXPECT_EQ(error.what(), "Cannot save the file " + planted.string() + ".");
    EXPECT_EQ(error.systemText(), "Symbolic link owned by another user, not followed");
  }
  EXPECT_EQ(test::readFile(victim), "keep\n");
  EXPECT_TRUE(fs::is_symlink(planted));
  EXPECT_EQ(entries(shared), 1u);
}

// A save that was killed leaves its temporary file; the next save into the
// folder removes those of ended processes and no others.
TEST(AtomicFile, RemovesTheTemporaryFilesOfEndedProcesses) {
  test::TempDir dir;
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  ASSERT_GT(ended, 0);
  waitpid(ended, nullptr, 0);
  const std::string stale = ".waymock-" + std::to_string(ended) + "-7.tmp";
  const std::string live = ".waymock-" + std::to_string(getppid()) + "-0.tmp";
  for (const std::string& name : {stale, live, std::string(".waymock-notes.tmp")}) {
    test::writeFile(dir / name, "half");
  }
  writeFileAtomically((dir / "out.log").string(), "one\r\n");
  EXPECT_FALSE(fs::exists(dir / stale));
  EXPECT_TRUE(fs::exists(dir / live));
  EXPECT_TRUE(fs::exists(dir / ".waymock-notes.tmp"));
  EXPECT_EQ(test::readFile(dir / "out.log"), "one\r\n");
}

}  // namespace
}  // namespace waymock
