#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "generator/nmea_generator.h"
#include "platform/clock.h"
#include "platform/serial.h"
#include "support/error.h"
#include "worked_example.h"

namespace waymock::generator {
namespace {

using namespace std::chrono_literals;

// Devices that exist are listed in `names`; every call is logged.
class FakePorts final : public SerialPortOpener {
 public:
  std::vector<std::string> names = {"/dev/ttyS0", "/dev/ttyS1"};
  std::vector<std::string> log;
  std::size_t acceptBytes = static_cast<std::size_t>(-1);  // a write takes at most this many
  bool throwOnWrite = false;
  bool goneOnWrite = false;      // the next write finds the device gone
  std::size_t pending = 0;       // output not sent yet
  std::size_t drainPerPoll = 0;  // how much of it each look finds sent
  std::string refusal;           // why a missing device cannot be opened, if said

  std::unique_ptr<SerialDevice> open(const std::string& name, int baudRate) override {
    log.push_back("open " + name + " " + std::to_string(baudRate));
    for (const auto& n : names) {
      if (n == name) return std::make_unique<Device>(*this, name);
    }
    if (!refusal.empty()) raiseIo(refusal);
    return nullptr;
  }

 private:
  class Device final : public SerialDevice {
   public:
    Device(FakePorts& ports, std::string name) : ports_(ports), name_(std::move(name)) {}
    ~Device() override { ports_.log.push_back("close " + name_); }
    std::size_t write(std::string_view bytes, std::chrono::milliseconds timeout) override {
      ports_.log.push_back("write " + name_ + " " + std::to_string(bytes.size()) + " " +
                           std::to_string(timeout.count()) + "ms");
      if (ports_.throwOnWrite) throw std::runtime_error("device gone");
      if (ports_.goneOnWrite) {
        ports_.goneOnWrite = false;
        lost_ = true;
        return 0;
      }
      return std::min(bytes.size(), ports_.acceptBytes);
    }
    void purge() noexcept override { ports_.log.push_back("purge " + name_); }
    std::size_t pendingOutput() const noexcept override {
      const std::size_t now = ports_.pending;
      ports_.pending -= std::min(ports_.pending, ports_.drainPerPoll);
      return now;
    }
    void discardOutput() noexcept override {
      ports_.log.push_back("discard " + name_);
      ports_.pending = 0;
    }
    bool lost() const noexcept override { return lost_; }

   private:
    FakePorts& ports_;
    std::string name_;
    bool lost_ = false;
  };
};

class SerialOutput : public ::testing::Test {
 protected:
  SerialOutput() {
    gen.SetUseSystemDateTime(false);
    gen.SetUTCDateTime(encodeDateTime({2024, 3, 23, 12, 35, 19, 0}));
  }
  std::shared_ptr<FakePorts> ports = std::make_shared<FakePorts>();
  TTarnNMEAGenerator gen{std::make_shared<FixedClock>(45'000.0), ports};
};

// Counts how often the time is asked for, to see whether a burst was built.
class CountingClock final : public Clock {
 public:
  TDateTime utcNow() const override {
    ++reads;
    return 45'000.0;
  }
  TDateTime localNow() const override { return 45'000.0; }
  mutable int reads = 0;
};

TEST_F(SerialOutput, NothingIsWrittenWithoutAPort) {
  auto clock = std::make_shared<CountingClock>();
  TTarnNMEAGenerator counted(clock, ports);
  const int reads = clock->reads;
  EXPECT_EQ(counted.WriteSentences(), 0);
  EXPECT_EQ(clock->reads, reads);  // no burst was built
  ASSERT_TRUE(counted.OpenPort("/dev/ttyS0", 4800));
  EXPECT_GT(counted.WriteSentences(), 0);
  EXPECT_GT(clock->reads, reads);
  ports->log.clear();

  EXPECT_EQ(gen.WriteSentences(), 0);
  EXPECT_TRUE(ports->log.empty());
  ASSERT_TRUE(gen.OpenPort("/dev/ttyS0", 4800));
  gen.ClosePort();
  ports->log.clear();
  EXPECT_EQ(gen.WriteSentences(), 0);
  EXPECT_TRUE(ports->log.empty());
  gen.ClosePort();  // closing twice is harmless
  EXPECT_EQ(gen.PortName(), "");
}

TEST_F(SerialOutput, WritesTheBurstInOneWriteWithItsTimeout) {
  ASSERT_TRUE(gen.OpenPort("/dev/ttyS0", 4800));
  EXPECT_EQ(gen.PortName(), "/dev/ttyS0");
  const std::string burst = gen.GetSentences();
  const int n = gen.WriteSentences();
  EXPECT_EQ(n, static_cast<int>(burst.size()));
  EXPECT_EQ(ports->log.back(), "write /dev/ttyS0 " + std::to_string(burst.size()) + " " +
                                   std::to_string(100 + 3 * burst.size()) + "ms");
  EXPECT_EQ(TTarnNMEAGenerator::writeTimeout(0), 100ms);
  EXPECT_EQ(TTarnNMEAGenerator::writeTimeout(400), 1300ms);
}

TEST_F(SerialOutput, ShortFailedAndEmptyWrites) {
  ASSERT_TRUE(gen.OpenPort("/dev/ttyS1", 9600));
  ports->acceptBytes = 10;
  EXPECT_EQ(gen.WriteSentences(), 10);
  ports->acceptBytes = 0;
  EXPECT_EQ(gen.WriteSentences(), 0);
  ports->throwOnWrite = true;
  EXPECT_EQ(gen.WriteSentences(), 0);
  ports->throwOnWrite = false;
  ports->acceptBytes = static_cast<std::size_t>(-1);

  gen.SetCommands({});
  ports->log.clear();
  EXPECT_EQ(gen.WriteSentences(), 0);
  EXPECT_TRUE(ports->log.empty());  // nothing to write, no write at all
}

TEST_F(SerialOutput, OpenCloseSequences) {
  ASSERT_TRUE(gen.OpenPort("/dev/ttyS0", 4800));
  ASSERT_TRUE(gen.OpenPort("/dev/ttyS0", 4800));  // the first handle goes first, no purge
  ASSERT_TRUE(gen.OpenPort("/dev/ttyS1", 38400));
  gen.ClosePort();
  const std::vector<std::string> expected = {
      "open /dev/ttyS0 4800",  "close /dev/ttyS0", "open /dev/ttyS0 4800", "close /dev/ttyS0",
      "open /dev/ttyS1 38400", "purge /dev/ttyS1", "close /dev/ttyS1",
  };
  EXPECT_EQ(ports->log, expected);
  EXPECT_EQ(gen.PortName(), "");
}

TEST_F(SerialOutput, FailedOpenLeavesNoPort) {
  ASSERT_TRUE(gen.OpenPort("/dev/ttyS0", 4800));
  EXPECT_FALSE(gen.OpenPort("/dev/ttyUSB9", 4800));
  EXPECT_EQ(gen.PortName(), "");
  EXPECT_EQ(ports->log, (std::vector<std::string>{"open /dev/ttyS0 4800", "close /dev/ttyS0",
                                                  "open /dev/ttyUSB9 4800"}));
  EXPECT_EQ(gen.WriteSentences(), 0);
  EXPECT_FALSE(gen.OpenPort("", 4800));

  TTarnNMEAGenerator portless(std::make_shared<FixedClock>(45'000.0), nullptr);
  EXPECT_FALSE(portless.OpenPort("/dev/ttyS0", 4800));
  EXPECT_EQ(portless.PortName(), "");
}

// OpenPort only says whether; why it failed stays for the caller to show.
TEST_F(SerialOutput, KeepsTheReasonOfTheLastFailedOpen) {
  EXPECT_EQ(gen.lastOpenError(), "");
  ports->refusal = "There is no such device.";
  EXPECT_FALSE(gen.OpenPort("/dev/ttyUSB9", 4800));
  EXPECT_EQ(gen.lastOpenError(), "There is no such device.");
  ASSERT_TRUE(gen.OpenPort("/dev/ttyS0", 4800));
  EXPECT_EQ(gen.lastOpenError(), "");
  // A device that went away and is not back yet says why it cannot be reopened.
  ports->goneOnWrite = true;
  ports->names.clear();
  EXPECT_EQ(gen.WriteSentences(), 0);
  EXPECT_EQ(gen.WriteSentences(), 0);
  EXPECT_EQ(gen.lastOpenError(), "There is no such device.");
  ports->refusal.clear();  // an opener without a reason
  EXPECT_FALSE(gen.OpenPort("/dev/ttyS0", 4800));
  EXPECT_EQ(gen.lastOpenError(), "");

  TTarnNMEAGenerator real;
  EXPECT_FALSE(real.OpenPort("/nonexistent/ttyWAYM0", 4800));
  EXPECT_EQ(real.lastOpenError(), "There is no such device.");
  EXPECT_FALSE(real.OpenPort("/dev/null", 4800));
  EXPECT_EQ(real.lastOpenError(), "It is not a terminal, so it is not a serial port.");
}

// A device that went away (an unplugged adapter) is closed; later writes open
// its name again with the same rate, and write once it is back.
TEST_F(SerialOutput, ADeviceThatWentAwayIsReopenedByNameWhenItIsBack) {
  ASSERT_TRUE(gen.OpenPort("/dev/ttyS1", 9600));
  const int burst = static_cast<int>(gen.GetSentences().size());
  ports->goneOnWrite = true;
  ports->names = {"/dev/ttyS0"};
  EXPECT_EQ(gen.WriteSentences(), 0);
  EXPECT_TRUE(gen.portLost());
  EXPECT_EQ(gen.WriteSentences(), 0);
  EXPECT_EQ(gen.PortName(), "/dev/ttyS1");
  ports->names.push_back("/dev/ttyS1");
  EXPECT_EQ(gen.WriteSentences(), burst);
  EXPECT_FALSE(gen.portLost());
  const std::string write =
      "write /dev/ttyS1 " + std::to_string(burst) + " " + std::to_string(100 + 3 * burst) + "ms";
  const std::vector<std::string> expected = {
      "open /dev/ttyS1 9600", write, "close /dev/ttyS1",
      "open /dev/ttyS1 9600",  // still gone: no burst is built or written
      "open /dev/ttyS1 9600", write,
  };
  EXPECT_EQ(ports->log, expected);

  ports->goneOnWrite = true;
  EXPECT_EQ(gen.WriteSentences(), 0);
  gen.ClosePort();  // stops the reopening
  EXPECT_FALSE(gen.portLost());
  ports->log.clear();
  EXPECT_EQ(gen.WriteSentences(), 0);
  EXPECT_TRUE(ports->log.empty());
}

// Closing waits for unsent output only as long as writing it may take, at
// most a second, and then drops it, so that Stop and Start stay quick.
TEST_F(SerialOutput, CloseWaitsABoundedTimeForOutputThenDiscardsIt) {
  struct Case {
    std::size_t pending, drainPerPoll;
    bool discarded;
  } const cases[] = {{0, 0, false}, {300, 100, false}, {20, 0, true}};
  for (const auto& c : cases) {
    for (const bool stop : {true, false}) {  // Stop, or Start on another port
      ASSERT_TRUE(gen.OpenPort("/dev/ttyS0", 110));
      ports->pending = c.pending;
      ports->drainPerPoll = c.drainPerPoll;
      ports->log.clear();
      if (stop) {
        gen.ClosePort();
      } else {
        ASSERT_TRUE(gen.OpenPort("/dev/ttyS1", 110));
      }
      ASSERT_GE(ports->log.size(), 1u);
      const bool discarded =
          ports->log.end() != std::find(ports->log.begin(), ports->log.end(), "discard /dev/ttyS0");
      EXPECT_EQ(discarded, c.discarded) << c.pending << " " << stop;
      gen.ClosePort();
    }
  }
}

TEST_F(SerialOutput, WorkedExampleBurstLength) {
  setWorkedExample(gen);
  ASSERT_TRUE(gen.OpenPort("/dev/ttyS0", 4800));
  // The eight reference lines: 37+72+51+53+74+47+65+28 characters with CR LF.
  EXPECT_EQ(gen.WriteSentences(), 427);
}

}  // namespace
}  // namespace waymock::generator
