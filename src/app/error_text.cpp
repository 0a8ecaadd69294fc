#include "app/error_text.h"

#include "support/error.h"

namespace waymock::app {

std::string handlerErrorText(const std::exception& error) {
  std::string text = error.what();
  if (const auto* io = dynamic_cast<const IoError*>(&error); io && !io->systemText().empty()) {
    text += ", " + io->systemText();
  }
  return text;
}

}  // namespace waymock::app
