#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include <filesystem>
#include <memory>
#include <string>
#include <tuple>

#include "common/test_support.h"
#include "generator/nmea_generator.h"
#include "platform/clock.h"
#include "support/error.h"

namespace waymock::generator {
namespace {

namespace fs = std::filesystem;

class Satellites : public ::testing::Test {
 protected:
  std::string errorOf(std::uint16_t prn, bool active, std::uint16_t el, std::uint16_t az,
                      std::uint16_t snr) {
    try {
      gen.SetSatellite(prn, active, el, az, snr);
    } catch (const Error& e) {
      return e.what();
    }
    return "";
  }
  std::string loadError(const fs::path& file) {
    try {
      gen.LoadSatellites(file.string());
    } catch (const Error& e) {
      return e.what();
    }
    return "";
  }
  // PRN:active/elevation/azimuth/SNR for every slot, to compare whole tables.
  std::string table() const {
    std::string s;
    for (std::size_t prn = 1; prn <= 32; ++prn) {
      const TSatellite* sat = gen.GetSatellites()[prn];
      s += std::to_string(sat->PseudoRandomCode()) + ":" + (sat->Active() ? "1/" : "0/") +
           std::to_string(sat->Elevation()) + "/" + std::to_string(sat->Azimuth()) + "/" +
           std::to_string(sat->SignalToNoiseRatio()) + " ";
    }
    return s;
  }
  void fillSome() {
    gen.SetSatellite(1, true, 90, 359, 99);
    gen.SetSatellite(7, false, 12, 34, 56);
    gen.SetSatellite(32, true, 0, 0, 0);
  }

  test::TempDir dir;
  TTarnNMEAGenerator gen{std::make_shared<FixedClock>(45'000.0), nullptr};
};

TEST_F(Satellites, NewTableHasThirtyTwoInactiveSlots) {
  const auto slots = gen.GetSatellites();
  EXPECT_EQ(slots[0], nullptr);
  for (std::size_t prn = 1; prn <= 32; ++prn) {
    ASSERT_NE(slots[prn], nullptr);
    EXPECT_EQ(slots[prn]->PseudoRandomCode(), prn);
  }
  EXPECT_TRUE(gen.GetActiveSatellites().empty());
}

TEST_F(Satellites, SetSatelliteChecksInOrderAndChangesNothingOnFailure) {
  gen.SetSatellite(5, true, 10, 20, 30);
  const std::string before = table();
  struct Case {
    std::uint16_t prn, el, az, snr;
    const char* message;
  };
  const Case cases[] = {
      {0, 10, 10, 10, "PseudoRandomCode must be between 1 and 32."},
      {33, 91, 400, 100, "PseudoRandomCode must be between 1 and 32."},
      {5, 91, 400, 100, "Elevation must be between 0 and 90."},
      {5, 90, 360, 100, "Azimuth must be between 0 and 360."},
      {5, 90, 359, 100, "SignalToNoiseRatio must be between 0 and 99."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(errorOf(c.prn, false, c.el, c.az, c.snr), c.message);
    EXPECT_EQ(table(), before);
  }
  EXPECT_EQ(errorOf(5, false, 90, 359, 99), "");
}

TEST_F(Satellites, SlotSettersValidate) {
  TSatellite* sat = gen.GetSatellites()[4];
  sat->SetAzimuth(100);
  EXPECT_THROW(sat->SetAzimuth(360), Error);
  EXPECT_THROW(sat->SetElevation(91), Error);
  EXPECT_THROW(sat->SetSignalToNoiseRatio(100), Error);
  EXPECT_EQ(sat->Azimuth(), 100);
  EXPECT_THROW(TSatellite(0), Error);
  EXPECT_THROW(TSatellite(33), Error);
}

TEST_F(Satellites, ActiveListIsInPrnOrderAndClearResetsEverything) {
  gen.SetSatellite(20, true, 1, 2, 3);
  gen.SetSatellite(3, true, 4, 5, 6);
  gen.SetSatellite(9, false, 7, 8, 9);
  const auto active = gen.GetActiveSatellites();
  ASSERT_EQ(active.size(), 2u);
  EXPECT_EQ(active[0]->PseudoRandomCode(), 3);
  EXPECT_EQ(active[1]->PseudoRandomCode(), 20);
  gen.ClearSatellites();
  EXPECT_TRUE(gen.GetActiveSatellites().empty());
  TTarnNMEAGenerator fresh{std::make_shared<FixedClock>(45'000.0), nullptr};
  const auto sats = gen.GetSatellites();
  for (std::size_t prn = 1; prn <= 32; ++prn) {
    EXPECT_EQ(sats[prn]->Elevation() + sats[prn]->Azimuth() + sats[prn]->SignalToNoiseRatio(), 0);
  }
}

TEST_F(Satellites, SaveWritesTheFixedLayout) {
  fillSome();
  const fs::path file = dir / "satellites.ini";
  gen.SaveSatellites(file.string());
  const std::string text = test::readFile(file);
  EXPECT_EQ(text.substr(0, 50), "[1]\r\nActive=1\r\nElevation=90\r\nAzimuth=359\r\nSNR=99\r\n");
  EXPECT_NE(text.find("[2]\r\nActive=0\r\nElevation=0\r\nAzimuth=0\r\nSNR=0\r\n[3]\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("[7]\r\nActive=0\r\nElevation=12\r\nAzimuth=34\r\nSNR=56\r\n"),
            std::string::npos);
  EXPECT_TRUE(text.ends_with("[32]\r\nActive=1\r\nElevation=0\r\nAzimuth=0\r\nSNR=0\r\n"));
  // Nothing but the file itself is left in the folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST_F(Satellites, SaveThenLoadRestoresEverySatellite) {
  for (std::uint16_t prn = 1; prn <= 32; ++prn) {
    gen.SetSatellite(prn, prn % 3 == 0, prn * 2 % 91, prn * 11 % 360, prn * 3 % 100);
  }
  const std::string saved = table();
  const fs::path file = dir / "satellites.ini";
  test::writeFile(file, "old content that must be replaced entirely\r\n");
  gen.SaveSatellites(file.string());
  gen.SaveSatellites(file.string());  // over an existing file
  gen.ClearSatellites();
  gen.LoadSatellites(file.string());
  EXPECT_EQ(table(), saved);
}

TEST_F(Satellites, MissingFileChangesNothing) {
  fillSome();
  const std::string before = table();
  gen.LoadSatellites((dir / "absent.ini").string());
  EXPECT_EQ(table(), before);
}

TEST_F(Satellites, LoadMergesIntoTheTableAndReadsLeniently) {
  fillSome();
  const fs::path file = dir / "partial.ini";
  test::writeFile(file,
                  "\xEF\xBB\xBF[7]\r\nActive=1\r\n; comment\n"
                  "[ 9 ]\nactive = 5\nElevation= 45 \nAzimuth=abc\nSNR=\n"
                  "[10]\nActive=yes\nElevation=3\n");
  gen.LoadSatellites(file.string());
  const auto sats = gen.GetSatellites();
  // "[7]" with only Active=1: active, the three numbers 0.
  EXPECT_TRUE(sats[7]->Active());
  EXPECT_EQ(sats[7]->Elevation() + sats[7]->Azimuth() + sats[7]->SignalToNoiseRatio(), 0);
  EXPECT_TRUE(sats[9]->Active());
  EXPECT_EQ(sats[9]->Elevation(), 45);
  EXPECT_EQ(sats[9]->Azimuth(), 0);
  EXPECT_FALSE(sats[10]->Active());  // not an integer
  EXPECT_EQ(sats[10]->Elevation(), 3);
  // Satellites not named keep their values.
  EXPECT_TRUE(sats[1]->Active());
  EXPECT_EQ(sats[1]->Azimuth(), 359);
}

TEST_F(Satellites, BadSectionStopsTheLoadAfterTheEarlierOnes) {
  const fs::path file = dir / "bad.ini";
  test::writeFile(file, "[3]\r\nActive=1\r\nSNR=20\r\n[40]\r\nActive=1\r\n[5]\r\nActive=1\r\n");
  EXPECT_EQ(loadError(file), "PseudoRandomCode must be between 1 and 32.");
  EXPECT_TRUE(gen.GetSatellites()[3]->Active());
  EXPECT_FALSE(gen.GetSatellites()[5]->Active());

  test::writeFile(file, "[4]\r\nActive=1\r\n[north]\r\nActive=1\r\n");
  EXPECT_EQ(loadError(file), "'north' is not a valid integer value.");
  EXPECT_TRUE(gen.GetSatellites()[4]->Active());

  struct Case {
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {"[6]\nElevation=91\n", "Elevation must be between 0 and 90."},
      {"[6]\nElevation=-1\n", "Elevation must be between 0 and 90."},
      // A value that would wrap round into range in 16 bits is still rejected.
      {"[6]\nElevation=65581\n", "Elevation must be between 0 and 90."},
      {"[6]\nAzimuth=360\n", "Azimuth must be between 0 and 360."},
      {"[6]\nSNR=100\n", "SignalToNoiseRatio must be between 0 and 99."},
      {"[0]\n", "PseudoRandomCode must be between 1 and 32."},
      {"[99999999999]\n", "'99999999999' is not a valid integer value."},
  };
  for (const Case& c : cases) {
    test::writeFile(file, c.text);
    EXPECT_EQ(loadError(file), c.message) << c.text;
  }
  EXPECT_FALSE(gen.GetSatellites()[6]->Active());
}

// GLONASS, Galileo and BeiDou beside the 32 GPS slots.
TEST_F(Satellites, OtherConstellationsHaveTheirOwnNumbersAndChecks) {
  using Sys = Constellation;
  struct Case {
    Sys system;
    std::uint16_t count;
    const char* message;
  };
  const Case cases[] = {
      {Sys::gps, 32, "PseudoRandomCode must be between 1 and 32."},
      {Sys::glonass, 24, "GLONASS satellite number must be between 1 and 24."},
      {Sys::galileo, 36, "Galileo satellite number must be between 1 and 36."},
      {Sys::beidou, 63, "BeiDou satellite number must be between 1 and 63."},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(TTarnNMEAGenerator::satelliteCount(c.system), c.count);
    EXPECT_EQ(gen.satellite(c.system, 0), nullptr);
    EXPECT_EQ(gen.satellite(c.system, c.count + 1), nullptr);
    const TSatellite* last = gen.satellite(c.system, c.count);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->constellation(), c.system);
    EXPECT_EQ(last->PseudoRandomCode(), c.count);
    for (const std::uint16_t bad : {std::uint16_t{0}, static_cast<std::uint16_t>(c.count + 1)}) {
      try {
        gen.setSatellite(c.system, bad, true, 10, 10, 10);
        ADD_FAILURE() << c.message;
      } catch (const Error& e) {
        EXPECT_STREQ(e.what(), c.message);
      }
    }
    EXPECT_THROW(gen.setSatellite(c.system, 1, true, 91, 400, 100), Error);
    EXPECT_FALSE(gen.satellite(c.system, 1)->Active());
    gen.setSatellite(c.system, c.count, true, 90, 359, 99);
    EXPECT_EQ(last->Azimuth(), 359);
  }
  // GPS through either door is the same slot; the GPS lists hold GPS only.
  EXPECT_EQ(gen.satellite(Sys::gps, 32), gen.GetSatellites()[32]);
  ASSERT_EQ(gen.GetActiveSatellites().size(), 1u);
  gen.ClearSatellites();
  for (const Sys system : kConstellations) {
    const TSatellite* sat = gen.satellite(system, 1);
    EXPECT_FALSE(gen.satellite(system, TTarnNMEAGenerator::satelliteCount(system))->Active());
    EXPECT_EQ(sat->Elevation() + sat->Azimuth() + sat->SignalToNoiseRatio(), 0);
  }
}

TEST_F(Satellites, ConstellationSectionsLoadAndSaveBesideTheGpsOnes) {
  using Sys = Constellation;
  const fs::path file = dir / "satellites.ini";
  test::writeFile(file,
                  "[3]\r\nActive=1\r\nElevation=45\r\nAzimuth=120\r\nSNR=40\r\n"
                  "[GL24]\r\nActive=1\r\nElevation=30\r\nAzimuth=200\r\nSNR=38\r\n"
                  "[ga5]\r\nElevation=40\r\n"
                  "[GB63]\r\nActive=1\r\nSNR=33\r\n");
  gen.LoadSatellites(file.string());
  EXPECT_TRUE(gen.GetSatellites()[3]->Active());
  EXPECT_EQ(gen.satellite(Sys::glonass, 24)->Azimuth(), 200);
  EXPECT_FALSE(gen.satellite(Sys::galileo, 5)->Active());
  EXPECT_EQ(gen.satellite(Sys::galileo, 5)->Elevation(), 40);
  EXPECT_EQ(gen.satellite(Sys::beidou, 63)->SignalToNoiseRatio(), 33);

  // Saved after the 32 GPS sections, only those that hold something.
  gen.SaveSatellites(file.string());
  const std::string text = test::readFile(file);
  EXPECT_TRUE(
      text.ends_with("[32]\r\nActive=0\r\nElevation=0\r\nAzimuth=0\r\nSNR=0\r\n"
                     "[GL24]\r\nActive=1\r\nElevation=30\r\nAzimuth=200\r\nSNR=38\r\n"
                     "[GA5]\r\nActive=0\r\nElevation=40\r\nAzimuth=0\r\nSNR=0\r\n"
                     "[GB63]\r\nActive=1\r\nElevation=0\r\nAzimuth=0\r\nSNR=33\r\n"))
      << text;
  TTarnNMEAGenerator reloaded{std::make_shared<FixedClock>(45'000.0), nullptr};
  reloaded.LoadSatellites(file.string());
  for (const Sys system : kConstellations) {
    for (std::uint16_t n = 1; n <= TTarnNMEAGenerator::satelliteCount(system); ++n) {
      const TSatellite& a = *gen.satellite(system, n);
      const TSatellite& b = *reloaded.satellite(system, n);
      EXPECT_EQ(std::tuple(a.Active(), a.Elevation(), a.Azimuth(), a.SignalToNoiseRatio()),
                std::tuple(b.Active(), b.Elevation(), b.Azimuth(), b.SignalToNoiseRatio()))
          << n;
    }
  }

  // Other names still stop the load with the messages they always had.
  const std::pair<const char*, const char*> bad[] = {
      {"[GL25]\n", "GLONASS satellite number must be between 1 and 24."},
      {"[GA0]\n", "Galileo satellite number must be between 1 and 36."},
      {"[GX1]\n", "'GX1' is not a valid integer value."},
      {"[GL]\n", "'GL' is not a valid integer value."},
      {"[GLx]\n", "'GLx' is not a valid integer value."},
      {"[GL1]\nElevation=91\n", "Elevation must be between 0 and 90."},
  };
  for (const auto& [content, message] : bad) {
    test::writeFile(file, content);
    EXPECT_EQ(loadError(file), message) << content;
  }
}

TEST_F(Satellites, UnreadableFileRaisesAnIoError) {
  fs::create_directory(dir / "folder.ini");
  EXPECT_THROW(gen.LoadSatellites((dir / "folder.ini").string()), IoError);
}

TEST_F(Satellites, FailedSaveKeepsTheOldFile) {
  gen.SetSatellite(2, true, 1, 2, 3);
  // The destination is a folder with something in it: no rename can replace it,
  // even for root.
  const fs::path blocked = dir / "blocked.ini";
  fs::create_directory(blocked);
  test::writeFile(blocked / "keep.txt", "keep");
  EXPECT_THROW(gen.SaveSatellites(blocked.string()), IoError);
  EXPECT_EQ(test::readFile(blocked / "keep.txt"), "keep");
  // A folder that does not exist: nothing is written anywhere.
  EXPECT_THROW(gen.SaveSatellites((dir / "no-such-folder" / "satellites.ini").string()), IoError);
  // No temporary file is left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

  // The same target, existing, while the disk "fills up" half way: the old
  // content stays and the error names the file.
  const fs::path target = dir / "satellites.ini";
  gen.SaveSatellites(target.string());
  const std::string before = test::readFile(target);
  gen.SetSatellite(2, false, 0, 0, 0);
  std::string message;
  {
    test::FileSizeLimit limit(100);
    try {
      gen.SaveSatellites(target.string());
    } catch (const IoError& e) {
      message = e.what();
    }
  }
  EXPECT_NE(message.find(target.string()), std::string::npos) << message;
  EXPECT_EQ(test::readFile(target), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

}  // namespace
}  // namespace waymock::generator
