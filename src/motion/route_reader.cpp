#include "motion/route_reader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "motion/route_formats.h"
#include "support/error.h"
#include "support/regular_file.h"
#include "support/shown_text.h"

namespace waymock::motion {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool endsWith(std::string_view name, std::string_view suffix) {
  if (name.size() < suffix.size()) return false;
  const std::string_view tail = name.substr(name.size() - suffix.size());
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    const char c = tail[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != suffix[i]) return false;
  }
  return true;
}

std::string_view withoutBlanks(std::string_view text) {
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  const auto first = text.find_first_not_of(" \t\r\n");
  return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

// The whole file, read through one descriptor so that what is checked is what
// is read.
std::string readWholeFile(const std::string& path) {
  const std::string shown = shownText(path, 1024);
  const auto cannotRead = [&shown](int error) {
    raiseIo("Cannot read " + shown + ": " + systemErrorText(error) + ".");
  };
  const RegularFile file(path);
  switch (file.status()) {
    case RegularFile::Status::open:
      break;
    case RegularFile::Status::missing:
      raiseIo("Cannot find the route file " + shown + ".");
    case RegularFile::Status::notRegular: {
      struct stat st {};
      if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        raiseIo("The route file " + shown + " is a folder.");
      raiseIo("The route file " + shown + " is not a regular file.");
    }
    case RegularFile::Status::failed:
      cannotRead(file.error());
  }
  struct stat st {};
  if (::fstat(file.fd(), &st) != 0) cannotRead(errno);
  if (static_cast<std::uintmax_t>(st.st_size) > kMaxRouteFileBytes)
    raiseIo("The route file " + shown + " is larger than 100 MB.");
  // One byte more than the size, to see a file that grew since.
  std::string text(static_cast<std::size_t>(st.st_size) + 1, '\0');
  std::size_t length = 0;
  while (length < text.size()) {
    const ssize_t n = ::read(file.fd(), text.data() + length, text.size() - length);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) cannotRead(errno);
    if (n == 0) break;
    length += static_cast<std::size_t>(n);
  }
  if (length > kMaxRouteFileBytes) raiseIo("The route file " + shown + " is larger than 100 MB.");
  text.resize(length);
  return text;
}

}  // namespace

RouteFormat routeFormat(std::string_view name, std::string_view text) {
  if (withoutBlanks(text).starts_with('<') || endsWith(name, ".gpx") || endsWith(name, ".kml"))
    return RouteFormat::xml;
  if (endsWith(name, ".csv")) return RouteFormat::csv;
  if (endsWith(name, ".nmea") || endsWith(name, ".nma") || endsWith(name, ".log"))
    return RouteFormat::nmea;
  return text.find("$GP") != std::string_view::npos ? RouteFormat::nmea : RouteFormat::csv;
}

Route parseRoute(std::string text, RouteFormat format, const std::string& source) {
  if (withoutBlanks(text).empty()) raiseIo(shownText(source, 1024) + ": the file is empty.");
  std::string_view body = text;
  if (body.starts_with(kByteOrderMark)) body.remove_prefix(kByteOrderMark.size());
  switch (format) {
    case RouteFormat::xml:
      return readXmlRoute(text, source);
    case RouteFormat::csv:
      return readCsvRoute(body, source);
    case RouteFormat::nmea:
      break;
  }
  return readNmeaRoute(body, source);
}

Route readRoute(const std::string& path) {
  std::string text = readWholeFile(path);
  const RouteFormat format = routeFormat(path, text);
  return parseRoute(std::move(text), format, path);
}

}  // namespace waymock::motion
