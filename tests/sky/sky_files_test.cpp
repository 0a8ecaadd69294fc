#include <gtest/gtest.h>

#include <string>

#include "common/test_support.h"
#include "sky/almanac_file.h"
#include "sky/horizon.h"
#include "sky/worked_almanac.h"
#include "support/error.h"

namespace waymock::sky {
namespace {

// The worked YUMA almanac with the line that begins with `key` replaced (or,
// given nothing, removed).
std::string yumaWith(std::string_view key, std::string_view line) {
  std::string text(test::kWorkedYuma);
  const std::size_t at = text.find(key);
  text.replace(at, text.find('\n', at) + 1 - at, line.empty() ? "" : std::string(line) + "\n");
  return text;
}

std::string semWith(std::string_view from, std::string_view to) {
  std::string text(test::kWorkedSem);
  text.replace(text.find(from), from.size(), to);
  return text;
}

std::string errorOf(const std::function<void()>& read) {
  try {
    read();
  } catch (const IoError& e) {
    return e.what();
  }
  return "no error";
}

TEST(AlmanacFile, RefusesWhatIsNoAlmanacNamingTheLine) {
  const std::string yuma(test::kWorkedYuma);
  const struct {
    std::string text;
    std::string message;
  } cases[] = {
      {yumaWith("Health", "Health 0"), "line 3 is not a field of a YUMA almanac."},
      {yumaWith("Ecc", "Eccentricity: 0.0117\x1b[2J"), "line 4 has no number for Eccentricity."},
      {yumaWith("Ecc", "Eccentricity: 1.5"), "line 4 has Eccentricity outside 0 to 0.9."},
      {yumaWith("ID", "ID: 7.5"), "line 2 has no whole number for ID."},
      {yumaWith("ID", "ID: 33"), "line 2 has ID outside 1 to 32."},
      {yumaWith("Mean", ""), "line 2 begins an almanac without Mean Anom."},
      {yumaWith("ID", ""), "line 2 comes before the ID line of its almanac."},
      {yumaWith("Af0", "Af1(s/s): 0"), "line 13 repeats Af1 within an almanac."},
      {yuma + yuma, "line 16 begins an almanac for the satellite of line 2."},
      {yumaWith("SQRT", "SQRT(A)  (m 1/2): 2500"),
       "line 2 begins an almanac whose orbit passes through the Earth."},
      {" \n\r\n", "the file is empty."},
      {semWith("1 WORKED", "40 WORKED"),
       "line 1 does not begin with the number of almanacs, 1 to 32."},
      {semWith("1 WORKED", "2 WORKED"),
       "the file holds fewer almanacs than its first line announces."},
      {semWith("\n0\n11\n", "\n"), "line 4 begins an almanac without Health."},
      {semWith("\n11\n", "\n11 12\n"),
       "line 11 follows the last of the almanacs the first line announces."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(errorOf([&] { parseAlmanac(c.text, "gps.alm"); }), "gps.alm: " + c.message);
  }
}

TEST(HorizonProfile, InterpolatesAroundTheCompassAndRefusesBadLines) {
  const HorizonProfile p =
      HorizonProfile::parse("# wall\n20 10\n90, 40 # corner\n90 0\n300 20\n", "h");
  const struct {
    double azimuth, elevation;
  } points[] = {{20, 10}, {55, 25}, {89.3, 39.7}, {90, 0}, {195, 10}, {0, 12.5}, {340, 15}};
  for (const auto& c : points)
    EXPECT_NEAR(p.elevationAt(c.azimuth), c.elevation, 1e-9) << c.azimuth;
  EXPECT_EQ(HorizonProfile::parse("180 12", "h").elevationAt(3), 12);

  const struct {
    std::string text;
    std::string message;
  } cases[] = {
      {"10 5\n20\n", "line 2 is not an azimuth and an elevation in degrees."},
      {"10 5 7\n", "line 1 is not an azimuth and an elevation in degrees."},
      {"361 5\n", "line 1 has an azimuth outside 0 to 360."},
      {"10 -1\n", "line 1 has an elevation outside 0 to 90."},
      {"10 5\n\n5 5\n", "line 3 has a smaller azimuth than the line before it."},
      {"# nothing\n", "the file holds no azimuth and elevation."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(errorOf([&] { HorizonProfile::parse(c.text, "street.txt"); }),
              "street.txt: " + c.message);
  }
}

TEST(SkyFiles, NameTheFileThatCannotBeRead) {
  waymock::test::TempDir dir;
  const std::string missing = (dir / "none.alm").string();
  EXPECT_EQ(errorOf([&] { readAlmanacFile(missing); }),
            "Cannot find the almanac file " + missing + ".");
  EXPECT_EQ(errorOf([&] { readHorizonFile(dir.path().string()); }),
            "The horizon file " + dir.path().string() + " is a folder.");
  waymock::test::writeFile(dir / "gps.alm", test::kWorkedYuma);
  // The file's GPS satellite stands in for the built-in ones; the other
  // systems keep theirs.
  const auto almanacs =
      skyAlmanacs((dir / "gps.alm").string(), {GnssSystem::gps, GnssSystem::galileo});
  EXPECT_EQ(almanacs.size(), 25u);
  EXPECT_EQ(std::count_if(almanacs.begin(), almanacs.end(),
                          [](const Almanac& a) { return a.system == GnssSystem::gps; }),
            1);
}

}  // namespace
}  // namespace waymock::sky
