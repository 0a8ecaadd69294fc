// What a user can really throw at the simulator: binary files, endless lines,
// huge satellite files, read-only folders, devices that vanish, UDP targets
// that refuse. Each gets a clear result, no crash, no hang, nothing lost.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include "common/test_support.h"
#include "engine/simulation.h"
#include "generator/nmea_generator.h"
#include "platform/clock.h"
#include "platform/udp_sender.h"
#include "receiver/custom_gps_receiver.h"
#include "receiver/file_gps_receiver.h"
#include "support/error.h"

namespace waymock::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using generator::TTarnNMEAGenerator;

std::string withChecksum(const std::string& body) {
  char hex[4];
  std::snprintf(hex, sizeof hex, "*%s", TTarnNMEAGenerator::CheckSum(body).c_str());
  return body + hex + "\r\n";
}

const std::string kGoodRmc =
    withChecksum("$GPRMC,123519.000,A,4807.0380,N,01131.0000,E,22.4,84.4,230324,3.1,W,A");
const std::string kGoodGga =
    withChecksum("$GPGGA,123519.000,4807.0380,N,01131.0000,E,1,4,0.9,545.4,M,46.9,M,,");

std::string randomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

// --- Replayed and decoded binary files ---

TEST(HostileInput, ABinaryFileReplaysToTheEndAndTheGoodBurstsAfterItStillCount) {
  TempDir dir;
  // Random bytes with NULs, lone CRs and LFs, and "$GPRMC" inside, so that
  // bursts of junk are delivered too; then two good bursts.
  std::string junk = randomBytes(256 * 1024, 7);
  for (std::size_t at = 1000; at + 6 < junk.size(); at += 9973) junk.replace(at, 6, "$GPRMC");
  writeFile(dir / "binary.nmea", junk + "\n" + kGoodRmc + kGoodGga + kGoodRmc);

  receiver::TTarnFileGPSReceiver replay(std::make_shared<FixedClock>(0));
  replay.SetDelay(0);
  int received = 0, disconnected = 0;
  replay.OnReceive = [&](receiver::TTarnCustomGPSReceiver&) { ++received; };
  replay.OnDisconnect = [&](receiver::TTarnFileGPSReceiver&, const std::string&) {
    ++disconnected;
  };
  replay.SetFileName((dir / "binary.nmea").string());
  ASSERT_NO_THROW(replay.Open());
  EXPECT_EQ(disconnected, 1);
  EXPECT_FALSE(replay.Active());
  EXPECT_GT(received, 2);
  // The good RMC and GGA lines were delivered together before the last RMC.
  EXPECT_EQ(replay.Latitude_Degree(), 48);
  EXPECT_EQ(replay.Latitude_Minute(), 7);
  EXPECT_EQ(replay.Altitude(), 545.4L);
}

TEST(HostileInput, ReplayingABinaryFileEndsNormally) {
  TempDir dir;
  writeFile(dir / "binary.nmea",
            randomBytes(512 * 1024, 5) + "\n" + kGoodRmc + kGoodGga + kGoodRmc);
  const ProcessResult replay =
      runProcess({cliPath(), "replay", "--delay", "0", "--virtual=" + (dir / "gps").string(),
                  (dir / "binary.nmea").string()});
  EXPECT_EQ(replay.exitCode, 0) << replay.err;
  // The last burst echoed is the good fix.
  const std::size_t last = replay.out.rfind("$GPGGA,");
  ASSERT_NE(last, std::string::npos);
  const std::string gga = replay.out.substr(last, replay.out.find("\r\n", last) - last);
  EXPECT_NE(gga.find(",4807.0380,N,01131.0000,E,1,4,"), std::string::npos) << gga;
  EXPECT_NE(gga.find(",545.4,M,"), std::string::npos) << gga;
}

TEST(HostileInput, ABinaryFileDecodesToNothingAndSaysSo) {
  TempDir dir;
  writeFile(dir / "binary.nmea", randomBytes(512 * 1024, 11));
  const ProcessResult decode =
      runProcess({cliPath(), "decode", "--events", (dir / "binary.nmea").string()});
  EXPECT_EQ(decode.exitCode, 1);
  EXPECT_EQ(decode.err, "waymock-cli: No NMEA in " + (dir / "binary.nmea").string() +
                            ": no line is a sentence with a valid checksum.\n");
}

// --- A line that never ends ---

// 100 MB of text with "$" signs, lone CRs and lone LFs but never CR LF, handed
// over in 64 KiB blocks made on the fly: the receiver keeps at most 64 KiB
// pending, and after a CR LF the next sentence parses.
TEST(HostileInput, AHundredMegabyteLineKeepsPendingTextBoundedAndTheNextSentenceParses) {
  constexpr std::size_t kBlock = 64 * 1024;
  constexpr std::size_t kTotal = 100u * 1000 * 1000;
  receiver::TTarnCustomGPSReceiver r(std::make_shared<FixedClock>(0));
  int parsedLatitudes = 0;
  r.OnLatitudeChange = [&](auto&, int, int, long double, TCardinalPoint) { ++parsedLatitudes; };

  // Four blocks of random text in which a CR is never followed by an LF, nor
  // ends a block (the next block may start with an LF); varied per round so
  // the "$" signs move.
  std::vector<std::string> blocks;
  for (unsigned seed = 1; seed <= 4; ++seed) {
    std::string b = randomBytes(kBlock, seed);
    for (std::size_t i = 0; i + 1 < b.size(); ++i) {
      if (b[i] == '\r' && b[i + 1] == '\n') b[i + 1] = 'x';
    }
    if (b.back() == '\r') b.back() = 'x';
    b[0] = '$';
    blocks.push_back(std::move(b));
  }
  std::size_t sent = 0, maxPending = 0;
  for (std::size_t round = 0; sent < kTotal; ++round) {
    std::string& block = blocks[round % blocks.size()];
    block[(round * 7919) % (kBlock - 1) + 1] = '$';
    r.ReceiveData(block);
    sent += block.size();
    maxPending = std::max(maxPending, r.pendingSize());
  }
  EXPECT_LE(maxPending, receiver::TTarnCustomGPSReceiver::kMaxPending);
  EXPECT_EQ(parsedLatitudes, 0);

  r.ReceiveData("\r\n" + kGoodGga);
  EXPECT_EQ(parsedLatitudes, 1);
  EXPECT_EQ(r.Latitude_Degree(), 48);
  EXPECT_EQ(r.Altitude(), 545.4L);
  EXPECT_EQ(r.pendingSize(), 0u);
}

// --- Satellite files ---

std::string section(int prn, int active, int elevation, int azimuth, int snr) {
  return "[" + std::to_string(prn) + "]\r\nActive=" + std::to_string(active) +
         "\r\nElevation=" + std::to_string(elevation) + "\r\nAzimuth=" + std::to_string(azimuth) +
         "\r\nSNR=" + std::to_string(snr) + "\r\n";
}

TEST(HostileInput, TenThousandRepeatedSectionsLoadAsTheFirstOfEach) {
  TempDir dir;
  std::string text;
  for (int i = 0; i < 10000; ++i) text += section(i % 32 + 1, 1, i % 91, i % 360, i % 100);
  writeFile(dir / "satellites.ini", text);
  TTarnNMEAGenerator gen(std::make_shared<FixedClock>(0));
  ASSERT_NO_THROW(gen.LoadSatellites((dir / "satellites.ini").string()));
  // A repeated section adds to the first one and a repeated key keeps its first value.
  const auto satellites = gen.GetSatellites();
  for (int prn = 1; prn <= 32; ++prn) {
    EXPECT_TRUE(satellites[prn]->Active()) << prn;
    EXPECT_EQ(satellites[prn]->Elevation(), prn - 1) << prn;
    EXPECT_EQ(satellites[prn]->Azimuth(), prn - 1) << prn;
    EXPECT_EQ(satellites[prn]->SignalToNoiseRatio(), prn - 1) << prn;
  }
}

TEST(HostileInput, TenThousandDistinctSectionsApplyTheValidOnesThenRaiseTheLimitMessage) {
  TempDir dir;
  std::string text;
  for (int prn = 1; prn <= 10000; ++prn) text += section(prn, 1, 10, 20, 30);
  writeFile(dir / "satellites.ini", text);
  TTarnNMEAGenerator gen(std::make_shared<FixedClock>(0));
  try {
    gen.LoadSatellites((dir / "satellites.ini").string());
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "PseudoRandomCode must be between 1 and 32.");
  }
  EXPECT_EQ(gen.GetActiveSatellites().size(), 32u);
}

TEST(HostileInput, ASectionWithTenThousandRepeatedKeysTakesTheFirstOfEach) {
  TempDir dir;
  std::string text = "[4]\r\nActive=1\r\n";
  for (int i = 0; i < 10000; ++i) {
    text +=
        "Elevation=" + std::to_string(33 + i % 50) + "\r\nSNR=" + std::to_string(i % 90) + "\r\n";
  }
  writeFile(dir / "satellites.ini", text);
  TTarnNMEAGenerator gen(std::make_shared<FixedClock>(0));
  ASSERT_NO_THROW(gen.LoadSatellites((dir / "satellites.ini").string()));
  EXPECT_TRUE(gen.GetSatellites()[4]->Active());
  EXPECT_EQ(gen.GetSatellites()[4]->Elevation(), 33);
  EXPECT_EQ(gen.GetSatellites()[4]->SignalToNoiseRatio(), 0);
}

// A satellite file is a few kilobytes. A huge one is refused before it is read
// whole; a section name is shown with its control characters escaped (no
// terminal sequences reach the screen) and cut when long; the command line
// names the file.
TEST(HostileInput, AHugeOrHostileSatelliteFileGetsAShortSafeMessage) {
  TempDir dir;
  std::string huge = "[1]\r\n";
  while (huge.size() <= 1024 * 1024) huge += "Active=1\r\n";
  writeFile(dir / "huge.ini", huge);
  writeFile(dir / "escape.ini", "[\x1b[2J\x1b[H]\r\nActive=1\r\n");
  writeFile(dir / "long.ini", "[" + std::string(500000, '7') + "x]\r\nActive=1\r\n");
  const std::string hugeFile = (dir / "huge.ini").string();
  struct Case {
    std::string file, message;
    int exitCode;
  } const cases[] = {
      {hugeFile, "Cannot read " + hugeFile + ": the file is larger than 1 MiB.", 1},
      {(dir / "escape.ini").string(), "'\\x1B[2J\\x1B[H' is not a valid integer value.", 2},
      {(dir / "long.ini").string(),
       "'" + std::string(64, '7') + "...' is not a valid integer value.", 2},
  };
  for (const auto& c : cases) {
    TTarnNMEAGenerator gen(std::make_shared<FixedClock>(0));
    try {
      gen.LoadSatellites(c.file);
      ADD_FAILURE() << "loaded " << c.file;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
    EXPECT_TRUE(gen.GetActiveSatellites().empty());
    const ProcessResult burst = runProcess({cliPath(), "burst", "--satellites", c.file});
    EXPECT_EQ(burst.exitCode, c.exitCode) << burst.err;
    const std::string named =
        c.exitCode == 1 ? c.message : "The satellite file " + c.file + ": " + c.message;
    EXPECT_EQ(burst.err, "waymock-cli: " + named + "\n");
  }
}

// The save writes a new file and renames it over the old one; a folder the
// user may write must not let that replace a file the user may not.
TEST(HostileInput, AReadOnlySatelliteFileInAWritableFolderIsNotReplaced) {
  TempDir dir;
  const fs::path folder = dir / "writable";
  fs::create_directory(folder);
  const std::string file = (folder / "satellites.ini").string();
  const std::string old = section(5, 1, 45, 120, 40);
  writeFile(file, old);
  if (geteuid() == 0) {
    ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
  }
  fs::permissions(dir.path(),
                  fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

  const std::string result = runAsNobody([&file] {
    TTarnNMEAGenerator gen(std::make_shared<FixedClock>(0));
    try {
      gen.SaveSatellites(file);
    } catch (const IoError& e) {
      return std::string(e.what());
    }
    return std::string("saved");
  });
  EXPECT_EQ(result, "Cannot save the satellites to " + file + ": Permission denied.");
  EXPECT_EQ(readFile(file), old);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST(HostileInput, ASatelliteFileInAReadOnlyFolderLoadsButSavingFailsAndKeepsTheOldFile) {
  TempDir dir;
  const fs::path folder = dir / "readonly";
  fs::create_directory(folder);
  const std::string file = (folder / "satellites.ini").string();
  const std::string old = section(5, 1, 45, 120, 40);
  writeFile(file, old);
  fs::permissions(dir.path(),
                  fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                              fs::perms::group_exec | fs::perms::others_read |
                              fs::perms::others_exec);

  const std::string result = runAsNobody([&file] {
    TTarnNMEAGenerator gen(std::make_shared<FixedClock>(0));
    gen.LoadSatellites(file);
    if (gen.GetActiveSatellites().size() != 1) return std::string("not loaded");
    gen.SetSatellite(6, true, 10, 10, 10);
    try {
      gen.SaveSatellites(file);
    } catch (const IoError& e) {
      return std::string(e.what());
    }
    return std::string("saved");
  });
  EXPECT_EQ(result, "Cannot save the satellites to " + file + ": Permission denied.");
  EXPECT_EQ(readFile(file), old);
  // Nothing was left behind in the folder either.
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

// --- A serial device that goes away ---

struct Pty {
  Pty() {
    char path[256] = {};
    if (openpty(&master, &slave, path, nullptr, nullptr) != 0) throw std::runtime_error("openpty");
    name = path;
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    // A program the test starts must not keep the device alive.
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
  }
  ~Pty() {
    if (master >= 0) close(master);
    if (slave >= 0) close(slave);
  }
  void closeMaster() {
    close(master);
    master = -1;
  }
  int master = -1, slave = -1;
  std::string name;
};

TEST(HostileInput, WritingToAPseudoTerminalWhoseOtherSideClosedReturnsAShortCount) {
  Pty pty;
  TTarnNMEAGenerator gen(std::make_shared<FixedClock>(45000.5));
  ASSERT_TRUE(gen.OpenPort(pty.name, 4800));
  close(pty.slave);
  pty.slave = -1;
  const int burst = static_cast<int>(gen.GetSentences().size());
  EXPECT_EQ(gen.WriteSentences(), burst);

  pty.closeMaster();
  for (int i = 0; i < 3; ++i) {
    const auto start = std::chrono::steady_clock::now();
    int written = -1;
    EXPECT_NO_THROW(written = gen.WriteSentences());
    EXPECT_GE(written, 0);
    EXPECT_LE(written, burst);
    // Never longer than the write time-out (plus slack for a loaded machine).
    EXPECT_LT(std::chrono::steady_clock::now() - start,
              TTarnNMEAGenerator::writeTimeout(static_cast<std::size_t>(burst)) + 2s);
  }
  EXPECT_NO_THROW(gen.ClosePort());
  EXPECT_EQ(gen.PortName(), "");
}

// Reads what arrives at `fd` until `done` holds for it or ten seconds pass.
std::string readUntil(int fd, const std::function<bool(const std::string&)>& done) {
  std::string arrived;
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!done(arrived) && std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) arrived.append(buffer, static_cast<std::size_t>(n));
  }
  return arrived;
}

// A device that goes away (an unplugged adapter) and comes back under the same
// name (udev makes its link again): the run closes it, says so once, opens the name
// again on later ticks, says once that it is back, and --count still ends the
// run. Ticks without the device are neither echoed nor counted.
TEST(HostileInput, ARunWhosePortGoesAwayReopensItWhenItComesBackAndFinishesItsCount) {
  TempDir dir;
  const fs::path link = dir / "ttyGPS";
  auto first = std::make_unique<Pty>();
  fs::create_symlink(first->name, link);
  // The TCP client sees every tick, also those the port does not take.
  BackgroundProcess run({cliPath(), "run", "--port", link.string(), "--interval", "0.05", "--count",
                         "30", "--tcp", "0"});
  const auto hasBurst = [](const std::string& s) { return s.find("$GPGSA") != std::string::npos; };
  ASSERT_TRUE(hasBurst(readUntil(first->master, hasBurst))) << run.err();
  TcpClient ticks(tcpPortOf(run));
  // Unplugged: the link goes (as udev removes it; a stale one could meet a
  // reused pseudo-terminal number), and the device with it.
  fs::remove(link);
  first.reset();
  const auto noted = std::chrono::steady_clock::now() + 10s;
  while (run.err().find("still trying") == std::string::npos &&
         std::chrono::steady_clock::now() < noted) {
    std::this_thread::sleep_for(10ms);
  }
  const std::size_t echoedBefore = run.out().size();
  const auto ticksBefore = countOf(ticks.received(), "$GPRMC");
  ASSERT_TRUE(ticks.readUntil([&](const std::string& r) {
    return countOf(r, "$GPRMC") >= ticksBefore + 3;
  })) << "no ticks without the device";
  EXPECT_EQ(run.out().size(), echoedBefore) << "a burst the port did not take was echoed";

  Pty second;
  fs::create_symlink(second.name, link);
  EXPECT_TRUE(hasBurst(readUntil(second.master, hasBurst))) << run.err();
  const auto exit = run.waitForExit(15s);
  ASSERT_TRUE(exit.has_value()) << "--count did not end the run: " << run.err();
  EXPECT_EQ(*exit, 0) << run.err();
  EXPECT_EQ(countOf(run.out(), "$GPRMC"), 30u);
  for (const std::string& note :
       {link.string() + " went away; still trying.", link.string() + " is back."}) {
    const auto at = run.err().find(note);
    EXPECT_NE(at, std::string::npos) << note << "\n" << run.err();
    EXPECT_EQ(run.err().find(note, at + 1), std::string::npos) << run.err();
  }
}

// --- A UDP target that refuses ---

TEST(HostileInput, AUdpTargetThatRefusesNeverStopsTheTick) {
  Pty pty;
  const RefusingUdpPort refusing;
  TTarnNMEAGenerator gen(std::make_shared<FixedClock>(45000.5));
  ASSERT_TRUE(gen.OpenPort(pty.name, 4800));
  UdpSender udp("127.0.0.1", refusing.port());
  Simulation simulation(gen, &udp);
  simulation.onUdpError = [](const UdpSender&, const std::exception&) {};
  for (int i = 0; i < 5; ++i) {
    int written = 0;
    EXPECT_NO_THROW(written = simulation.tick());
    EXPECT_EQ(written, static_cast<int>(gen.GetSentences().size()));
    char drain[4096];
    while (read(pty.master, drain, sizeof drain) > 0) {
    }
  }
  // The refusals left nothing behind: the next tick's burst reaches a target
  // that listens.
  UdpReceiver receiver;
  udp.setDestination("127.0.0.1", receiver.port());
  std::string echoed;
  simulation.onTransmitted = [&](const std::string& burst) { echoed = burst; };
  EXPECT_GT(simulation.tick(), 0);
  EXPECT_EQ(receiver.receive(), echoed);
  gen.ClosePort();
}

TEST(HostileInput, ARunSendingToARefusingUdpTargetCompletes) {
  TempDir dir;
  const RefusingUdpPort refusing;
  const ProcessResult run = runProcess(
      {cliPath(), "run", "--virtual=" + (dir / "gps").string(), "--udp",
       "127.0.0.1:" + std::to_string(refusing.port()), "--count", "5", "--interval", "0.02"},
      {}, 20s);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(countOf(run.out, "$GPRMC"), 5u);
}

}  // namespace
}  // namespace waymock::test
