#pragma once

// The small text files the sky reads: almanacs and horizon profiles.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace waymock::sky {

// Neither kind comes near this: a year of daily almanacs is a few megabytes.
inline constexpr std::size_t kMaxSkyFileBytes = 4'000'000;

// The whole file at `path`. `kind` names it in messages ("almanac"): every
// failure is an IoError such as "Cannot find the almanac file gps.alm.".
std::string readSkyFile(const std::string& path, std::string_view kind);

// A finite decimal number as data files write it, whatever the locale: an
// optional sign, digits with an optional point, an optional exponent
// ("0.1174926758E-001"). Nothing for anything else.
std::optional<double> fileNumber(std::string_view text);

// Reports a file's problems as the route readers do: "<file>: line 12 has
// Eccentricity outside 0 to 0.9." Text from the file is never repeated.
class LineErrors {
 public:
  explicit LineErrors(const std::string& source);
  [[noreturn]] void fail(std::size_t line, const std::string& problem) const;
  [[noreturn]] void failFile(const std::string& problem) const;

 private:
  std::string shownSource_;
};

// Each line of `text` in turn, with its number from 1, without its line end
// and the blanks around it.
class Lines {
 public:
  explicit Lines(std::string_view text);
  bool next(std::string_view& line);
  std::size_t number() const { return number_; }

 private:
  std::string_view rest_;
  std::size_t number_ = 0;
};

}  // namespace waymock::sky
