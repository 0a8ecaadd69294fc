#include "app/handler_guard.h"

#include <gtest/gtest.h>

#include <QObject>

#include "error_log_watch.h"
#include "support/error.h"

namespace waymock::app {
namespace {

TEST(HandlerGuard, AnErrorBecomesOneLogLineNamedAfterTheSender) {
  const test::ErrorLogWatch log;
  QObject button;
  button.setObjectName("btnStart");
  EXPECT_FALSE(runGuarded(&button, [] { raise("Heading must be between 0 and 359.99."); }));
  EXPECT_TRUE(runGuarded(&button, [] {}));
  EXPECT_EQ(log.lines(),
            std::vector<std::string>{"btnStart Heading must be between 0 and 359.99."});
}

}  // namespace
}  // namespace waymock::app
