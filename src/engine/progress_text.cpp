#include "engine/progress_text.h"

#include <algorithm>
#include <cstdio>

namespace waymock {

std::string durationText(std::chrono::nanoseconds duration) {
  const auto seconds =
      std::chrono::round<std::chrono::seconds>(std::max(duration, std::chrono::nanoseconds(0)))
          .count();
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  return text;
}

std::string burstProgressText(std::size_t sent, std::size_t total,
                              std::chrono::nanoseconds timeLeft) {
  return std::to_string(sent) + " of " + std::to_string(total) +
         (total == 1 ? " burst" : " bursts") + " sent, " + durationText(timeLeft) + " left";
}

}  // namespace waymock
