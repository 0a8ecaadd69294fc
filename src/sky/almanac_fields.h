#pragma once

// What the YUMA and SEM readers share: the fields of an almanac, their checks
// and the messages that name the line.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "sky/orbit.h"
#include "sky/text_file.h"

namespace waymock::sky {

enum class AlmanacField {
  id,
  health,
  eccentricity,
  referenceTime,
  inclination,
  rateOfRightAscension,
  sqrtSemiMajorAxis,
  rightAscensionAtWeek,
  argumentOfPerigee,
  meanAnomaly,
  af0,
  af1,
  week,
  // SEM only
  svn,
  ura,
  configuration,
};

// The YUMA key, without its unit, names the field in messages: "Mean Anom".
std::string_view fieldName(AlmanacField field);

// Sets the almanac's member for `field` to `v`, in the units of a YUMA file.
void storeField(Almanac& almanac, AlmanacField field, double v);

// Collects a file's almanacs, checking each value as it is read.
class AlmanacChecker : public LineErrors {
 public:
  using LineErrors::LineErrors;

  // The value of `field` from its text on `line`: a number (a whole one where
  // the field counts), within the field's range.
  double value(AlmanacField field, std::string_view text, std::size_t line) const;
  // Adds an almanac that began on `line`, refusing a second one for the same
  // satellite and an orbit that passes through the Earth.
  void add(const Almanac& almanac, std::size_t line);
  std::vector<Almanac> finish();

 private:
  std::vector<Almanac> almanacs_;
  std::vector<std::size_t> lines_;
};

std::vector<Almanac> parseYuma(std::string_view text, const std::string& source);
std::vector<Almanac> parseSem(std::string_view text, const std::string& source);

}  // namespace waymock::sky
