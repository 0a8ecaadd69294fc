#include "app/error_text.h"

#include "support/error.h"

namespace waymock::app {

namespace {

const std::string* systemText(const std::exception& error) {
  const auto* io = dynamic_cast<const IoError*>(&error);
  return io != nullptr && !io->systemText().empty() ? &io->systemText() : nullptr;
}

}  // namespace

std::string handlerErrorText(const std::exception& error) {
  std::string text = error.what();
  if (const std::string* reason = systemText(error)) {
    // "Cannot save x.log." and "Permission denied" make "Cannot save x.log,
    // Permission denied", not "x.log., Permission"; an ellipsis stays.
    if (text.ends_with('.') && !text.ends_with("..")) text.pop_back();
    text += ", " + *reason;
  }
  return text;
}

std::string errorBoxText(const std::exception& error) {
  std::string text = error.what();
  if (const std::string* reason = systemText(error)) {
    text += "\n" + *reason;
    if (!reason->ends_with('.')) text += '.';
  }
  return text;
}

}  // namespace waymock::app
