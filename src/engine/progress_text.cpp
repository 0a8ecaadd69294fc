#include "engine/progress_text.h"

#include <algorithm>
#include <charconv>
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

std::string modernLogText(std::size_t bursts) {
  return "No bursts: the log's " + std::to_string(bursts) + (bursts == 1 ? " begins" : " begin") +
         " with $GNRMC; check \"Modern receiver in file mode\"";
}

namespace {

std::string kilometres(double metres, char decimalPoint) {
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, std::max(metres, 0.0) / 1000,
                                 std::chars_format::fixed, 2)
                       .ptr;
  std::string result(text, end);
  std::replace(result.begin(), result.end(), '.', decimalPoint);
  return result;
}

}  // namespace

std::string distanceProgressText(double doneMetres, std::optional<double> totalMetres,
                                 std::optional<double> secondsLeft, char decimalPoint) {
  if (!totalMetres) return kilometres(doneMetres, decimalPoint) + " km travelled";
  std::string text = kilometres(doneMetres, decimalPoint) + " of " +
                     kilometres(*totalMetres, decimalPoint) + " km";
  if (secondsLeft) {
    text += ", " +
            durationText(std::chrono::duration_cast<std::chrono::nanoseconds>(
                std::chrono::duration<double>(*secondsLeft))) +
            " left";
  }
  return text;
}

}  // namespace waymock
