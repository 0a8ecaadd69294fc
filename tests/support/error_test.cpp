#include "support/error.h"

#include <gtest/gtest.h>

#include <netdb.h>

#include <cerrno>

#include "common/test_support.h"

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

// The system's words end English sentences: English whatever the language.
TEST(IoError, SystemTextIsEnglishUnderAnyLanguage) {
  test::LocaleGuard german(test::kDecimalCommaLocale);
  if (!german.ok()) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
  EXPECT_EQ(systemErrorText(EADDRINUSE), "Address already in use");
  EXPECT_EQ(resolverErrorText(EAI_NONAME), "Name or service not known");
}

}  // namespace
}  // namespace waymock
