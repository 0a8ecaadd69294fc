#include "app/handler_guard.h"

#include <gtest/gtest.h>

#include <QObject>
#include <fstream>
#include <sstream>

#include "support/error.h"
#include "support/error_log.h"

namespace waymock::app {
namespace {

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(HandlerGuard, AnErrorBecomesOneLogLineNamedAfterTheSender) {
  const std::string given = std::string(getenv("HOME")) + "/guard.log";
  setErrorLogPath(given);
  const std::string path = IsAdministrator() ? given : GetSpecialFolder(5) + "WAYM.log";
  QObject button;
  button.setObjectName("btnStart");
  EXPECT_FALSE(runGuarded(&button, [] { raise("Heading must be between 0 and 359.99."); }));
  EXPECT_TRUE(runGuarded(&button, [] {}));
  const std::string log = readAll(path);
  EXPECT_NE(log.find(" - btnStart Heading must be between 0 and 359.99.\r\n"), std::string::npos)
      << log;
  EXPECT_EQ(log.find('\n'), log.size() - 1) << "one line only";
}

}  // namespace
}  // namespace waymock::app
