#include <chrono>
#include <ctime>

#include "platform/clock.h"

namespace waymock {

namespace {

constexpr double kUnixEpochDays = 25'569.0;  // 1970-01-01 as a day count

class SystemClock final : public Clock {
 public:
  TDateTime utcNow() const override { return fromUnixMs(unixMs()); }

  TDateTime localNow() const override {
    const auto ms = unixMs();
    const std::time_t secs = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    localtime_r(&secs, &local);
    return fromUnixMs(ms + static_cast<std::int64_t>(local.tm_gmtoff) * 1000);
  }

 private:
  static std::int64_t unixMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  }
  static TDateTime fromUnixMs(std::int64_t ms) {
    return dateTimeFromUnix(std::chrono::milliseconds(ms));
  }
};

}  // namespace

TDateTime dateTimeFromUnix(std::chrono::nanoseconds sinceEpoch) {
  using Days = std::chrono::duration<double, std::ratio<86400>>;
  return kUnixEpochDays + std::chrono::duration_cast<Days>(sinceEpoch).count();
}

std::shared_ptr<const Clock> systemClock() {
  static const auto clock = std::make_shared<SystemClock>();
  return clock;
}

}  // namespace waymock
