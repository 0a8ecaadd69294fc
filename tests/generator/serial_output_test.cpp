#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "generator/nmea_generator.h"
#include "platform/clock.h"
#include "platform/serial.h"
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

  std::unique_ptr<SerialDevice> open(const std::string& name, int baudRate) override {
    log.push_back("open " + name + " " + std::to_string(baudRate));
    for (const auto& n : names) {
      if (n == name) return std::make_unique<Device>(*this, name);
    }
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
      return std::min(bytes.size(), ports_.acceptBytes);
    }
    void purge() noexcept override { ports_.log.push_back("purge " + name_); }

   private:
    FakePorts& ports_;
    std::string name_;
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

TEST_F(SerialOutput, WorkedExampleBurstLength) {
  setWorkedExample(gen);
  ASSERT_TRUE(gen.OpenPort("/dev/ttyS0", 4800));
  // The eight reference lines: 37+72+51+53+74+47+65+28 characters with CR LF.
  EXPECT_EQ(gen.WriteSentences(), 427);
}

}  // namespace
}  // namespace waymock::generator
