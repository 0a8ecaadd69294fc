// SEM almanacs: numbers only, angles in semicircles. The first line gives the
// number of almanacs and a name, the second the week and the time of
// applicability they share; then each satellite: PRN, SVN, URA, three lines
// of orbit and clock terms, health and configuration. Example (its first
// satellite):
//   31 CURRENT.ALM
//    245 503808
//
//   1
//   63
//   0
//    1.174926758000E-02  1.447541799256E-02 -2.543174619367E-09
//    5.153635742000E+03  5.212434887537E-01  2.786799523482E-01
//   -4.572369888116E-01  2.861022949000E-05  3.637978807000E-12
//   0
//   11
#include <array>
#include <charconv>
#include <numbers>
#include <optional>
#include <string>

#include "sky/almanac_fields.h"

namespace waymock::sky {

namespace {

using F = AlmanacField;

// A satellite's numbers after its PRN, in the order the file gives them.
constexpr std::array<AlmanacField, 13> kRecord = {
    F::svn,
    F::ura,
    F::eccentricity,
    F::inclination,
    F::rateOfRightAscension,
    F::sqrtSemiMajorAxis,
    F::rightAscensionAtWeek,
    F::argumentOfPerigee,
    F::meanAnomaly,
    F::af0,
    F::af1,
    F::health,
    F::configuration,
};

// The inclination is given as its offset from 0.30 semicircles.
constexpr double kReferenceInclination = 0.30;

bool inSemicircles(AlmanacField field) {
  return field == F::inclination || field == F::rateOfRightAscension ||
         field == F::rightAscensionAtWeek || field == F::argumentOfPerigee ||
         field == F::meanAnomaly;
}

// Whitespace-separated numbers with the line each stands on.
class Numbers {
 public:
  explicit Numbers(std::string_view text) : lines_(text) {}

  std::optional<std::string_view> next() {
    for (;;) {
      const std::size_t start = rest_.find_first_not_of(" \t");
      if (start != std::string_view::npos) {
        rest_.remove_prefix(start);
        const std::size_t end = std::min(rest_.find_first_of(" \t"), rest_.size());
        const std::string_view number = rest_.substr(0, end);
        rest_.remove_prefix(end);
        return number;
      }
      if (!lines_.next(rest_)) return std::nullopt;
    }
  }
  // The line of the number next() gave last.
  std::size_t line() const { return lines_.number(); }
  // Leaves the rest of the current line unread: the almanac's name.
  void skipLine() { rest_ = {}; }

 private:
  Lines lines_;
  std::string_view rest_;
};

}  // namespace

std::vector<Almanac> parseSem(std::string_view text, const std::string& source) {
  AlmanacChecker checker(source);
  Numbers numbers(text);
  const std::string_view count = numbers.next().value_or("");
  int expected = 0;
  const auto [end, error] = std::from_chars(count.data(), count.data() + count.size(), expected);
  if (error != std::errc() || end != count.data() + count.size() || expected < 1 || expected > 32) {
    checker.fail(numbers.line(), "does not begin with the number of almanacs, 1 to 32.");
  }
  numbers.skipLine();
  const auto take = [&](AlmanacField field, std::size_t begun) {
    const auto number = numbers.next();
    if (!number) {
      checker.fail(begun, "begins an almanac without " + std::string(fieldName(field)) + ".");
    }
    return checker.value(field, *number, numbers.line());
  };
  Almanac shared;
  storeField(shared, F::week, take(F::week, 1));
  storeField(shared, F::referenceTime, take(F::referenceTime, 1));
  for (int i = 0; i < expected; ++i) {
    const auto id = numbers.next();
    if (!id) checker.failFile("the file holds fewer almanacs than its first line announces.");
    const std::size_t begun = numbers.line();
    Almanac a = shared;
    storeField(a, F::id, checker.value(F::id, *id, begun));
    for (const AlmanacField field : kRecord) {
      double v = take(field, begun);
      if (field == F::inclination) v += kReferenceInclination;
      if (inSemicircles(field)) v *= std::numbers::pi;
      storeField(a, field, v);
    }
    checker.add(a, begun);
  }
  if (numbers.next()) {
    checker.fail(numbers.line(), "follows the last of the almanacs the first line announces.");
  }
  return checker.finish();
}

}  // namespace waymock::sky
