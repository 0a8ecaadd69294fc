#pragma once

#include <exception>
#include <string>

namespace waymock::app {

// The message part of an error log line: the error's message, and for an
// input/output error that recorded the system's text, ", " and that text.
std::string handlerErrorText(const std::exception& error);

}  // namespace waymock::app
