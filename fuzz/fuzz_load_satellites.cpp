// Arbitrary bytes as the content of a satellite file, loaded into a fresh
// generator. A load either applies the file or raises waymock::Error; after a
// load, saving the table and loading that file into another generator must
// give the same table.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "generator/nmea_generator.h"
#include "platform/clock.h"
#include "support/error.h"

namespace {

using waymock::generator::TTarnNMEAGenerator;

// One scratch folder per process, removed at exit.
struct Scratch {
  Scratch() {
    // In memory where there is such a folder: the save syncs its file to disk.
    char pattern[] = "/dev/shm/waymock-fuzz-satellites-XXXXXX";
    char fallback[] = "/tmp/waymock-fuzz-satellites-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) made = mkdtemp(fallback);
    if (made == nullptr) std::abort();
    folder = made;
    input = folder + "/input.ini";
    saved = folder + "/saved.ini";
  }
  ~Scratch() {
    unlink(input.c_str());
    unlink(saved.c_str());
    rmdir(folder.c_str());
  }
  std::string folder, input, saved;
};

void writeInput(const std::string& path, const std::uint8_t* data, std::size_t size) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) std::abort();
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n <= 0) std::abort();
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  close(fd);
}

bool sameTable(const TTarnNMEAGenerator& a, const TTarnNMEAGenerator& b) {
  for (const auto system : waymock::generator::kConstellations) {
    for (std::uint16_t n = 1; n <= TTarnNMEAGenerator::satelliteCount(system); ++n) {
      const auto* sa = a.satellite(system, n);
      const auto* sb = b.satellite(system, n);
      if (sa->Active() != sb->Active() || sa->Elevation() != sb->Elevation() ||
          sa->Azimuth() != sb->Azimuth() || sa->SignalToNoiseRatio() != sb->SignalToNoiseRatio()) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Scratch scratch;
  writeInput(scratch.input, data, size);

  const auto clock = std::make_shared<waymock::FixedClock>(0);
  TTarnNMEAGenerator loaded(clock);
  try {
    loaded.LoadSatellites(scratch.input);
  } catch (const waymock::Error&) {
    // A rejected section stops the load; what came before it stays applied.
  }
  // The sentences are built from the table whatever it holds.
  volatile std::size_t length = loaded.GetSentences().size();
  (void)length;

  loaded.SaveSatellites(scratch.saved);
  TTarnNMEAGenerator reloaded(clock);
  reloaded.LoadSatellites(scratch.saved);  // our own file never raises
  if (!sameTable(loaded, reloaded)) std::abort();
  return 0;
}
