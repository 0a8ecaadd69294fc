#pragma once

#include <functional>
#include <string>

class QObject;

namespace waymock::app {

// Where uncaught handler errors are written; see WriteLogLine for where the
// line really goes for a user without administrative rights.
void setErrorLogPath(std::string path);
const std::string& errorLogPath();

// Runs a handler so that no exception unwinds through Qt's frames: an error
// becomes one line in the error log, "<sender's objectName> <message>" (an
// input/output error's message, without its full stop, followed by ", " and
// the system's text when one was recorded), nothing is shown and the program
// goes on. Returns whether the handler finished without an error.
bool runGuarded(const QObject* sender, const std::function<void()>& handler);

// The line runGuarded writes for an error caught from `sender`.
void logHandlerError(const QObject* sender, const std::string& message);

}  // namespace waymock::app
