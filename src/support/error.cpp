#include "support/error.h"

#include <locale.h>
#include <netdb.h>

#include <cstring>

namespace waymock {

void raise(const std::string& message) {
  throw Error(message);
}

void raiseIo(const std::string& message) {
  throw IoError(message);
}

void raiseIo(const std::string& message, int errnoValue) {
  throw IoError(message, systemErrorText(errnoValue));
}

namespace {

// The system's texts in English whatever the user's language: they end
// sentences of ours, which are English. The window takes the user's locale
// for the whole process, where strerror would follow LC_MESSAGES.
locale_t englishTexts() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t{});
  return c;
}

}  // namespace

std::string systemErrorText(int errnoValue) {
  const locale_t c = englishTexts();
  const char* text = c != locale_t{} ? strerror_l(errnoValue, c) : nullptr;
  return text != nullptr && *text != '\0' ? text : "Unknown error " + std::to_string(errnoValue);
}

std::string resolverErrorText(int gaiError) {
  // gai_strerror has no variant taking a locale: this thread reads the C one
  // for the call.
  const locale_t c = englishTexts();
  const locale_t previous = c != locale_t{} ? uselocale(c) : locale_t{};
  const std::string text = gai_strerror(gaiError);
  if (previous != locale_t{}) uselocale(previous);
  return text;
}

}  // namespace waymock
