#include "support/sentence_type.h"

namespace waymock {

std::optional<std::string> sentenceType(std::string_view name) {
  if (name.size() != 3 && name.size() != 5) return std::nullopt;
  std::string type;
  for (const char c : name.substr(name.size() - 3)) {
    if (c >= 'a' && c <= 'z') {
      type += static_cast<char>(c - 'a' + 'A');
    } else if (c >= 'A' && c <= 'Z') {
      type += c;
    } else {
      return std::nullopt;
    }
  }
  for (const char c : name.substr(0, name.size() - 3)) {
    if (!(c >= 'a' && c <= 'z') && !(c >= 'A' && c <= 'Z')) return std::nullopt;
  }
  return type;
}

}  // namespace waymock
