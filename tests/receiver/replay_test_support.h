#pragma once

// A replay on a fake clock whose events are read as text, and the tagged
// sentences its logs are made of.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "receiver/file_gps_receiver.h"
#include "receiver/receiver_test_support.h"

namespace waymock::receiver::test::replay {

using namespace std::chrono_literals;

// Time passes only when the replay sleeps.
class FakeReplayClock final : public ReplayClock {
 public:
  time_point now() override { return now_; }
  void sleepFor(std::chrono::nanoseconds duration) override {
    now_ += duration;
    ++sleeps;
  }
  long long elapsedMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(now_ - start).count();
  }
  void advance(std::chrono::nanoseconds duration) { now_ += duration; }

  const time_point start = time_point(1h);
  int sleeps = 0;

 private:
  time_point now_ = start;
};

// Sentences tagged by the number in their time field, so the raw log tells
// which line of the file each parsed sentence came from.
inline std::string gga(int tag) {
  char body[96];
  std::snprintf(body, sizeof body, "$GPGGA,%06d,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,",
                tag);
  return withChecksum(body);
}
inline std::string rmc(int tag, int latitudeMinute = 7) {
  char body[96];
  std::snprintf(body, sizeof body, "$GPRMC,%06d,A,48%02d.038,N,01131.000,E,022.4,084.4,230394,,",
                tag, latitudeMinute);
  return withChecksum(body);
}
inline const std::string kGsa = withChecksum("$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1");
inline const std::string kGsv = withChecksum("$GPGSV,1,1,01,07,40,083,46");

inline std::string joined(const std::vector<std::string>& lines, const std::string& eol) {
  std::string text;
  for (const auto& l : lines) text += l + eol;
  return text;
}

// "GGA1" for a tagged sentence, the bare type otherwise.
inline std::string describe(const std::string& sentence) {
  std::string type = sentence.substr(3, 3);
  if (type == "GGA" || type == "RMC") type += std::to_string(std::stoi(sentence.substr(7, 6)));
  return type;
}

// A receiver on a fake clock whose events become one line each:
// "connect a.log", "receive@1000 RMC2 GSA GGA3", "disconnect@2000 a.log".
struct Replay {
  waymock::test::TempDir dir;
  std::shared_ptr<FakeReplayClock> clock = std::make_shared<FakeReplayClock>();
  TTarnFileGPSReceiver r{systemClock(), clock};
  std::vector<std::string> events;
  std::size_t rawSeen = 0;

  Replay() {
    // What the receiver parsed comes from its raw log, so each delivery is seen
    // exactly as the framing cut it.
    r.SetNMEALog(true);
    r.setLogFileName((dir / "raw.log").string());
    r.OnConnect = [this](TTarnFileGPSReceiver&, const std::string& name) {
      events.push_back("connect " + std::filesystem::path(name).filename().string());
    };
    r.OnDisconnect = [this](TTarnFileGPSReceiver&, const std::string& name) {
      events.push_back("disconnect@" + std::to_string(clock->elapsedMs()) + " " +
                       std::filesystem::path(name).filename().string());
    };
    r.OnReceive = [this](TTarnCustomGPSReceiver&) { events.push_back(received()); };
  }

  std::string received() {
    std::string text = "receive@" + std::to_string(clock->elapsedMs());
    std::string raw =
        std::filesystem::exists(dir / "raw.log") ? waymock::test::readFile(dir / "raw.log") : "";
    for (std::size_t end; (end = raw.find('\n', rawSeen)) != std::string::npos; rawSeen = end + 1) {
      text += ' ';
      text += describe(raw.substr(rawSeen, end - rawSeen));
    }
    return text;
  }

  std::string file(const std::string& name, const std::string& content) {
    const std::filesystem::path path = dir / name;
    waymock::test::writeFile(path, content);
    return path.string();
  }
};

using Events = std::vector<std::string>;

// An RMC sentence with the given time and date fields.
inline std::string rmcAt(const std::string& time, const std::string& date) {
  return withChecksum("$GPRMC," + time + ",A,4807.038,N,01131.000,E,022.4,084.4," + date + ",,");
}

}  // namespace waymock::receiver::test::replay
