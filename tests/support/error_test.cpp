#include "support/error.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace waymock {
namespace {

TEST(IoError, KeepsTheSystemTextApartFromTheMessage) {
  try {
    raiseIo("Cannot open the help file /x/index.html.", ENOENT);
  } catch (const IoError& error) {
    EXPECT_STREQ(error.what(), "Cannot open the help file /x/index.html.");
    EXPECT_EQ(error.systemText(), "No such file or directory");
  }
  try {
    raiseIo("Cannot read.");
  } catch (const IoError& error) {
    EXPECT_EQ(error.systemText(), "");
  }
  EXPECT_EQ(systemErrorText(EACCES), "Permission denied");
}

}  // namespace
}  // namespace waymock
