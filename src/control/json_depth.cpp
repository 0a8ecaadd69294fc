#include "control/json_depth.h"

namespace waymock::control {

bool nestedDeeperThan(std::string_view text, int depth) {
  int level = 0;
  bool inString = false;
  bool escaped = false;
  for (const char c : text) {
    if (inString) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++level > depth) return true;
    } else if (c == ']' || c == '}') {
      --level;
    }
  }
  return false;
}

}  // namespace waymock::control
