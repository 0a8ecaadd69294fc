#include "control/fault_schedule.h"

#include <gtest/gtest.h>

#include <string>

#include <vector>
#include "support/error.h"

namespace waymock::control {
namespace {

using namespace std::chrono_literals;

const std::string kGga =
    "$GPGGA,123519.000,4807.0380,N,01131.0000,E,1,4,0.9,545.4,M,46.9,M,,*65\r\n";

// What each of `ticks` transmissions sent ('.' as built, 'F' changed, '-'
// nothing), and the events in order.
struct TickRecord {
  std::string sent;
  std::vector<std::string> events;
};

TickRecord runTicks(FaultSchedule& schedule, int ticks) {
  TickRecord run;
  schedule.onEvent = [&run](const FaultEvent& e) {
    run.events.push_back((e.count > 1 ? std::to_string(e.count) + " " : "") +
                         std::string(faultName(e.type)) + " " + std::string(phaseName(e.phase)) +
                         " " + std::to_string(static_cast<int>(e.runSeconds * 1000)));
  };
  for (int k = 0; k < ticks; ++k) {
    schedule.beforeBurst();
    std::string burst = kGga;
    schedule.filter(burst);
    run.sent += burst.empty() ? '-' : burst == kGga ? '.' : 'F';
  }
  return run;
}

struct ScheduleCase {
  const char* name;
  double seconds;  // 0: by bursts
  long long bursts;
  double at;
  double every;  // 0: once
  const char* sent;
  std::vector<std::string> events;
};

// With an interval of 0.2 s: transmission k is at k × 0.2 s.
TEST(FaultSchedule, FaultsBeginAndEndOnTheTransmissionsTheirTimesName) {
  const std::vector<ScheduleCase> cases = {
      {"from 1 s for 0.6 s",
       0.6,
       0,
       1.0,
       0,
       ".....FFF...",
       {"no-fix begins 1000", "no-fix ends 1600"}},
      {"at the start", 0.2, 0, 0, 0, "F..........", {"no-fix begins 0", "no-fix ends 200"}},
      {"two bursts", 0, 2, 0.4, 0, "..FF.......", {"no-fix begins 400", "no-fix ends 800"}},
      {"between ticks: the next",
       0.2,
       0,
       0.3,
       0,
       "..F........",
       {"no-fix begins 400", "no-fix ends 600"}},
      {"every 0.8 s",
       0,
       1,
       0.8,
       0.8,
       "....F...F..",
       {"no-fix begins 800", "no-fix ends 1000", "no-fix begins 1600", "no-fix ends 1800"}},
  };
  for (const ScheduleCase& c : cases) {
    FaultSchedule schedule(200ms);
    ScheduledFault scheduled;
    if (c.seconds > 0) scheduled.fault.seconds = c.seconds;
    if (c.bursts > 0) scheduled.fault.bursts = c.bursts;
    scheduled.at = c.at;
    if (c.every > 0) scheduled.every = c.every;
    schedule.add(scheduled);
    const TickRecord run = runTicks(schedule, 11);
    EXPECT_EQ(run.sent, c.sent) << c.name;
    EXPECT_EQ(run.events, c.events) << c.name;
  }
}

// Values that would overflow the count of transmissions are taken as written:
// never, for ever, on every transmission.
TEST(FaultSchedule, ExtremeTimesAndLengthsAreTakenAsWritten) {
  struct Case {
    FaultType type;
    std::optional<double> seconds;
    std::optional<long long> bursts;
    double at;
    std::optional<double> every;
    const char* sent;
  };
  const Case cases[] = {
      {FaultType::noFix, 1e300, {}, 0, {}, "FFFF"},
      {FaultType::noFix, {}, 9'223'372'036'854'775'807LL, 0, {}, "FFFF"},
      {FaultType::noFix, {}, 1, 1e300, {}, "...."},
      {FaultType::dropout, {}, 1, 0.2, 1e-9, ".---"},
  };
  for (const Case& c : cases) {
    FaultSchedule schedule(200ms);
    ScheduledFault scheduled;
    scheduled.fault.type = c.type;
    scheduled.fault.seconds = c.seconds;
    scheduled.fault.bursts = c.bursts;
    scheduled.at = c.at;
    scheduled.every = c.every;
    schedule.add(scheduled);
    EXPECT_EQ(runTicks(schedule, 4).sent, c.sent);
  }
}

// At most kMostAtOnce faults act at once: a request beyond is refused, a
// scheduled one beyond is skipped; the reports come one per type and tick.
TEST(FaultSchedule, CapsTheFaultsAtOnceAndReportsThemByType) {
  FaultSchedule schedule(1s);
  Fault noFix;
  noFix.bursts = 2;
  for (std::size_t i = 0; i < FaultSchedule::kMostAtOnce; ++i) schedule.inject(noFix);
  try {
    schedule.inject(noFix);
    ADD_FAILURE() << "a fault past the cap";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "64 faults act or wait already; wait until one ends.");
  }
  Fault dropout;
  dropout.type = FaultType::dropout;
  dropout.bursts = 1;
  for (int i = 0; i < 3; ++i) schedule.add({dropout, 0, {}});
  const TickRecord run = runTicks(schedule, 3);
  EXPECT_EQ(run.sent, "FF.");
  EXPECT_EQ(run.events, (std::vector<std::string>{"64 no-fix begins 0", "3 dropout skipped 0",
                                                  "64 no-fix ends 2000"}));
}

TEST(FaultSchedule, DropoutFrozenFixAndJumpAct) {
  FaultSchedule schedule(1s);
  Fault dropout;
  dropout.type = FaultType::dropout;
  dropout.bursts = 2;
  schedule.add({dropout, 1, {}});
  Fault jump;
  jump.type = FaultType::jump;
  jump.bursts = 1;
  jump.metres = 250;
  jump.bearing = 90;
  schedule.add({jump, 4, {}});
  EXPECT_EQ(runTicks(schedule, 6).sent, ".--.F.");

  // A frozen fix repeats its first burst, whatever the later ones say.
  FaultSchedule frozen(1s);
  Fault f;
  f.type = FaultType::frozenFix;
  f.bursts = 3;
  frozen.inject(f);
  std::vector<std::string> sent;
  for (int k = 0; k < 4; ++k) {
    frozen.beforeBurst();
    std::string burst = "burst " + std::to_string(k);
    frozen.filter(burst);
    sent.push_back(burst);
    if (k == 1) {
      EXPECT_EQ(frozen.activeNames(), std::vector<std::string>{"frozen-fix"});
    }
  }
  EXPECT_EQ(sent, (std::vector<std::string>{"burst 0", "burst 0", "burst 0", "burst 3"}));
  EXPECT_TRUE(frozen.activeNames().empty());
}

}  // namespace
}  // namespace waymock::control
