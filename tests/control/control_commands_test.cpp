#include "control/control_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <poll.h>

#include "common/test_support.h"
#include "control/control_target.h"
#include "control/fault_schedule.h"
#include "engine/background_work.h"
#include "motion/motion.h"
#include "support/error.h"

namespace waymock::control {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

// Records what the channel asked of it; start fails as a missing port does.
class RecordingTarget : public ControlTarget {
 public:
  std::vector<FixChange> changes;
  std::vector<std::string> calls;
  bool portUsable = true;

  void change(const FixChange& c) override { changes.push_back(c); }
  void move(const MoveRequest& m, std::unique_ptr<motion::Motion> route) override {
    moves.push_back(m);
    routes.push_back(route != nullptr);
  }
  std::vector<MoveRequest> moves;
  std::vector<bool> routes;  // a loaded route came with the move
  void start(Done done) override {
    if (!portUsable) return done("Select a serial port.");
    calls.emplace_back("start");
    done(std::nullopt);
  }
  void stop() override { calls.emplace_back("stop"); }
  void pause() override { calls.emplace_back("pause"); }
  void resume() override { calls.emplace_back("resume"); }
  json status() const override { return {{"state", "running"}}; }
};

class ControlCommandsTest : public ::testing::Test {
 protected:
  std::string send(const std::string& line) {
    bool subscribe = false;
    return commands.answer(line, subscribe);
  }
  RecordingTarget target;
  FaultSchedule faults{1s};
  ControlCommands commands{target, faults};
};

TEST_F(ControlCommandsTest, SetChangesTheFixInTheMapsConvention) {
  EXPECT_EQ(
      send(
          R"({"cmd":"set","lat":48.5,"lon":-11.25,"speed_kmh":40,"satellites":[{"prn":3,"elevation":45,"azimuth":120,"snr":40}]})"),
      R"({"ok":true})");
  ASSERT_EQ(target.changes.size(), 1u);
  const FixChange& c = target.changes[0];
  EXPECT_EQ(c.latitude, 48.5);
  EXPECT_EQ(c.longitude, -11.25);
  EXPECT_EQ(c.speedKmh, 40);
  EXPECT_FALSE(c.heading);
  ASSERT_TRUE(c.satellites);
  EXPECT_EQ((*c.satellites)[0].prn, 3);
  EXPECT_EQ((*c.satellites)[0].snr, 40);
}

// Refused requests change nothing and say why, word for word.
TEST_F(ControlCommandsTest, RefusesBadRequestsWithReasonsAndNoChange) {
  const std::pair<const char*, const char*> cases[] = {
      {R"({"cmd":"set","lat":48.5)", "The request is not JSON."},
      {R"({"cmd":"set","alt":1e400})",
       "\"alt\" holds a number JSON cannot carry: NaN, infinities and numbers beyond about "
       "1.8e308 are not JSON."},
      {R"({"cmd":"set","lat":NaN,"lon":0})",
       "\"lat\" holds a number JSON cannot carry: NaN, infinities and numbers beyond about "
       "1.8e308 are not JSON."},
      {R"({"cmd":"set","satellites":[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]})",
       "The request nests deeper than 32 levels."},
      {R"([1,2])", "The request must be a JSON object."},
      {R"({"lat":1})",
       "The request has no \"cmd\"; the commands are status, set, start, stop, pause, resume, "
       "move, fault, subscribe."},
      {R"({"cmd":"fly"})",
       "Unknown command \"fly\"; the commands are status, set, start, stop, pause, resume, move, "
       "fault, subscribe."},
      {R"({"cmd":"set","lat":91,"lon":0})", "\"lat\" must be from -90 to 90."},
      {R"({"cmd":"set","lat":1})", "\"lat\" and \"lon\" come together."},
      {R"({"cmd":"set","heading":360})", "\"heading\" must be from 0 up to 360."},
      {R"({"cmd":"set","alt":"high"})", "\"alt\" must be a number."},
      {R"({"cmd":"set","speed":4})", "\"set\" has no field \"speed\"."},
      {R"({"cmd":"set","speed_kmh":4,"speed_knots":2})",
       "Give \"speed_kmh\" or \"speed_knots\", not both."},
      {R"({"cmd":"set","satellites":[{"prn":33,"elevation":1,"azimuth":1,"snr":1}]})",
       "Each satellite needs \"prn\", a whole number from 1 to 32."},
      {R"({"cmd":"set","satellites":[{"prn":3,"elevation":1,"azimuth":1,"snr":1},{"prn":3,"elevation":1,"azimuth":1,"snr":1}]})",
       "Satellite 3 is given twice."},
      {R"({"cmd":"fault","type":"no-fix","seconds":-1})", "\"seconds\" must be more than 0."},
      {R"({"cmd":"move","speed_kmh":40})",
       "\"move\" needs \"speed_kmh\" and \"heading\", or a \"route\", or \"steps\": true."},
      {R"({"cmd":"move","route":"r.gpx","speed_kmh":4,"heading":3})",
       "A route sets the heading itself; give \"speed_kmh\" only."},
      {R"({"cmd":"move","route":"r.gpx"})",
       "A route needs \"speed_kmh\", more than 0, or \"track_time\": true."},
      {R"({"cmd":"move","route":"r.gpx","track_time":true,"speed_kmh":4})",
       "A route at its track's times takes no \"speed_kmh\"."},
      {R"({"cmd":"move","route":"r.gpx","track_time":true,"rate":0})",
       "\"rate\" must be more than 0."},
      {R"({"cmd":"move","route":"r.gpx","speed_kmh":4,"rate":2})",
       "\"rate\" applies only with \"track_time\": true."},
      {R"({"cmd":"move","speed_kmh":4,"heading":3,"track_time":true})",
       "\"track_time\" applies only with a \"route\"."},
      {R"({"cmd":"status","verbose":true})", "\"status\" has no field \"verbose\"."},
  };
  for (const auto& [request, error] : cases) {
    EXPECT_EQ(json::parse(send(request)), (json{{"ok", false}, {"error", error}})) << request;
  }
  EXPECT_TRUE(target.changes.empty());
  EXPECT_TRUE(target.moves.empty());
  EXPECT_TRUE(faults.activeNames().empty());
  faults.beforeBurst();
  EXPECT_TRUE(faults.activeNames().empty());
}

TEST_F(ControlCommandsTest, MoveBySpeedAndHeadingOrAlongARoute) {
  test::TempDir dir;
  const std::string harbour = (dir / "harbour.csv").string();
  const std::string drive = (dir / "drive.csv").string();
  test::writeFile(harbour, "10,20\n10,20.01\n");
  test::writeFile(drive, "10,20,0,1000\n10,20.01,0,1060\n");
  EXPECT_EQ(send(R"({"cmd":"move","speed_kmh":40,"heading":90})"), R"({"ok":true})");
  EXPECT_EQ(send(R"({"cmd":"move","route":")" + harbour + R"(","speed_kmh":12,"end":"loop"})"),
            R"({"ok":true})");
  EXPECT_EQ(send(R"({"cmd":"move","steps":true})"), R"({"ok":true})");
  EXPECT_EQ(send(R"({"cmd":"move","route":")" + drive + R"(","track_time":true,"rate":4})"),
            R"({"ok":true})");
  ASSERT_EQ(target.moves.size(), 4u);
  EXPECT_EQ(target.moves[0].heading, 90);
  EXPECT_EQ(target.moves[1].route, harbour);
  EXPECT_EQ(target.moves[1].end, "loop");
  EXPECT_TRUE(target.moves[2].steps);
  EXPECT_TRUE(target.moves[3].trackTime);
  EXPECT_EQ(target.moves[3].rate, 4);
  EXPECT_FALSE(target.moves[3].speedKmh);
  EXPECT_EQ(target.routes, (std::vector<bool>{false, true, false, true}));
}

// A route's file is read on the worker's thread: the reply comes once the
// route is in use, or refused without quoting the file; a later move wins
// over one still loading.
TEST_F(ControlCommandsTest, ARouteLoadsOffTheThreadAndTheLaterMoveWins) {
  test::TempDir dir;
  test::writeFile(dir / "a.csv", "10,20\n10,20.01\n");
  test::writeFile(dir / "secret.csv", "1,api_key=0123456789\n");
  BackgroundWork work;
  ControlCommands loading(target, faults, &work);
  std::vector<std::string> replies;
  const auto ask = [&](const std::string& file) {
    bool subscribe = false;
    loading.answer(R"({"cmd":"move","speed_kmh":10,"route":")" + (dir / file).string() + "\"}",
                   [&](std::string_view line) { replies.emplace_back(line); }, subscribe);
  };
  ask("a.csv");
  ask("a.csv");
  ask("secret.csv");
  EXPECT_TRUE(replies.empty()) << "no reply before the file is read";
  for (int i = 0; i < 500 && replies.size() < 3; ++i) {
    pollfd ready{work.fd(), POLLIN, 0};
    if (::poll(&ready, 1, 20) > 0) work.collect();
  }
  const std::string later = "A later move came before this route was ready; it is not used.";
  EXPECT_EQ(replies, (std::vector<std::string>{
                         replyLine(refusal(later)), replyLine(refusal(later)),
                         replyLine(refusal((dir / "secret.csv").string() +
                                           ": line 1 has a longitude that is not a number."))}));
  EXPECT_TRUE(target.moves.empty());
  ask("a.csv");
  for (int i = 0; i < 500 && replies.size() < 4; ++i) {
    pollfd ready{work.fd(), POLLIN, 0};
    if (::poll(&ready, 1, 20) > 0) work.collect();
  }
  ASSERT_EQ(replies.size(), 4u);
  EXPECT_EQ(replies[3], R"({"ok":true})");
  EXPECT_EQ(target.routes, std::vector<bool>{true});
}

TEST_F(ControlCommandsTest, StartWithoutAUsablePortAnswersAnError) {
  target.portUsable = false;
  EXPECT_EQ(send(R"({"cmd":"start"})"), R"({"error":"Select a serial port.","ok":false})");
  target.portUsable = true;
  for (const char* cmd : {"start", "pause", "resume", "stop"}) {
    EXPECT_EQ(send(std::string(R"({"cmd":")") + cmd + "\"}"), R"({"ok":true})");
  }
  EXPECT_EQ(target.calls, (std::vector<std::string>{"start", "pause", "resume", "stop"}));
}

TEST_F(ControlCommandsTest, StatusAndFaultsAndSubscribe) {
  EXPECT_EQ(send(R"({"cmd":"fault","type":"dropout","bursts":2})"), R"({"ok":true})");
  faults.beforeBurst();
  const json status = json::parse(send(R"({"cmd":"status"})"));
  EXPECT_EQ(status["state"], "running");
  EXPECT_EQ(status["faults"], json::array({"dropout"}));
  bool subscribe = false;
  EXPECT_EQ(commands.answer(R"({"cmd":"subscribe"})", subscribe), R"({"ok":true})");
  EXPECT_TRUE(subscribe);
}

}  // namespace
}  // namespace waymock::control
