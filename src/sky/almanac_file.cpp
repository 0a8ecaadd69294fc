#include "sky/almanac_file.h"

#include <cmath>
#include <string>

#include "sky/almanac_fields.h"
#include "sky/nominal_constellations.h"
#include "support/number_text.h"

namespace waymock::sky {

namespace {

struct FieldRule {
  std::string_view name;
  double lowest;
  double highest;
  bool whole;
};

constexpr double kAny = 1e300;

// By AlmanacField. The semi-major axis is checked again with the eccentricity
// once the almanac is complete: its orbit must clear the Earth.
constexpr std::array<FieldRule, 16> kRules = {{
    {"ID", 1, 32, true},
    {"Health", 0, 255, true},
    {"Eccentricity", 0, 0.9, false},
    {"Time of Applicability", 0, 604'800, false},
    {"Orbital Inclination", -kAny, kAny, false},
    {"Rate of Right Ascen", -kAny, kAny, false},
    {"SQRT(A)", 1000, 10'000, false},
    {"Right Ascen at Week", -kAny, kAny, false},
    {"Argument of Perigee", -kAny, kAny, false},
    {"Mean Anom", -kAny, kAny, false},
    {"Af0", -kAny, kAny, false},
    {"Af1", -kAny, kAny, false},
    {"week", 0, 65'535, true},
    {"SVN", 0, 65'535, true},
    {"URA", 0, 255, true},
    {"SV configuration", 0, 255, true},
}};

const FieldRule& rule(AlmanacField field) {
  return kRules[static_cast<std::size_t>(field)];
}

}  // namespace

std::string_view fieldName(AlmanacField field) {
  return rule(field).name;
}

double AlmanacChecker::value(AlmanacField field, std::string_view text, std::size_t line) const {
  const FieldRule& r = rule(field);
  const auto number = fileNumber(text);
  if (!number || (r.whole && *number != std::floor(*number))) {
    fail(line, std::string("has no ") + (r.whole ? "whole number" : "number") + " for " +
                   std::string(r.name) + ".");
  }
  const double v = *number;
  if (v < r.lowest || v > r.highest) {
    fail(line, "has " + std::string(r.name) + " outside " + formatGeneral(r.lowest) + " to " +
                   formatGeneral(r.highest) + ".");
  }
  return v;
}

void AlmanacChecker::add(const Almanac& almanac, std::size_t line) {
  for (std::size_t i = 0; i < almanacs_.size(); ++i) {
    if (almanacs_[i].system == almanac.system && almanacs_[i].number == almanac.number) {
      fail(line, "begins an almanac for the satellite of line " + std::to_string(lines_[i]) + ".");
    }
  }
  const double semiMajorAxis = almanac.sqrtSemiMajorAxis * almanac.sqrtSemiMajorAxis;
  if (semiMajorAxis * (1 - almanac.eccentricity) <= kEarthRadius) {
    fail(line, "begins an almanac whose orbit passes through the Earth.");
  }
  almanacs_.push_back(almanac);
  lines_.push_back(line);
}

std::vector<Almanac> AlmanacChecker::finish() {
  if (almanacs_.empty()) failFile("the file holds no almanac.");
  return std::move(almanacs_);
}

void storeField(Almanac& a, AlmanacField field, double v) {
  switch (field) {
    case AlmanacField::id:
      a.number = static_cast<std::uint16_t>(v);
      break;
    case AlmanacField::health:
      a.healthy = v == 0;
      break;
    case AlmanacField::eccentricity:
      a.eccentricity = v;
      break;
    case AlmanacField::referenceTime:
      a.referenceTime = v;
      break;
    case AlmanacField::inclination:
      a.inclination = v;
      break;
    case AlmanacField::rateOfRightAscension:
      a.rateOfRightAscension = v;
      break;
    case AlmanacField::sqrtSemiMajorAxis:
      a.sqrtSemiMajorAxis = v;
      break;
    case AlmanacField::rightAscensionAtWeek:
      a.rightAscensionAtWeek = v;
      break;
    case AlmanacField::argumentOfPerigee:
      a.argumentOfPerigee = v;
      break;
    case AlmanacField::meanAnomaly:
      a.meanAnomaly = v;
      break;
    case AlmanacField::week:
      a.week = static_cast<int>(v);
      a.weekModulo1024 = v < 1024;
      break;
    default:  // the clock terms and SEM's bookkeeping, which positions do not need
      break;
  }
}

std::vector<Almanac> parseAlmanac(std::string_view text, const std::string& source) {
  Lines lines(text);
  std::string_view line;
  while (lines.next(line)) {
    if (line.empty()) continue;
    if (line.front() >= '0' && line.front() <= '9') return parseSem(text, source);
    return parseYuma(text, source);
  }
  LineErrors(source).failFile("the file is empty.");
}

std::vector<Almanac> readAlmanacFile(const std::string& path) {
  return parseAlmanac(readSkyFile(path, "almanac"), path);
}

std::vector<Almanac> skyAlmanacs(const std::optional<std::string>& file, GnssSystems systems) {
  std::vector<Almanac> fromFile;
  GnssSystems nominal = systems;
  if (file) {
    for (const Almanac& a : readAlmanacFile(*file)) {
      nominal.erase(a.system);
      if (systems.contains(a.system)) fromFile.push_back(a);
    }
  }
  std::vector<Almanac> all = nominalAlmanacs(nominal);
  all.insert(all.end(), fromFile.begin(), fromFile.end());
  return all;
}

}  // namespace waymock::sky
