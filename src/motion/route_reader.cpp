#include "motion/route_reader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

// A route file, checked and read through one descriptor so that what is
// checked is what is read.
class RouteFileInput {
 public:
  explicit RouteFileInput(const std::string& path) : shown_(shownText(path, 1024)), file_(path) {
    switch (file_.status()) {
      case RegularFile::Status::open:
        break;
      case RegularFile::Status::missing:
        raiseIo("Cannot find the route file " + shown_ + ".");
      case RegularFile::Status::notRegular: {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
          raiseIo("The route file " + shown_ + " is a folder.");
        raiseIo("The route file " + shown_ + " is not a regular file.");
      }
      case RegularFile::Status::failed:
        cannotRead(file_.error());
    }
    struct stat st {};
    if (::fstat(file_.fd(), &st) != 0) cannotRead(errno);
    size_ = static_cast<std::uintmax_t>(st.st_size);
    if (size_ > kMaxRouteFileBytes) tooLarge();
  }

  // Up to `size` bytes, fewer only at the end of the file.
  std::size_t read(char* into, std::size_t size) {
    std::size_t length = 0;
    while (length < size) {
      const ssize_t n = ::read(file_.fd(), into + length, size - length);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) cannotRead(errno);
      if (n == 0) break;
      length += static_cast<std::size_t>(n);
    }
    // The file may have grown since its size was checked.
    total_ += length;
    if (total_ > kMaxRouteFileBytes) tooLarge();
    return length;
  }

  // The rest of the file after `text`, which holds its start.
  void readRest(std::string& text) {
    for (std::size_t length = text.size();;) {
      // One byte more than the size, to see a file that grew since.
      text.resize(
          std::max<std::size_t>(static_cast<std::size_t>(size_) + 1, length + kXmlPieceBytes));
      length += read(text.data() + length, text.size() - length);
      if (length < text.size()) {
        text.resize(length);
        return;
      }
    }
  }

 private:
  [[noreturn]] void cannotRead(int error) const {
    raiseIo("Cannot read " + shown_ + ": " + systemErrorText(error) + ".");
  }
  [[noreturn]] void tooLarge() const {
    raiseIo("The route file " + shown_ + " is larger than 100 MB.");
  }

  std::string shown_;
  RegularFile file_;
  std::uintmax_t size_ = 0;
  std::uintmax_t total_ = 0;
};

}  // namespace

RouteFormat routeFormat(std::string_view name, std::string_view text) {
  if (withoutBlanks(text).starts_with('<') || endsWith(name, ".gpx") || endsWith(name, ".kml"))
    return RouteFormat::xml;
  if (endsWith(name, ".csv")) return RouteFormat::csv;
  if (endsWith(name, ".nmea") || endsWith(name, ".nma") || endsWith(name, ".log"))
    return RouteFormat::nmea;
  for (const std::string_view talker : {"$GP", "$GN", "$GL", "$GA", "$GB"}) {
    if (text.find(talker) != std::string_view::npos) return RouteFormat::nmea;
  }
  return RouteFormat::csv;
}

Route parseRoute(std::string_view text, RouteFormat format, const std::string& source) {
  if (withoutBlanks(text).empty()) raiseIo(shownText(source, 1024) + ": the file is empty.");
  std::string_view body = text;
  if (body.starts_with(kByteOrderMark)) body.remove_prefix(kByteOrderMark.size());
  const auto pieces = [](std::string_view rest) {
    return [rest](char* buffer, std::size_t size) mutable {
      const std::size_t length = std::min(size, rest.size());
      rest.copy(buffer, length);
      rest.remove_prefix(length);
      return length;
    };
  };
  switch (format) {
    case RouteFormat::xml:
      return readXmlRoute(pieces(text), source);
    case RouteFormat::csv:
      return readCsvRoute(pieces(body), source);
    case RouteFormat::nmea:
      break;
  }
  return readNmeaRoute(body, source);
}

Route readRoute(const std::string& path) {
  RouteFileInput file(path);
  std::string text(kXmlPieceBytes, '\0');
  text.resize(file.read(text.data(), text.size()));
  // XML and CSV are parsed as they are read; the start tells XML, or the
  // file's name.
  const RouteFormat format = routeFormat(path, text);
  if (!withoutBlanks(text).empty() && format != RouteFormat::nmea) {
    std::size_t given =
        text.starts_with(kByteOrderMark) && format == RouteFormat::csv ? kByteOrderMark.size() : 0;
    const ReadPiece read = [&file, &text, &given](char* buffer, std::size_t size) {
      if (given == text.size()) return file.read(buffer, size);
      const std::size_t length = text.copy(buffer, size, given);
      given += length;
      return length;
    };
    return format == RouteFormat::xml ? readXmlRoute(read, path) : readCsvRoute(read, path);
  }
  file.readRest(text);
  return parseRoute(text, routeFormat(path, text), path);
}

}  // namespace waymock::motion
