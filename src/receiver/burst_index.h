#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "receiver/replay_pacing.h"

namespace waymock::receiver {

// A recorded log's bursts as a replay delivers them: how many, where each
// begins and how far apart the log's own times put them, so file mode can say
// how far it is, how long it has left and jump to a burst. One pass over the
// file; it keeps 20 bytes a burst, never the text.
class BurstIndex {
 public:
  BurstIndex() = default;
  // Reads the log at `path`, its bursts begun as the receiver begins them in
  // `modern` mode or not. Throws IoError naming the file when it is missing,
  // not a regular file, or cannot be read.
  static BurstIndex read(const std::string& path, bool modern);

  // The bursts one pass of a replay delivers: one per RMC line, the first
  // holding the lines before the first RMC line.
  std::size_t count() const { return rmcOffsets_.size(); }
  // Read without `modern`: the $GNRMC lines, which would begin bursts in
  // modern mode (a log of a multi-constellation receiver's).
  std::size_t modernOnlyBursts() const { return modernOnly_; }
  // Where the RMC line that begins `burst` lies in the file, for
  // TTarnFileGPSReceiver::jumpTo; 0 for burst 0.
  std::uint64_t offset(std::size_t burst) const;
  // How long the replay at `pace` still takes once `sent` bursts of a pass
  // are delivered, the wait after the last one sent included: Delay for each
  // burst, or the log's own time between its RMC lines divided by the rate
  // (Delay where a time is missing or goes back; nothing for the lines before
  // the first RMC line).
  std::chrono::nanoseconds timeLeft(std::size_t sent, const ReplayPace& pace) const;

 private:
  std::vector<std::uint64_t> rmcOffsets_;
  std::size_t modernOnly_ = 0;
  // For the waits after bursts 1 to b: the sum of the log's usable
  // steps in seconds, and how many had none; so a time left costs no scan.
  std::vector<double> stepSums_{0.0};
  std::vector<std::uint32_t> untimedCounts_{0};
};

}  // namespace waymock::receiver
