#include "control/burst_faults.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "control/fault.h"
#include "support/error.h"

namespace waymock::control {
namespace {

// The reference burst of 12:35:19 UTC on 23 March 2024.
const std::string kBurst =
    "$GPZDA,123519.000,23032024,00,00*5D\r\n"
    "$GPGGA,123519.000,4807.0380,N,01131.0000,E,1,4,0.9,545.4,M,46.9,M,,*65\r\n"
    "$GPGLL,4807.0380,N,01131.0000,E,123519.000,A,A*56\r\n"
    "$GPVTG,84.4,T,87.5,M,22.4,N,41.5045395590143,K,A*21\r\n"
    "$GPRMC,123519.000,A,4807.0380,N,01131.0000,E,22.4,84.4,230324,3.1,W,A*12\r\n"
    "$GPGSA,A,3,13,01,16,,24,,,,,,,,1.5,0.9,1.2*3E\r\n"
    "$GPGSV,2,1,5,3,45,120,40,7,20,300,35,12,60,45,44,19,15,210,9*48\r\n"
    "$GPGSV,2,2,5,28,5,80,30*78\r\n";

Fault fault(const std::string& json) {
  return faultFromJson(nlohmann::json::parse(json), {});
}

// The sentence of a type in a burst, without its checksum and line end.
std::string sentence(const std::string& burst, const std::string& type) {
  const auto at = burst.find("$GP" + type);
  if (at == std::string::npos) return "(none)";
  const auto end = burst.find_first_of("*\r", at);
  return burst.substr(at, end - at);
}

// Every sentence still has its right checksum (unless the fault is the checksum).
bool checksumsHold(const std::string& burst) {
  std::size_t at = 0;
  for (std::size_t end; (end = burst.find("\r\n", at)) != std::string::npos; at = end + 2) {
    const std::string line = burst.substr(at, end - at);
    const auto star = line.find('*');
    if (star == std::string::npos) return false;
    unsigned sum = 0;
    for (std::size_t i = 1; i < star; ++i) sum ^= static_cast<unsigned char>(line[i]);
    if (std::stoul(line.substr(star + 1), nullptr, 16) != sum) return false;
  }
  return true;
}

struct Case {
  const char* fault;
  const char* type;      // the sentence to look at
  const char* expected;  // its text after the fault, without checksum
};

TEST(BurstFaults, RewriteTheSentencesEachFaultConcerns) {
  const Case cases[] = {
      {R"({"type":"no-fix"})", "GGA", "$GPGGA,123519.000,,,,,0,00,0.9,545.4,M,46.9,M,,"},
      {R"({"type":"no-fix"})", "RMC", "$GPRMC,123519.000,V,,,,,,,230324,3.1,W,N"},
      {R"({"type":"no-fix"})", "GLL", "$GPGLL,,,,,123519.000,V,N"},
      {R"({"type":"no-fix"})", "VTG", "$GPVTG,,T,,M,,N,,K,N"},
      {R"({"type":"no-fix"})", "GSA", "$GPGSA,A,1,,,,,,,,,,,,,1.5,0.9,1.2"},
      {R"({"type":"satellites-lost"})", "GSV",
       "$GPGSV,2,1,5,3,45,120,00,7,20,300,00,12,60,45,00,19,15,210,00"},
      {R"({"type":"hdop-degrade","hdop":12.5})", "GGA",
       "$GPGGA,123519.000,4807.0380,N,01131.0000,E,1,4,12.5,545.4,M,46.9,M,,"},
      {R"({"type":"hdop-degrade"})", "GSA", "$GPGSA,A,3,13,01,16,,24,,,,,,,,1.5,20,1.2"},
      {R"({"type":"leap-second"})", "GGA",
       "$GPGGA,235960.000,4807.0380,N,01131.0000,E,1,4,0.9,545.4,M,46.9,M,,"},
      {R"({"type":"leap-second"})", "ZDA", "$GPZDA,235960.000,23032024,00,00"},
      // A skew of 12 hours crosses midnight: the dates follow.
      {R"({"type":"time-shift","shift_seconds":43200})", "RMC",
       "$GPRMC,003519.000,A,4807.0380,N,01131.0000,E,22.4,84.4,240324,3.1,W,A"},
      {R"({"type":"time-shift","shift_seconds":-46000})", "ZDA",
       "$GPZDA,234839.000,22032024,00,00"},
      {R"({"type":"time-shift","shift_days":9})", "RMC",
       "$GPRMC,123519.000,A,4807.0380,N,01131.0000,E,22.4,84.4,010424,3.1,W,A"},
      // 1024 weeks early: 7 August 2004.
      {R"({"type":"time-shift","rollover":"gps-week"})", "ZDA", "$GPZDA,123519.000,07082004,00,00"},
      {R"({"type":"drop-sentence","sentence":"GLL"})", "GLL", "(none)"},
      {R"({"type":"drop-sentence","sentence":"GPGSV"})", "GSV", "(none)"},
      {R"({"type":"truncated-line"})", "GGA", "$GPGGA,123519.000,4807.0380,N,011"},
  };
  for (const Case& c : cases) {
    std::string burst = kBurst;
    applyTextFault(fault(c.fault), burst);
    EXPECT_EQ(sentence(burst, c.type), c.expected) << c.fault;
    const bool truncated = std::string(c.fault).find("truncated") != std::string::npos;
    EXPECT_EQ(checksumsHold(burst), !truncated) << c.fault << "\n" << burst;
  }
}

TEST(BurstFaults, BadChecksumsOnEverySentenceOrOneType) {
  std::string all = kBurst;
  applyTextFault(fault(R"({"type":"bad-checksum"})"), all);
  EXPECT_EQ(all.size(), kBurst.size());
  EXPECT_NE(all.find("$GPZDA,123519.000,23032024,00,00*A2\r\n"), std::string::npos) << all;
  EXPECT_EQ(all.find("*5D"), std::string::npos);

  std::string one = kBurst;
  applyTextFault(fault(R"({"type":"bad-checksum","sentence":"GGA"})"), one);
  EXPECT_NE(one.find("*9A\r\n"), std::string::npos) << one;  // 0x65 turned over
  one.replace(one.find("*9A"), 3, "*65");
  EXPECT_EQ(one, kBurst);
}

TEST(BurstFaults, LeaveTextAloneThatIsNoSentence) {
  std::string text = "not a sentence\r\n$GPTXT,no checksum\r\n";
  applyTextFault(fault(R"({"type":"no-fix"})"), text);
  EXPECT_EQ(text, "not a sentence\r\n$GPTXT,no checksum\r\n");
}

TEST(Faults, RefuseWhatTheyCannotDoWithReasons) {
  const std::pair<const char*, const char*> cases[] = {
      {R"({"type":"snow"})",
       "Unknown fault type \"snow\"; the types are no-fix, frozen-fix, jump, "
       "bad-checksum, dropout, drop-sentence, truncated-line, time-shift, "
       "leap-second, satellites-lost, hdop-degrade."},
      {R"({"seconds":3})",
       "A fault needs a \"type\": one of no-fix, frozen-fix, jump, bad-checksum, "
       "dropout, drop-sentence, truncated-line, time-shift, leap-second, "
       "satellites-lost, hdop-degrade."},
      {R"({"type":"no-fix","seconds":0})", "\"seconds\" must be more than 0."},
      {R"({"type":"no-fix","seconds":"3"})", "\"seconds\" must be a number."},
      {R"({"type":"no-fix","seconds":1,"bursts":2})",
       "A fault lasts \"seconds\" or \"bursts\", not both."},
      {R"({"type":"no-fix","bursts":1.5})", "\"bursts\" must be a whole number, at least 1."},
      {R"({"type":"no-fix","sentence":"GGA"})", "A no-fix fault has no \"sentence\"."},
      {R"({"type":"leap-second","seconds":2})", "A leap-second fault has no \"seconds\"."},
      {R"({"type":"jump"})", "A jump needs \"metres\"."},
      {R"({"type":"jump","metres":10,"bearing":360})",
       "\"bearing\" must be from 0 up to 360 degrees."},
      {R"({"type":"drop-sentence"})", "A drop-sentence fault needs a \"sentence\"."},
      {R"({"type":"drop-sentence","sentence":"GPGGAX"})",
       "\"sentence\" must be a sentence type such as \"GGA\" or \"GPGGA\"."},
      {R"({"type":"time-shift"})",
       "A time-shift needs \"shift_seconds\", \"shift_days\" or \"rollover\"."},
      {R"({"type":"time-shift","rollover":"y2k"})", "\"rollover\" can only be \"gps-week\"."},
      {R"({"type":"hdop-degrade","hdop":100})", "\"hdop\" must be more than 0 and at most 99.99."},
  };
  for (const auto& [json, message] : cases) {
    try {
      fault(json);
      ADD_FAILURE() << json << " was taken";
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), message) << json;
    }
  }
}

}  // namespace
}  // namespace waymock::control
