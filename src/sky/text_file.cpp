#include "sky/text_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>

#include "support/error.h"
#include "support/regular_file.h"
#include "support/shown_text.h"

namespace waymock::sky {

std::string readSkyFile(const std::string& path, std::string_view kind) {
  const std::string shown = shownText(path, 1024);
  const std::string what = "The " + std::string(kind) + " file " + shown;
  RegularFile file(path);
  switch (file.status()) {
    case RegularFile::Status::open:
      break;
    case RegularFile::Status::missing:
      raiseIo("Cannot find the " + std::string(kind) + " file " + shown + ".");
    case RegularFile::Status::notRegular: {
      struct stat st {};
      if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) raiseIo(what + " is a folder.");
      raiseIo(what + " is not a regular file.");
    }
    case RegularFile::Status::failed:
      raiseIo("Cannot read " + shown + ": " + systemErrorText(file.error()) + ".");
  }
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(file.fd(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) raiseIo("Cannot read " + shown + ": " + systemErrorText(errno) + ".");
    if (n == 0) return text;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() > kMaxSkyFileBytes) raiseIo(what + " is larger than 4 MB.");
  }
}

std::optional<double> fileNumber(std::string_view text) {
  // from_chars takes no "+", but data files write one.
  if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
  double v = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(v)) {
    return std::nullopt;
  }
  return v;
}

LineErrors::LineErrors(const std::string& source) : shownSource_(shownText(source, 1024)) {}

void LineErrors::fail(std::size_t line, const std::string& problem) const {
  raiseIo(shownSource_ + ": line " + std::to_string(line) + " " + problem);
}

void LineErrors::failFile(const std::string& problem) const {
  raiseIo(shownSource_ + ": " + problem);
}

Lines::Lines(std::string_view text) : rest_(text) {
  // Editors may save the file as UTF-8 with a byte order mark.
  if (rest_.starts_with("\xEF\xBB\xBF")) rest_.remove_prefix(3);
}

bool Lines::next(std::string_view& line) {
  if (rest_.empty()) return false;
  const std::size_t end = rest_.find('\n');
  line = rest_.substr(0, end);
  rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
  ++number_;
  const auto first = line.find_first_not_of(" \t\r");
  line = first == std::string_view::npos
             ? std::string_view{}
             : line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
  return true;
}

}  // namespace waymock::sky
