// YUMA almanacs: one satellite after another, a field a line, each record
// usually under a banner line of asterisks. Example (its first lines):
//   ******** Week 245 almanac for PRN-01 ********
//   ID:                         01
//   Health:                     000
//   Eccentricity:               0.1174926758E-001
//   Time of Applicability(s):  503808.0000
//   Orbital Inclination(rad):   0.9879536629
//   Rate of Right Ascen(r/s):  -0.7989618701E-008
//   SQRT(A)  (m 1/2):           5153.635742
//   Right Ascen at Week(rad):   0.1637534715E+001
//   Argument of Perigee(rad):   0.875498891
//   Mean Anom(rad):            -0.1436452365E+001
//   Af0(s):                     0.2861022949E-004
//   Af1(s/s):                   0.3637978807E-011
//   week:                        245
#include <array>
#include <bitset>
#include <optional>
#include <string>

#include "sky/almanac_fields.h"

namespace waymock::sky {

namespace {

// The keys as files write them, lowercase and without blanks, by AlmanacField.
constexpr std::array<std::string_view, 13> kKeys = {
    "id",
    "health",
    "eccentricity",
    "timeofapplicability(s)",
    "orbitalinclination(rad)",
    "rateofrightascen(r/s)",
    "sqrt(a)(m1/2)",
    "rightascenatweek(rad)",
    "argumentofperigee(rad)",
    "meananom(rad)",
    "af0(s)",
    "af1(s/s)",
    "week",
};

std::optional<AlmanacField> fieldOf(std::string_view key) {
  std::string folded;
  for (const char c : key) {
    if (c == ' ' || c == '\t') continue;
    folded += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  for (std::size_t i = 0; i < kKeys.size(); ++i) {
    if (kKeys[i] == folded) return static_cast<AlmanacField>(i);
  }
  return std::nullopt;
}

struct Record {
  Almanac almanac;
  std::size_t line = 0;  // of its ID
  std::bitset<13> given;
};

void close(const Record& record, AlmanacChecker& checker) {
  for (std::size_t i = 0; i < kKeys.size(); ++i) {
    if (!record.given[i]) {
      checker.fail(record.line, "begins an almanac without " +
                                    std::string(fieldName(static_cast<AlmanacField>(i))) + ".");
    }
  }
  checker.add(record.almanac, record.line);
}

}  // namespace

std::vector<Almanac> parseYuma(std::string_view text, const std::string& source) {
  AlmanacChecker checker(source);
  std::optional<Record> record;
  Lines lines(text);
  std::string_view line;
  while (lines.next(line)) {
    const std::size_t number = lines.number();
    if (line.empty() || line.front() == '*') continue;
    const std::size_t colon = line.find(':');
    const auto field =
        colon == std::string_view::npos ? std::nullopt : fieldOf(line.substr(0, colon));
    if (!field) checker.fail(number, "is not a field of a YUMA almanac.");
    if (*field == AlmanacField::id) {
      if (record) close(*record, checker);
      record.emplace();
      record->line = number;
    } else if (!record) {
      checker.fail(number, "comes before the ID line of its almanac.");
    }
    const auto index = static_cast<std::size_t>(*field);
    if (record->given[index]) {
      checker.fail(number, "repeats " + std::string(fieldName(*field)) + " within an almanac.");
    }
    record->given[index] = true;
    std::string_view value = line.substr(colon + 1);
    value.remove_prefix(std::min(value.find_first_not_of(" \t"), value.size()));
    storeField(record->almanac, *field, checker.value(*field, value, number));
  }
  if (record) close(*record, checker);
  return checker.finish();
}

}  // namespace waymock::sky
