#include "control/fault_schedule.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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
    run.events.push_back(std::string(faultName(e.fault->type)) +
                         (e.begins ? " begins " : " ends ") +
                         std::to_string(static_cast<int>(e.runSeconds * 1000)));
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
  std::vector<std::pair<double, double>> jumps;
  schedule.jump = [&](double metres, double bearing) { jumps.emplace_back(metres, bearing); };
  EXPECT_EQ(runTicks(schedule, 6).sent, ".--...");
  EXPECT_EQ(jumps, (std::vector<std::pair<double, double>>{{250, 90}}));

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
