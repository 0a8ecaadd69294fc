#pragma once

#include <exception>
#include <string>

namespace waymock::app {

// The message part of an error log line: the error's message, and for an
// input/output error that recorded the system's text, ", " and that text. The
// message's closing full stop goes, so the line reads as one sentence.
std::string handlerErrorText(const std::exception& error);

// The text of an error box: the error's message, and for an input/output error
// that recorded the system's text, that text as a second line, the reason,
// ended by a full stop.
std::string errorBoxText(const std::exception& error);

}  // namespace waymock::app
