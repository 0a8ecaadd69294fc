#include "app/handler_guard.h"

#include <QObject>
#include <exception>

#include "app/error_text.h"
#include "support/error_log.h"

namespace waymock::app {

namespace {
std::string& logPath() {
  static std::string path;
  return path;
}
}  // namespace

void setErrorLogPath(std::string path) {
  logPath() = std::move(path);
}
const std::string& errorLogPath() {
  return logPath();
}

void logHandlerError(const QObject* sender, const std::string& message) {
  const std::string name = sender != nullptr ? sender->objectName().toStdString() : std::string();
  try {
    WriteLogLine(logPath(), name + " " + message);
  } catch (...) {
    // The error log is the last resort: a failure to write it has nowhere to go.
  }
}

bool runGuarded(const QObject* sender, const std::function<void()>& handler) {
  try {
    handler();
    return true;
  } catch (const std::exception& error) {
    logHandlerError(sender, handlerErrorText(error));
  } catch (...) {
    logHandlerError(sender, "Unknown error.");
  }
  return false;
}

}  // namespace waymock::app
