#include "support/shown_text.h"

#include "support/number_text.h"

namespace waymock {

std::string shownText(std::string_view text, std::size_t limit) {
  const bool cut = text.size() > limit;
  if (cut) text = text.substr(0, limit);
  std::string shown;
  shown.reserve(text.size() + 3);
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F) {
      shown += c;
    } else {
      const auto digits = upperHexDigits(byte);
      shown += "\\x";
      shown.append(digits.data(), digits.size());
    }
  }
  if (cut) shown += "...";
  return shown;
}

}  // namespace waymock
