#include "app/error_text.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "support/error.h"

namespace waymock::app {
namespace {

TEST(ErrorText, AnIoErrorAddsTheSystemTextAfterACommaInPlaceOfTheFullStop) {
  EXPECT_EQ(handlerErrorText(IoError("Cannot save the log.", systemErrorText(EACCES))),
            "Cannot save the log, Permission denied");
  EXPECT_EQ(handlerErrorText(IoError("Still saving...", systemErrorText(EACCES))),
            "Still saving..., Permission denied");
  EXPECT_EQ(handlerErrorText(IoError("Cannot save the log.")), "Cannot save the log.");
  EXPECT_EQ(handlerErrorText(Error("Heading must be between 0 and 359.99.")),
            "Heading must be between 0 and 359.99.");
  EXPECT_EQ(handlerErrorText(std::runtime_error("boom")), "boom");
}

TEST(ErrorText, ABoxGivesTheSystemTextAsASecondLine) {
  EXPECT_EQ(errorBoxText(IoError("Cannot save the log.", systemErrorText(EACCES))),
            "Cannot save the log.\nPermission denied.");
  EXPECT_EQ(errorBoxText(IoError("Cannot save the log.")), "Cannot save the log.");
  EXPECT_EQ(errorBoxText(std::runtime_error("boom")), "boom");
}

}  // namespace
}  // namespace waymock::app
