#pragma once

// Shared by the tests that connect real third-party clients to the simulator.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "common/test_support.h"

namespace waymock::test {

// The full path of a client program; a missing one fails the test (scripts/test
// installs them all) rather than skipping it.
inline std::string requireProgram(const std::string& name, const std::string& package) {
  const std::string path = findProgram(name);
  EXPECT_FALSE(path.empty()) << name << " is not installed: install the Debian package " << package
                             << " (scripts/test does)";
  return path;
}

// Five satellites whose PRNs are not among the fixed GSA slots (1, 13, 16, 24),
// one of them with a signal too weak to count (SNR 9).
inline constexpr const char* kSatelliteFile =
    "[3]\r\nActive=1\r\nElevation=45\r\nAzimuth=120\r\nSNR=40\r\n"
    "[7]\r\nActive=1\r\nElevation=20\r\nAzimuth=300\r\nSNR=35\r\n"
    "[12]\r\nActive=1\r\nElevation=60\r\nAzimuth=45\r\nSNR=44\r\n"
    "[19]\r\nActive=1\r\nElevation=15\r\nAzimuth=210\r\nSNR=9\r\n"
    "[28]\r\nActive=1\r\nElevation=5\r\nAzimuth=80\r\nSNR=30\r\n"
    "[30]\r\nActive=0\r\nElevation=70\r\nAzimuth=10\r\nSNR=50\r\n";

// Satellites of the other constellations for the nmea41 profile, to follow
// kSatelliteFile: GLONASS slot 2 and slot 7 (in view without a signal, so not
// used), Galileo 5 and BeiDou 14.
inline constexpr const char* kConstellationSatellites =
    "[GL2]\r\nActive=1\r\nElevation=30\r\nAzimuth=200\r\nSNR=38\r\n"
    "[GL7]\r\nActive=1\r\nElevation=55\r\nAzimuth=10\r\nSNR=0\r\n"
    "[GA5]\r\nActive=1\r\nElevation=40\r\nAzimuth=150\r\nSNR=42\r\n"
    "[GB14]\r\nActive=1\r\nElevation=25\r\nAzimuth=300\r\nSNR=33\r\n";

struct ExpectedSatellite {
  int prn, elevation, azimuth, snr;
};
inline const std::vector<ExpectedSatellite> kActiveSatellites = {
    {3, 45, 120, 40}, {7, 20, 300, 35}, {12, 60, 45, 44}, {19, 15, 210, 9}, {28, 5, 80, 30}};

// The JSON objects among the lines of `text` (lines that are not JSON are skipped).
inline std::vector<nlohmann::json> jsonLines(const std::string& text) {
  std::vector<nlohmann::json> result;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    auto value = nlohmann::json::parse(text.substr(start, end - start), nullptr, false);
    if (value.is_object()) result.push_back(std::move(value));
    start = end + 1;
  }
  return result;
}

}  // namespace waymock::test
