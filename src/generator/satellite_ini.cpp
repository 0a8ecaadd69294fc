// The satellite file: one section per GPS PRN, CR LF line ends, and one per
// satellite of the other constellations that holds anything, its number after
// the constellation's letters ([GL3] is GLONASS slot 3, [GA3] Galileo, [GB3]
// BeiDou).
//   [3]
//   Active=1
//   Elevation=45
//   Azimuth=120
//   SNR=40
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "generator/nmea_generator.h"
#include "support/atomic_file.h"
#include "support/error.h"
#include "support/number_text.h"
#include "support/shown_text.h"

namespace waymock::generator {

namespace {

struct IniSection {
  std::string name;
  std::vector<std::pair<std::string, std::string>> keys;
};

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// Sections in order of first appearance; a repeated section adds to the first
// one and a repeated key keeps its first value.
std::vector<IniSection> parseIni(std::string_view text) {
  std::vector<IniSection> sections;
  std::unordered_map<std::string, std::size_t> byName;
  IniSection* current = nullptr;
  // Editors may save the file as UTF-8 with a byte order mark.
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  while (!text.empty()) {
    const std::size_t eol = text.find('\n');
    const std::string_view line = trim(text.substr(0, eol));
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      const std::string_view name =
          trim(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
      // Found by name through an index, so a file of thousands of sections
      // loads in linear time.
      std::string folded(name);
      for (char& c : folded) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
      const auto [entry, added] = byName.try_emplace(std::move(folded), sections.size());
      if (added) sections.push_back(IniSection{std::string(name), {}});
      current = &sections[entry->second];
      continue;
    }
    const std::size_t eq = line.find('=');
    if (!current || eq == std::string_view::npos) continue;
    const std::string_view key = trim(line.substr(0, eq));
    std::string_view value = trim(line.substr(eq + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    // Lookups take the first of repeated keys.
    current->keys.emplace_back(std::string(key), std::string(value));
  }
  return sections;
}

std::optional<std::int64_t> parseInteger(std::string_view text) {
  text = trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  std::int32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::int64_t readInteger(const IniSection& section, std::string_view key) {
  for (const auto& kv : section.keys) {
    if (sameName(kv.first, key)) return parseInteger(kv.second).value_or(0);
  }
  return 0;
}

// Values that do not fit a 16-bit field must fail validation rather than wrap
// around into range, so they map onto the largest value.
std::uint16_t toField(std::int64_t value) {
  return value < 0 || value > 0xFFFF ? std::uint16_t{0xFFFF} : static_cast<std::uint16_t>(value);
}

// A satellite file is a few kilobytes; far beyond this it is the wrong file,
// and reading it whole could take all memory.
constexpr std::size_t kMaxFileSize = 1024 * 1024;

std::string readWholeFile(const std::string& fileName, bool& missing) {
  missing = false;
  const auto fail = [&](const std::string& why) {
    raiseIo("Cannot read " + shownText(fileName, 1024) + ": " + why + ".");
  };
  std::FILE* file = std::fopen(fileName.c_str(), "rb");
  if (!file) {
    if (errno == ENOENT) {
      missing = true;
      return {};
    }
    fail(systemErrorText(errno));
  }
  struct stat st {};
  const bool tooLarge = fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode) &&
                        static_cast<std::uintmax_t>(st.st_size) > kMaxFileSize;
  std::string text;
  char buffer[4096];
  std::size_t n = 0;
  // Bounded for what fstat cannot size (a pipe, a device).
  while (!tooLarge && text.size() <= kMaxFileSize &&
         (n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    text.append(buffer, n);
  }
  const bool failed = std::ferror(file) != 0;
  const int error = errno;
  std::fclose(file);
  if (tooLarge || text.size() > kMaxFileSize) fail("the file is larger than 1 MiB");
  if (failed) fail(systemErrorText(error));
  return text;
}

// The constellation a section name's letters stand for, and the number after
// them; GPS and the whole name when it starts with no such letters.
std::pair<Constellation, std::string_view> sectionSatellite(std::string_view name) {
  for (const Constellation c : kConstellations) {
    const std::string_view letters = constellationInfo(c).section;
    if (!letters.empty() && name.size() > letters.size() &&
        sameName(name.substr(0, letters.size()), letters)) {
      return {c, name.substr(letters.size())};
    }
  }
  return {Constellation::gps, name};
}

void appendSection(std::string& text, std::string_view letters, std::uint16_t number,
                   const TSatellite* sat) {
  text += '[';
  text += letters;
  appendUnsigned(text, number);
  text += "]\r\nActive=";
  text += sat && sat->Active() ? '1' : '0';
  text += "\r\nElevation=";
  appendUnsigned(text, sat ? sat->Elevation() : 0);
  text += "\r\nAzimuth=";
  appendUnsigned(text, sat ? sat->Azimuth() : 0);
  text += "\r\nSNR=";
  appendUnsigned(text, sat ? sat->SignalToNoiseRatio() : 0);
  text += "\r\n";
}

[[noreturn]] void raiseSaveFailure(const std::string& fileName, const std::string& why) {
  raiseIo("Cannot save the satellites to " + fileName + ": " + why + ".");
}

}  // namespace

void TTarnNMEAGenerator::LoadSatellites(const std::string& FileName) {
  bool missing = false;
  const std::string text = readWholeFile(FileName, missing);
  if (missing) return;
  for (const IniSection& section : parseIni(text)) {
    const auto [constellation, numberText] = sectionSatellite(section.name);
    const std::optional<std::int64_t> prn = parseInteger(numberText);
    if (!prn) {
      // Appended rather than "'" + text: GCC 12 misreads that form at -O3 (-Wrestrict).
      std::string message(1, '\'');
      message += shownText(section.name);
      message += "' is not a valid integer value.";
      raise(message);
    }
    setSatellite(constellation, toField(*prn), readInteger(section, "Active") != 0,
                 toField(readInteger(section, "Elevation")),
                 toField(readInteger(section, "Azimuth")), toField(readInteger(section, "SNR")));
  }
}

void TTarnNMEAGenerator::SaveSatellites(const std::string& FileName) const {
  std::string text;
  text.reserve(32 * 48);
  for (std::uint16_t prn = 1; prn <= 32; ++prn)
    appendSection(text, "", prn, satellites_[prn].get());
  // Only the satellites that hold something: a file of a GPS-only table stays
  // as it always was, and loading leaves the others as a new table has them.
  for (const Constellation c : kConstellations) {
    if (c == Constellation::gps) continue;
    for (std::uint16_t number = 1; number <= satelliteCount(c); ++number) {
      const TSatellite* sat = satellite(c, number);
      if (sat->Active() || sat->Elevation() != 0 || sat->Azimuth() != 0 ||
          sat->SignalToNoiseRatio() != 0) {
        appendSection(text, constellationInfo(c).section, number, sat);
      }
    }
  }

  // Written beside the target and renamed over it, so a failure at any point
  // leaves the previous file as it was; a file the user may not write is
  // refused rather than replaced.
  if (const std::string why = replaceFileContent(FileName, text); !why.empty()) {
    raiseSaveFailure(FileName, why);
  }
}

}  // namespace waymock::generator
